#include "core/config_record.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vp = vesk::platform;
using vesk::ConfigRecord;
using vesk::test::ErrorTrap;
using vesk::test::Halted;
using vesk::test::TempDir;

namespace {

// Runs the test with a temporary current folder and program folder, recording
// the programs the game tries to start.
class SetupRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldFolder_ = vp::CurrentFolder();
        ASSERT_TRUE(vp::SetCurrentFolder(dir_.path()));
        vp::SetExeFolderOverride(dir_ / "game");
        vp::SetStartProgramHandler([this](const std::string& path, const std::vector<std::string>& args) {
            started.push_back(path);
            EXPECT_TRUE(args.empty());
            return startSucceeds;
        });
    }
    void TearDown() override {
        vp::SetStartProgramHandler(nullptr);
        vp::SetExeFolderOverride("");
        vp::SetCurrentFolder(oldFolder_);
        vesk::GetErrorLogSources() = {};
        vesk::SetMemLogEnabled(false);
    }
    void WriteBytes(const std::string& bytes) { ASSERT_TRUE(vp::WriteFile(dir_ / "config.bin", bytes)); }

    TempDir dir_;
    ErrorTrap trap;
    std::vector<std::string> started;
    bool startSucceeds = true;

private:
    std::string oldFolder_;
};

void PutLe32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}

// A record with a distinct value in every field, built byte by byte.
std::string DistinctRecordBytes() {
    std::string b(570, '\0');
    PutLe32(b, 0, 0xFFFFFFFF);
    b[4] = 1;
    b[5] = 7;
    b[6] = 1;
    PutLe32(b, 7, 2);
    PutLe32(b, 11, 1280);
    PutLe32(b, 15, 720);
    PutLe32(b, 19, 75);
    PutLe32(b, 23, 21);
    PutLe32(b, 27, 0x01020304);
    PutLe32(b, 31, 77);
    std::memcpy(&b[35], "Test Adapter 9000", 17);
    PutLe32(b, 548, 2);
    b[552] = 0;
    b[553] = 1;
    b[554] = 1;
    b[555] = 5;
    b[556] = 6;
    b[557] = 1;
    PutLe32(b, 558, 4);
    PutLe32(b, 562, 1);
    b[566] = 1;
    b[567] = 2;
    b[568] = 'e';
    b[569] = 'n';
    return b;
}

} // namespace

TEST(ConfigRecordLayout, EveryFieldAtItsOffsetAndBackUnchanged) {
    std::string bytes = DistinctRecordBytes();
    ConfigRecord r;
    ASSERT_TRUE(vesk::DecodeConfigRecord(bytes, r));
    EXPECT_EQ(r.reserved0, -1);
    EXPECT_EQ(r.fullScreen, 1);
    EXPECT_EQ(r.reserved5, 7);
    EXPECT_EQ(r.soundOn, 1);
    EXPECT_EQ(r.deviceType, 2);
    EXPECT_EQ(r.width, 1280);
    EXPECT_EQ(r.height, 720);
    EXPECT_EQ(r.refreshRate, 75);
    EXPECT_EQ(r.backBufferFormat, 21);
    EXPECT_EQ(r.reserved27, 0x01020304);
    EXPECT_EQ(r.depthStencilFormat, 77);
    EXPECT_EQ(r.AdapterDescription(), "Test Adapter 9000");
    EXPECT_EQ(r.textureDivider, 2);
    EXPECT_EQ(r.nozzlesEnabled, 0);
    EXPECT_EQ(r.bsphereDisplay, 1);
    EXPECT_EQ(r.showBSpheres, 1);
    EXPECT_EQ(r.reserved555[0], 5);
    EXPECT_EQ(r.reserved555[1], 6);
    EXPECT_EQ(r.memLog, 1);
    EXPECT_EQ(r.multisampleType, 4);
    EXPECT_EQ(r.adapterOrdinal, 1);
    EXPECT_EQ(r.postProcess, 1);
    EXPECT_EQ(r.Language(), "en");
    EXPECT_EQ(vesk::EncodeConfigRecord(r), bytes);
    EXPECT_EQ(vesk::CheckConfigRecord(r), "");

    EXPECT_FALSE(vesk::DecodeConfigRecord(bytes.substr(1), r));
    EXPECT_FALSE(vesk::DecodeConfigRecord(bytes + "x", r));
}

// Repair replaces exactly the fields a game cannot run with, each by its
// default, and keeps every other choice.
TEST(ConfigRecordLayout, RepairKeepsEveryUsableField) {
    vesk::ConfigRecord chosen = vesk::DefaultConfigRecord();
    chosen.fullScreen = 1;
    chosen.soundOn = 0;
    chosen.width = 800;
    chosen.height = 600;
    chosen.refreshRate = 75;
    chosen.textureDivider = 2;
    chosen.multisampleType = 4;
    chosen.adapterOrdinal = 1;
    chosen.postProcess = 1;
    chosen.SetLanguage("ru");
    const vesk::ConfigRecord defaults = vesk::DefaultConfigRecord();
    const struct {
        const char* name;
        int32_t vesk::ConfigRecord::*field;
        int32_t bad;
    } cases[] = {
        {"width", &vesk::ConfigRecord::width, 0},
        {"height", &vesk::ConfigRecord::height, 20000},
        {"refresh rate", &vesk::ConfigRecord::refreshRate, -1},
        {"texture divider", &vesk::ConfigRecord::textureDivider, -3},
        {"multisample type", &vesk::ConfigRecord::multisampleType, 99},
        {"adapter ordinal", &vesk::ConfigRecord::adapterOrdinal, -1},
    };
    EXPECT_TRUE(vesk::ConfigRecordProblems(chosen).empty());
    EXPECT_EQ(vesk::RepairConfigRecord(chosen, defaults), chosen);
    vesk::ConfigRecord allBad = chosen;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        vesk::ConfigRecord bad = chosen;
        bad.*c.field = c.bad;
        allBad.*c.field = c.bad;
        const auto problems = vesk::ConfigRecordProblems(bad);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_NE(problems[0].find(std::string(c.name) + " " + std::to_string(c.bad) + " is outside"),
                  std::string::npos);
        vesk::ConfigRecord expected = chosen;
        expected.*c.field = defaults.*c.field;
        EXPECT_EQ(vesk::RepairConfigRecord(bad, defaults), expected);
    }
    EXPECT_EQ(vesk::ConfigRecordProblems(allBad).size(), std::size(cases));
    const vesk::ConfigRecord repaired = vesk::RepairConfigRecord(allBad, defaults);
    EXPECT_TRUE(vesk::ConfigRecordProblems(repaired).empty());
    EXPECT_EQ(repaired.soundOn, 0);
    EXPECT_EQ(repaired.fullScreen, 1);
    EXPECT_EQ(repaired.Language(), "ru");
}

TEST(ConfigRecordLayout, DefaultsOfTheFieldMap) {
    std::string b = vesk::EncodeConfigRecord(vesk::DefaultConfigRecord());
    std::string expected(570, '\0');
    PutLe32(expected, 0, 0xFFFFFFFF);
    PutLe32(expected, 7, 1);
    PutLe32(expected, 11, 1024);
    PutLe32(expected, 15, 768);
    PutLe32(expected, 19, 60);
    PutLe32(expected, 23, 22);
    expected[552] = 1;
    EXPECT_EQ(b, expected);
}

TEST(ConfigRecordLayout, DescriptionAndLanguageNeverReadPastTheirFields) {
    std::string bytes = DistinctRecordBytes();
    std::memset(&bytes[35], 'A', 513);   // no terminating zero
    bytes[567] = static_cast<char>(200); // length byte beyond the two characters
    ConfigRecord r;
    ASSERT_TRUE(vesk::DecodeConfigRecord(bytes, r));
    EXPECT_EQ(r.AdapterDescription(), std::string(513, 'A'));
    EXPECT_EQ(r.Language(), "en");

    r.SetAdapterDescription(std::string(600, 'B'));
    EXPECT_EQ(r.AdapterDescription(), std::string(512, 'B'));
    r.SetLanguage("deu");
    EXPECT_EQ(r.Language(), "de");
    EXPECT_EQ(r.languageLength, 2);
    r.SetLanguage("");
    EXPECT_EQ(r.Language(), "");
}

TEST_F(SetupRecordTest, RecordOfTheRightSizeLoadsAndStartsNothing) {
    WriteBytes(DistinctRecordBytes());
    vesk::LoadConfigBin();
    ConfigRecord expected;
    ASSERT_TRUE(vesk::DecodeConfigRecord(DistinctRecordBytes(), expected));
    EXPECT_EQ(vesk::SetupRecord, expected);
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(trap.reports.empty());
    // The memory log switch and the error report's facts follow the record.
    EXPECT_TRUE(vesk::MemLogEnabled());
    ASSERT_TRUE(vesk::GetErrorLogSources().videoCard);
    EXPECT_EQ(vesk::GetErrorLogSources().videoCard(), "Test Adapter 9000");
    EXPECT_EQ(vesk::GetErrorLogSources().resolution(), "1280x720");
}

TEST_F(SetupRecordTest, MissingOrWrongSizedRecordStartsSetupAndHalts) {
    struct Case {
        const char* what;
        int size; // -1: no file
    };
    for (Case c : {Case{"missing", -1}, Case{"empty", 0}, Case{"one short", 569}, Case{"one long", 571}}) {
        SCOPED_TRACE(c.what);
        started.clear();
        vp::DeleteFile(dir_ / "config.bin");
        if (c.size >= 0) {
            std::string bytes = DistinctRecordBytes();
            bytes.resize(static_cast<size_t>(c.size), '\0');
            WriteBytes(bytes);
        }
        EXPECT_THROW(vesk::LoadConfigBin(), Halted);
        ASSERT_EQ(started.size(), 1u);
        EXPECT_EQ(started[0], dir_ / "game/setup");
        EXPECT_EQ(vesk::SetupRecord, vesk::DefaultConfigRecord());
    }
}

TEST_F(SetupRecordTest, UnusableValuesAreNamedThenSetupRuns) {
    struct Case {
        size_t offset;
        uint32_t value;
        const char* message;
    };
    const Case cases[] = {
        {11, 0, "Setup record \"config.bin\": width 0 is outside 1..16384"},
        {15, 0xFFFFFFFF, "Setup record \"config.bin\": height -1 is outside 1..16384"},
        {11, 100000, "Setup record \"config.bin\": width 100000 is outside 1..16384"},
        {19, 0xFFFFFFF6, "Setup record \"config.bin\": refresh rate -10 is outside 0..1000"},
        {548, 0x80000000,
         "Setup record \"config.bin\": texture divider -2147483648 is outside 0..2147483647"},
        {558, 17, "Setup record \"config.bin\": multisample type 17 is outside 0..16"},
        {562, 0xFFFFFFFF, "Setup record \"config.bin\": adapter ordinal -1 is outside 0..2147483647"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        started.clear();
        trap.reports.clear();
        trap.boxes.clear();
        std::string bytes = DistinctRecordBytes();
        PutLe32(bytes, c.offset, c.value);
        WriteBytes(bytes);
        EXPECT_THROW(vesk::LoadConfigBin(), Halted);
        ASSERT_EQ(trap.reports.size(), 1u);
        EXPECT_EQ(trap.reports[0].text, c.message);
        EXPECT_EQ(trap.reports[0].flags, "");
        ASSERT_EQ(trap.boxes.size(), 1u);
        EXPECT_EQ(trap.boxes[0].text, c.message);
        EXPECT_EQ(started.size(), 1u);
    }
}

TEST_F(SetupRecordTest, SetupThatCannotStartIsToldBeforeTheHalt) {
    startSucceeds = false;
    EXPECT_THROW(vesk::RunSetupAndHalt(), Halted);
    ASSERT_EQ(trap.boxes.size(), 1u);
    EXPECT_EQ(trap.boxes[0].text, "Can not start the setup program: " + (dir_ / "game/setup"));
}

TEST(SetupRecordHalt, EndsTheProgramWithAFailureStatus) {
    EXPECT_EXIT(
        {
            vp::SetStartProgramHandler(
                [](const std::string&, const std::vector<std::string>&) { return true; });
            vesk::RunSetupAndHalt();
        },
        ::testing::ExitedWithCode(1), "");
}
