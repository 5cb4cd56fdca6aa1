#include "platform/files.h"
#include "platform/text.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vp = vesk::platform;

TEST(Cp1251, RoundTripsEveryByteThroughUtf8AndUtf16) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(vp::Utf8ToCp1251(vp::Cp1251ToUtf8(all)), all);
    EXPECT_EQ(vp::Utf16ToCp1251(vp::Cp1251ToUtf16(all)), all);
}

TEST(Cp1251, KnownLettersAndBadInput) {
    // "Привет" in Windows-1251 and UTF-8.
    const std::string cp = "\xCF\xF0\xE8\xE2\xE5\xF2";
    EXPECT_EQ(vp::Cp1251ToUtf8(cp), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
    EXPECT_EQ(vp::Cp1251ToUtf8("\xA8\xB8"), "\xD0\x81\xD1\x91"); // Ё ё
    EXPECT_EQ(vp::Utf8ToCp1251("a\xE4\xB8\xAD"
                               "b"),
              "a?b");                         // CJK has no byte
    EXPECT_EQ(vp::Utf8ToCp1251("\xC3"), "?"); // truncated sequence
    EXPECT_EQ(vp::UpperCaseCp1251("abc\xEF\xF0\xB8"), "ABC\xCF\xD0\xA8");
    EXPECT_EQ(vp::LowerCaseCp1251("ABC\xCF\xD0\xA8"), "abc\xEF\xF0\xB8");
    EXPECT_TRUE(vp::SameTextCp1251("Textures\\\xCF", "TEXTURES\\\xEF"));
}

TEST(PathLayer, ResolvesExistingComponentsIgnoringCaseAndKeepsNewNames) {
    vesk::test::TempDir dir;
    ASSERT_TRUE(vp::CreateFolders(dir / "Data/Textures"));
    ASSERT_TRUE(vp::WriteFile(dir / "Data/Textures/Ship.DDS", "x"));

    EXPECT_TRUE(vp::FileExists(dir.path() + "\\DATA\\textures\\ship.dds"));
    EXPECT_EQ(vp::NativePath(dir.path() + "\\data\\TEXTURES\\ship.dds"), dir / "Data/Textures/Ship.DDS");
    // A new file under an existing folder keeps the caller's case for the new part.
    EXPECT_EQ(vp::NativePath(dir / "DATA/NewFile.txt"), dir / "Data/NewFile.txt");
    // Folders named apart only by case are one folder.
    ASSERT_TRUE(vp::CreateFolders(dir / "data/textures/Sub"));
    EXPECT_TRUE(vp::FolderExists(dir / "Data/Textures/Sub"));
    EXPECT_FALSE(vp::FileExists(dir / "data/missing/ship.dds"));

    std::string content;
    ASSERT_TRUE(vp::AppendFile(dir / "data/log.txt", "a\n"));
    ASSERT_TRUE(vp::AppendFile(dir / "DATA/LOG.TXT", "b\n"));
    ASSERT_TRUE(vp::ReadFile(dir / "Data/log.txt", content));
    EXPECT_EQ(content, "a\nb\n");
    EXPECT_EQ(vp::FileSize(dir / "data/LOG.txt"), 4);
}

// Whole-file reads: a file's bytes (zeros included) through either reader, the
// view's date matching the file's, and empty, missing and folder names.
TEST(PathLayer, WholeFileReadsAndViews) {
    vesk::test::TempDir dir;
    const std::string bytes = std::string("head\0tail", 9) + std::string(70000, 'x');
    ASSERT_TRUE(vp::CreateFolders(dir / "Models"));
    ASSERT_TRUE(vp::WriteFile(dir / "Models/Ship.cm", bytes));
    ASSERT_TRUE(vp::WriteFile(dir / "empty.cm", ""));
    ASSERT_TRUE(vp::SetFileTime(dir / "Models/Ship.cm", 1000000000));

    std::string read;
    ASSERT_TRUE(vp::ReadFile(dir / "MODELS/ship.cm", read));
    EXPECT_EQ(read, bytes);
    vp::FileView view;
    ASSERT_TRUE(view.Open(dir / "models/SHIP.CM"));
    EXPECT_EQ(view.Bytes(), bytes);
    EXPECT_EQ(view.Time(), 1000000000);

    ASSERT_TRUE(view.Open(dir / "empty.cm"));
    EXPECT_TRUE(view.Bytes().empty());
    ASSERT_TRUE(vp::ReadFile(dir / "empty.cm", read));
    EXPECT_EQ(read, "");
    for (const std::string& name : {dir / "missing.cm", dir / "Models"}) {
        EXPECT_FALSE(view.Open(name)) << name;
        EXPECT_TRUE(view.Bytes().empty());
        EXPECT_FALSE(vp::ReadFile(name, read)) << name;
    }
}

// Containment follows links and "..": a link inside the folder that leads out
// is outside, a link from outside into the folder is inside.
TEST(PathLayer, InsideFolderFollowsLinksAndDots) {
    vesk::test::TempDir dir, other;
    ASSERT_TRUE(vp::CreateFolders(dir / "game/data/save/slot1"));
    ASSERT_TRUE(vp::CreateFolders(other / "elsewhere"));
    namespace fs = std::filesystem;
    fs::create_directory_symlink(other / "elsewhere", dir / "game/data/save/outlink");
    fs::create_directory_symlink(dir / "game/data", other / "inlink");
    const std::string game = dir / "game";
    const struct {
        std::string path;
        bool inside;
    } cases[] = {
        {game + "/data/save/slot1/", true},
        {game + "/DATA/Save/slot1", true},        // any letter case
        {game + "/data/save/new/file.lua", true}, // not there yet
        {game, true},
        {game + "/data/save/outlink/", false},
        {game + "/data/save/outlink/x.lua", false},
        {game + "/data/save/../../../x", false},
        {game + "/data/save/new/../../../..", false},
        {other / "inlink/save/slot1", true},
        {dir / "gameother", false}, // a sibling whose name starts the same
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(vp::IsInsideFolder(c.path, game), c.inside) << c.path;
    // Relative paths go from the current folder.
    const std::string cwd = vp::CurrentFolder();
    ASSERT_TRUE(vp::SetCurrentFolder(game));
    EXPECT_TRUE(vp::IsInsideFolder("data/save/slot1/", game));
    EXPECT_FALSE(vp::IsInsideFolder("data/save/outlink/", game));
    vp::SetCurrentFolder(cwd);
}

// Below a folder no part of a path may be a link, whichever way it leads (up
// to the folder above, into the scripts, out of the game). Removing takes a
// link away as the link, and a folder with all it holds; moving moves a link
// as the link.
TEST(PathLayer, LinksBelowAFolderAreRefusedRemovedAndMovedAsLinks) {
    vesk::test::TempDir dir, other;
    namespace fs = std::filesystem;
    const std::string game = dir / "game";
    ASSERT_TRUE(vp::CreateFolders(game + "/save/slot/deep/deeper"));
    ASSERT_TRUE(vp::CreateFolders(game + "/Scripts"));
    ASSERT_TRUE(vp::WriteFile(game + "/save/slot/deep/deeper/x.lua", "x"));
    ASSERT_TRUE(vp::WriteFile(game + "/Scripts/main.lua", "the main script"));
    ASSERT_TRUE(vp::WriteFile(game + "/vesk", "the program"));
    ASSERT_TRUE(vp::WriteFile(other / "victim.lua", "precious"));
    fs::create_directory_symlink("..", game + "/save/up");
    fs::create_directory_symlink("../Scripts", game + "/save/scripts");
    fs::create_directory_symlink(other.path(), game + "/save/out");
    fs::create_symlink(other / "victim.lua", game + "/save/slot/victim.lua");
    fs::create_symlink("missing", game + "/save/dangling");
    const struct {
        std::string below;
        bool linkFree;
    } cases[] = {
        {"save/slot/deep/deeper/x.lua", true},
        {"SAVE/Slot/new/file.lua", true}, // any letter case; not there yet
        {"save\\new\\file.lua", true},
        {"", true},
        {"save/up", false},
        {"save/up/", false},
        {"save/up/vesk", false},
        {"save/scripts/main.lua", false},
        {"save/out/victim.lua", false},
        {"save/slot/victim.lua", false},
        {"save/dangling", false},
        {"save/../Scripts/main.lua", false},
        {"save/./slot", false},
        {std::string("save/up\0/x", 10), false}, // the system would read "save/up"
    };
    for (const auto& c : cases) EXPECT_EQ(vp::NoLinkBelow(game, c.below), c.linkFree) << c.below;

    // Moving a link moves the link; a name taken is no target.
    EXPECT_TRUE(vp::Rename(game + "/save/scripts/", game + "/save/moved"));
    EXPECT_TRUE(fs::is_symlink(game + "/save/moved"));
    EXPECT_FALSE(vp::Rename(game + "/save/moved", game + "/save/slot"));

    for (const char* name : {"up/", "moved/", "out", "dangling", "slot", "none"}) {
        std::string failed;
        EXPECT_TRUE(vp::RemoveTree(game + "/save/" + name, &failed)) << name << " " << failed;
        EXPECT_FALSE(fs::exists(fs::symlink_status(game + "/save/" + std::string(name)))) << name;
    }
    const struct {
        std::string file, text;
    } kept[] = {
        {other / "victim.lua", "precious"},
        {game + "/Scripts/main.lua", "the main script"},
        {game + "/vesk", "the program"},
    };
    for (const auto& k : kept) {
        std::string text;
        EXPECT_TRUE(vp::ReadFile(k.file, text)) << k.file;
        EXPECT_EQ(text, k.text) << k.file;
    }
    EXPECT_EQ(vp::ListFolder(game + "/save").size(), 0u);
    // A path holding a NUL names no place: the system would take only what comes before it.
    const std::string cut = game + std::string("\0/save", 6);
    EXPECT_EQ(vp::NativePath(cut), "");
    EXPECT_FALSE(vp::RemoveTree(cut));
    EXPECT_FALSE(vp::CreateFolders(cut));
    EXPECT_TRUE(vp::FileExists(game + "/vesk"));
}
