#pragma once
// A game folder of a test's own: the program, the setup program, the demo
// content with its generated assets and a default "config.bin"; a lock folder
// of its own so that parallel tests never see each other's copies.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/system.h"
#include "support/error_trap.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace vesk::test {

inline const std::string kBuildDir = VESK_BUILD_DIR;
inline const std::string kContentDir =
    (std::filesystem::path(VESK_TEST_DATA_DIR).parent_path().parent_path() / "content").string();

inline std::string ReadText(const std::string& path) {
    std::string text;
    platform::ReadFile(path, text);
    return text;
}

class GameFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        game = dir / "game";
        fs::create_directories(game);
        fs::create_directories(dir / "runtime");
        fs::copy(kContentDir, game, fs::copy_options::recursive);
        ASSERT_EQ(std::system(("'" + kBuildDir + "/contentgen' '" + game + "' >/dev/null").c_str()), 0);
        fs::copy_file(kBuildDir + "/game/vesk", game + "/vesk");
        fs::copy_file(kBuildDir + "/game/setup", game + "/setup");
        ASSERT_EQ(Shell("./setup --defaults --memlog >/dev/null"), 0);
    }
    std::string Env() const {
        return "export XDG_RUNTIME_DIR='" + dir / "runtime" + "' VESK_PLUGIN_TRACE='" + dir / "trace.txt" +
               "'; ";
    }
    // The exit status of a command run in the game folder.
    int Shell(const std::string& command) {
        int rc = std::system(("cd '" + game + "' && " + Env() + command).c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }

    // The test's own process runs the game from the game folder (in-process
    // games): the folders it works in, an offscreen window, no sound device.
    void EnterGameFolder() {
        outside_ = platform::CurrentFolder();
        setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("ALSOFT_DRIVERS", "null", 1);
        platform::SetCurrentFolder(game);
        platform::SetExeFolderOverride(game);
    }
    void LeaveGameFolder() {
        platform::SetExeFolderOverride("");
        if (!outside_.empty()) platform::SetCurrentFolder(outside_);
    }

    TempDir dir;
    std::string game;

private:
    std::string outside_;
};

} // namespace vesk::test
