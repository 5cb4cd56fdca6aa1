// The path layer keeps what it learnt of folders it resolved without case:
// every change to such a folder, by the game or by anyone else, must show in
// the next lookup.
#include "platform/files.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vp = vesk::platform;
namespace fs = std::filesystem;

namespace {

// Dates a folder back, so that the layer takes it as settled and keeps what it read of it.
void Settle(const std::string& folder, int secondsAgo = 60) {
    fs::last_write_time(folder, fs::file_time_type::clock::now() - std::chrono::seconds(secondsAgo));
}

// A file made behind the path layer's back.
void MakeFile(const std::string& path) {
    std::ofstream(path) << "x";
}

} // namespace

TEST(PathLookup, SettledFoldersStillShowEveryChange) {
    vesk::test::TempDir dir;
    ASSERT_TRUE(vp::CreateFolders(dir / "Content/Models"));
    MakeFile(dir / "Content/Models/Ship.cm");
    for (const char* f : {"Content/Models", "Content", ""}) Settle(dir / f);

    const std::string ship = dir / "content/MODELS/ship.CM";
    const std::string other = dir / "CONTENT/models/other.cm";
    // Looked up twice each: the second lookup uses what the first kept.
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_TRUE(vp::PathExists(ship));
        EXPECT_EQ(vp::NativePath(ship), dir / "Content/Models/Ship.cm");
        EXPECT_FALSE(vp::PathExists(other));
        EXPECT_EQ(vp::NativePath(other), dir / "Content/Models/other.cm");
    }

    // A file added by someone else, then the folder dated back again.
    MakeFile(dir / "Content/Models/Other.CM");
    EXPECT_TRUE(vp::PathExists(other));
    EXPECT_EQ(vp::NativePath(other), dir / "Content/Models/Other.CM");
    Settle(dir / "Content/Models");
    EXPECT_TRUE(vp::FileExists(other));

    // Removed through the layer.
    ASSERT_TRUE(vp::DeleteFile(other));
    EXPECT_FALSE(vp::PathExists(other));
    EXPECT_EQ(vp::NativePath(other), dir / "Content/Models/other.cm");

    // The folder swapped for another of the same name and the same date: the
    // names inside it are the new folder's.
    const auto date = fs::last_write_time(dir / "Content/Models");
    fs::rename(dir / "Content/Models", dir / "Content/old");
    fs::create_directory(dir / "Content/models");
    MakeFile(dir / "Content/models/SHIP.cm");
    fs::last_write_time(dir / "Content/models", date);
    Settle(dir / "Content");
    EXPECT_EQ(vp::NativePath(ship), dir / "Content/models/SHIP.cm");
    EXPECT_TRUE(vp::FileExists(ship));
}

// A mod's copy of a file is looked for under a folder that mostly does not
// exist: the lookup must notice the folder once it is made.
TEST(PathLookup, MissingFoldersAppearWhenMade) {
    vesk::test::TempDir dir;
    ASSERT_TRUE(vp::CreateFolders(dir / "mods/demo"));
    Settle(dir / "mods/demo");
    const std::string copy = dir / "Mods/Demo/models/Ships/hawk.cm";
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_FALSE(vp::PathExists(copy));
        EXPECT_EQ(vp::NativePath(copy), dir / "mods/demo/models/Ships/hawk.cm");
    }
    ASSERT_TRUE(vp::CreateFolders(dir / "mods/demo/Models/ships"));
    MakeFile(dir / "mods/demo/Models/ships/Hawk.cm");
    EXPECT_TRUE(vp::PathExists(copy));
    EXPECT_EQ(vp::NativePath(copy), dir / "mods/demo/Models/ships/Hawk.cm");
    EXPECT_TRUE(vp::PathExists(dir / "MODS/demo/models"));
    EXPECT_TRUE(vp::FolderExists(dir / "MODS/demo/models/"));
    EXPECT_FALSE(vp::PathExists(dir / "mods/demo/Models/ships/Hawk.cm/"));
}

// Relative names go from the current folder: two game folders alike but for
// the case of their files, dated alike, each resolve to their own names.
TEST(PathLookup, RelativeNamesFollowTheCurrentFolder) {
    vesk::test::TempDir a, b;
    for (const auto* d : {&a, &b}) ASSERT_TRUE(vp::CreateFolders(*d / "models"));
    MakeFile(a / "models/Gate.cm");
    MakeFile(b / "models/GATE.cm");
    const auto date = fs::file_time_type::clock::now() - std::chrono::seconds(60);
    for (const auto* d : {&a, &b}) fs::last_write_time(*d / "models", date);
    const std::string cwd = vp::CurrentFolder();
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(vp::SetCurrentFolder(a.path()));
        EXPECT_EQ(vp::NativePath("MODELS/gate.cm"), "models/Gate.cm");
        ASSERT_TRUE(vp::SetCurrentFolder(b.path()));
        EXPECT_EQ(vp::NativePath("MODELS/gate.cm"), "models/GATE.cm");
        EXPECT_TRUE(vp::FileExists("models/gate.CM"));
    }
    vp::SetCurrentFolder(cwd);
}

// What each question answers of each kind of name, exact or in another case.
TEST(PathLookup, KindsOfNamesAnswerTheirQuestions) {
    vesk::test::TempDir dir;
    ASSERT_TRUE(vp::CreateFolders(dir / "Data/Sub"));
    MakeFile(dir / "Data/File.txt");
    fs::create_symlink(dir / "Data/none", dir / "Data/Dangling");
    const struct {
        std::string path;
        bool file, folder, exists;
    } cases[] = {
        {dir / "Data/File.txt", true, false, true},
        {dir / "DATA/file.TXT", true, false, true},
        {dir / "data/sub", false, true, true},
        {dir / "data/SUB/", false, true, true},
        {dir / "data/file.txt/", false, false, false},
        {dir / "data/dangling", false, false, false},
        {dir / "data/none.txt", false, false, false},
        {dir / "none/file.txt", false, false, false},
        {"/", false, true, true},
        {"", false, false, false},
    };
    for (int pass = 0; pass < 2; ++pass)
        for (const auto& c : cases) {
            EXPECT_EQ(vp::FileExists(c.path), c.file) << c.path;
            EXPECT_EQ(vp::FolderExists(c.path), c.folder) << c.path;
            EXPECT_EQ(vp::PathExists(c.path), c.exists) << c.path;
        }
}
