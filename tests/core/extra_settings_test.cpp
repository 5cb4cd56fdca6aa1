#include "core/extra_settings.h"
#include "core/game_ini_params.h"
#include "core/paths.h"
#include "core/var_list.h"
#include "platform/files.h"
#include "shared/errors.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <set>

namespace vp = vesk::platform;

namespace {

class ExtraSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        vesk::PfxAcceptModes = 0;
        vesk::LogEnabled = false;
    }
    void TearDown() override {
        vesk::PfxAcceptModes = 0;
        vesk::LogEnabled = false;
        vp::SetExeFolderOverride("");
    }
};

constexpr uint16_t Bit(int i) {
    return static_cast<uint16_t>(1u << i);
}

} // namespace

TEST(ModeNames, IndexIgnoresCaseAndUnknownIsZero) {
    EXPECT_EQ(vesk::ModeNameToIndex("Init"), 0);
    EXPECT_EQ(vesk::ModeNameToIndex("game"), 1);
    EXPECT_EQ(vesk::ModeNameToIndex("MAIN MENU"), 3);
    EXPECT_EQ(vesk::ModeNameToIndex("cut scene"), 7);
    EXPECT_EQ(vesk::ModeNameToIndex("Hide Interface"), 9);
    EXPECT_EQ(vesk::ModeNameToIndex("Space "), 0);
    EXPECT_EQ(vesk::ModeNameToIndex(""), 0);
}

TEST_F(ExtraSettingsTest, KeysAndValuesIgnoreCase) {
    struct Case {
        const char* text;
        uint16_t modes;
        bool log;
    };
    const Case cases[] = {
        {"pfxacceptlist=Game;Space", Bit(1) | Bit(8), false},
        {"PfxAcceptList=game;NoSuchMode", Bit(1) | Bit(0), false},
        {"pfxacceptlist=Main Menu;Videos;Hide Interface;", Bit(3) | Bit(6) | Bit(9), false},
        {"pfxacceptlist=Space\npfxacceptlist=Black", Bit(4), false}, // the last list replaces the first
        {"pfxacceptlist=", 0, false},
        {"LOG_ENABLE=TRUE", 0, true},
        {"log_enable=true\r\npfxacceptlist=Loading\r\n", Bit(5), true},
        {"log_enable=yes", 0, false},
        {"log_enable = true", 0, false}, // the key is "log_enable " and unknown
        {"log_enable", 0, false},
        {"; a comment\nunknown=1\nlog_enable=true=1\n", 0, false},
        {"other=x\rlog_enable=True", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        vesk::PfxAcceptModes = 0;
        vesk::LogEnabled = false;
        vesk::ApplyExtraSettings(c.text);
        EXPECT_EQ(vesk::PfxAcceptModes, c.modes);
        EXPECT_EQ(vesk::LogEnabled, c.log);
    }
}

TEST_F(ExtraSettingsTest, ReadFromTheProgramFolderOnlyWhenThere) {
    vesk::test::TempDir dir;
    vp::SetExeFolderOverride(dir.path());
    vesk::LoadExtraSettings();
    EXPECT_EQ(vesk::PfxAcceptModes, 0);
    EXPECT_FALSE(vesk::LogEnabled);

    ASSERT_TRUE(vp::WriteFile(dir / "Vesk_Extra.INI", "pfxacceptlist=Game;Space\r\nlog_enable=true\r\n"));
    vesk::LoadExtraSettings();
    EXPECT_EQ(vesk::PfxAcceptModes, Bit(1) | Bit(8));
    EXPECT_TRUE(vesk::LogEnabled);
}

TEST(Paths, FollowTheDataPathVariable) {
    vesk::InitVarLists();
    vesk::IniVars->Put("path.data", "data/");
    vesk::InitPaths();
    EXPECT_EQ(vesk::DataPath, "data/");
    EXPECT_EQ(vesk::ProfilesPath, "data/profiles/");
    EXPECT_EQ(vesk::LogsPath, "logs/");
    vesk::FreeAllVarLists();
}

TEST(GameIniParams, FortyUniqueKeysInCreationOrder) {
    std::set<std::string_view> keys;
    for (const auto& p : vesk::kGameIniParams) keys.insert(p.key);
    EXPECT_EQ(keys.size(), 40u);
    EXPECT_EQ(vesk::kGameIniParams[0].key, "defaultInterface");
    EXPECT_EQ(vesk::kGameIniParams[8].key, "startLocation");
    EXPECT_EQ(vesk::kGameIniParams[8].defaultValue, "system_talestra_core");
    EXPECT_EQ(vesk::kGameIniParams[19].kind, vesk::GameIniKind::Vector);
    EXPECT_EQ(vesk::kGameIniParams[37].kind, vesk::GameIniKind::Sub);
    EXPECT_EQ(vesk::kGameIniParams[39].key, "joystick");
}
