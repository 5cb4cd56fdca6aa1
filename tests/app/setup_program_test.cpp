// Runs the built setup program and reads its record back the way the game does.
#include "core/config_record.h"
#include "platform/files.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vp = vesk::platform;
using vesk::ConfigRecord;

namespace {

class SetupProgramTest : public ::testing::Test {
protected:
    // Runs setup in the temporary folder with the given arguments and input.
    int RunSetup(const std::string& args, const std::string& input = "") {
        std::string in = dir / "answers.txt";
        vp::WriteFile(in, input);
        std::string cmd = "cd '" + dir.path() + "' && SDL_VIDEODRIVER=dummy '" VESK_BUILD_DIR "/setup' " +
                          args + " <'" + in + "' >'" + (dir / "out.txt") + "' 2>&1";
        int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Loads the record as the game does at start-up.
    ConfigRecord LoadAsGame() {
        std::string old = vp::CurrentFolder();
        EXPECT_TRUE(vp::SetCurrentFolder(dir.path()));
        vesk::LoadConfigBin();
        vp::SetCurrentFolder(old);
        return vesk::SetupRecord;
    }
    std::string Output() {
        std::string out;
        vp::ReadFile(dir / "out.txt", out);
        return out;
    }

    vesk::test::TempDir dir;
    vesk::test::ErrorTrap trap;
};

} // namespace

TEST_F(SetupProgramTest, OptionsWriteEveryFieldTheGameReads) {
    ASSERT_EQ(RunSetup("--width 800 --height 600 --refresh 75 --fullscreen --no-sound --postprocess "
                       "--language en --texture-divider 2 --multisample 4 --memlog"),
              0)
        << Output();
    EXPECT_EQ(vp::FileSize(dir / "config.bin"), 570);
    ConfigRecord r = LoadAsGame();
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_EQ(r.reserved0, -1);
    EXPECT_EQ(r.fullScreen, 1);
    EXPECT_EQ(r.reserved5, 0);
    EXPECT_EQ(r.soundOn, 0);
    EXPECT_EQ(r.deviceType, 1);
    EXPECT_EQ(r.width, 800);
    EXPECT_EQ(r.height, 600);
    EXPECT_EQ(r.refreshRate, 75);
    EXPECT_EQ(r.backBufferFormat, 22);
    EXPECT_EQ(r.reserved27, 0);
    EXPECT_EQ(r.depthStencilFormat, 75);
    EXPECT_EQ(r.AdapterDescription(), "Default display adapter");
    EXPECT_EQ(r.textureDivider, 2);
    EXPECT_EQ(r.nozzlesEnabled, 1);
    EXPECT_EQ(r.bsphereDisplay, 0);
    EXPECT_EQ(r.showBSpheres, 0);
    EXPECT_EQ(r.memLog, 1);
    EXPECT_EQ(r.multisampleType, 4);
    EXPECT_EQ(r.adapterOrdinal, 0);
    EXPECT_EQ(r.postProcess, 1);
    EXPECT_EQ(r.Language(), "en");
}

TEST_F(SetupProgramTest, DefaultsAreAWindowWithSound) {
    for (const char* args : {"--defaults", ""}) { // no terminal: the defaults too
        SCOPED_TRACE(args);
        ASSERT_EQ(RunSetup(args), 0) << Output();
        ConfigRecord r = LoadAsGame();
        EXPECT_EQ(r.fullScreen, 0);
        EXPECT_EQ(r.soundOn, 1);
        EXPECT_EQ(r.width, 1024);
        EXPECT_EQ(r.height, 768);
        EXPECT_EQ(r.postProcess, 0);
        EXPECT_EQ(r.Language(), "");
    }
}

TEST_F(SetupProgramTest, AnswersToTheQuestions) {
    // Another size, 640x480, full screen, no sound, post-processing, "ru";
    // a wrong answer is asked again.
    ASSERT_EQ(RunSetup("--ask", "0\n640\n480\nmaybe\ny\nn\ny\nrus\nru\n"), 0) << Output();
    ConfigRecord r = LoadAsGame();
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 480);
    EXPECT_EQ(r.fullScreen, 1);
    EXPECT_EQ(r.soundOn, 0);
    EXPECT_EQ(r.postProcess, 1);
    EXPECT_EQ(r.Language(), "ru");

    // Asked again, the current record gives the defaults, options change them,
    // and input that ends early keeps the rest.
    ASSERT_EQ(RunSetup("--ask --sound", "0\n"), 0) << Output();
    r = LoadAsGame();
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 480);
    EXPECT_EQ(r.fullScreen, 1);
    EXPECT_EQ(r.soundOn, 1);
    EXPECT_EQ(r.Language(), "ru");

    // A Cyrillic prefix typed in UTF-8 is stored in the game's own text.
    ASSERT_EQ(RunSetup("--ask", "\n\n\n\n\n\n\xD1\x80\xD1\x83\n"), 0) << Output();
    EXPECT_EQ(LoadAsGame().Language(), "\xF0\xF3");
}

TEST_F(SetupProgramTest, BadOptionsWriteNothing) {
    for (const char* args :
         {"--width", "--width 0", "--height x", "--language eng", "--bogus", "--multisample 99"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(RunSetup(args), 2);
        EXPECT_FALSE(vp::FileExists(dir / "config.bin"));
    }
}

// The game starts the setup program (without a terminal or options) when the
// record has a field it cannot run with: the player's other choices stay, the
// bad fields take their defaults, and the old record is kept beside.
TEST_F(SetupProgramTest, RecordWithBadFieldsKeepsTheOtherChoicesAndTheOldRecord) {
    ConfigRecord chosen = vesk::DefaultConfigRecord();
    chosen.fullScreen = 1;
    chosen.soundOn = 0;
    chosen.width = 800;
    chosen.height = 600;
    chosen.postProcess = 1;
    chosen.SetLanguage("ru");
    chosen.multisampleType = 99;
    chosen.refreshRate = -5;
    ASSERT_TRUE(vesk::WriteConfigRecordFile(dir / "config.bin", chosen));
    const std::string old = [&] {
        std::string b;
        vp::ReadFile(dir / "config.bin", b);
        return b;
    }();
    ASSERT_EQ(RunSetup(""), 0) << Output();
    const ConfigRecord r = LoadAsGame();
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_EQ(r.fullScreen, 1);
    EXPECT_EQ(r.soundOn, 0);
    EXPECT_EQ(r.width, 800);
    EXPECT_EQ(r.height, 600);
    EXPECT_EQ(r.postProcess, 1);
    EXPECT_EQ(r.Language(), "ru");
    EXPECT_EQ(r.multisampleType, 0);
    EXPECT_EQ(r.refreshRate, 60);
    std::string kept;
    ASSERT_TRUE(vp::ReadFile(dir / "config.bin.bak", kept));
    EXPECT_EQ(kept, old);
    EXPECT_NE(Output().find("multisample type 99 is outside"), std::string::npos) << Output();

    // Options apply to the kept choices; a record that is no record at all is
    // kept too and the defaults are written.
    ASSERT_EQ(RunSetup("--width 640 --height 480"), 0) << Output();
    EXPECT_EQ(LoadAsGame().soundOn, 0);
    EXPECT_EQ(LoadAsGame().width, 640);
    ASSERT_TRUE(vp::WriteFile(dir / "config.bin", "short"));
    ASSERT_EQ(RunSetup(""), 0) << Output();
    EXPECT_EQ(LoadAsGame().soundOn, 1);
    ASSERT_TRUE(vp::ReadFile(dir / "config.bin.bak", kept));
    EXPECT_EQ(kept, "short");
}
