// The content generator writes the same bytes on every run and never leaves
// its output folder.
#include <gtest/gtest.h>

#include "support/error_trap.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace vesk {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        files[fs::relative(e.path(), root).string()] =
            std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return files;
}

int Generate(const std::string& out) {
    const std::string cmd = std::string("'") + VESK_BUILD_DIR + "/contentgen' '" + out + "' >/dev/null";
    return std::system(cmd.c_str());
}

TEST(ContentGeneratorTest, TwoRunsWriteTheSameBytes) {
    test::TempDir dir;
    ASSERT_EQ(Generate(dir / "a"), 0);
    ASSERT_EQ(Generate(dir / "b"), 0);
    const auto a = Tree(dir / "a");
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, Tree(dir / "b"));
    // A second run over the same folder changes nothing.
    const fs::path first = fs::path(dir / "a") / a.begin()->first;
    const auto stamp = fs::last_write_time(first);
    ASSERT_EQ(Generate(dir / "a"), 0);
    EXPECT_EQ(fs::last_write_time(first), stamp);
}

} // namespace
} // namespace vesk
