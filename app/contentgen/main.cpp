// The content generator: writes the demo game's binary assets into a game
// folder. Files whose bytes are already there are left untouched, so a build
// that changes nothing rewrites nothing.
//
//   contentgen OUTDIR        write every asset under OUTDIR
//   contentgen --list        the groups and the files each writes
#include "assets.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace vesk::contentgen {

std::vector<AssetGroup>& AssetGroups() {
    static std::vector<AssetGroup> groups;
    return groups;
}

AssetGroupRegistration::AssetGroupRegistration(const char* name, AssetGroupWriter write) {
    AssetGroups().push_back({name, write});
}

} // namespace vesk::contentgen

namespace {

namespace fs = std::filesystem;
using namespace vesk::contentgen;

bool SameBytes(const fs::path& file, const std::string& bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return old == bytes;
}

// Generated paths stay inside the output folder.
bool SafeRelative(const std::string& path) {
    if (path.empty() || path.front() == '/' || path.find('\\') != std::string::npos) return false;
    for (const auto& part : fs::path(path))
        if (part == "..") return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: contentgen OUTDIR | --list\n");
        return 2;
    }
    std::vector<AssetGroup> groups = AssetGroups();
    std::sort(groups.begin(), groups.end(),
              [](const AssetGroup& a, const AssetGroup& b) { return a.name < b.name; });
    const std::string arg = argv[1];
    const bool list = arg == "--list";
    const fs::path out = arg;
    std::map<std::string, std::string> owner; // path -> group, to catch two groups writing one file
    int failures = 0, written = 0, total = 0;
    for (const AssetGroup& group : groups) {
        const AssetSink sink = [&](const std::string& path, const std::string& bytes) {
            ++total;
            if (!SafeRelative(path)) {
                std::fprintf(stderr, "contentgen: %s: bad path \"%s\"\n", group.name.c_str(), path.c_str());
                ++failures;
                return;
            }
            auto [it, fresh] = owner.emplace(path, group.name);
            if (!fresh) {
                std::fprintf(stderr, "contentgen: \"%s\" written by both %s and %s\n", path.c_str(),
                             it->second.c_str(), group.name.c_str());
                ++failures;
                return;
            }
            if (list) {
                std::printf("%s\t%s\t%zu\n", group.name.c_str(), path.c_str(), bytes.size());
                return;
            }
            const fs::path file = out / path;
            if (SameBytes(file, bytes)) return;
            std::error_code ec;
            fs::create_directories(file.parent_path(), ec);
            std::ofstream f(file, std::ios::binary | std::ios::trunc);
            f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            if (!f) {
                std::fprintf(stderr, "contentgen: cannot write %s\n", file.string().c_str());
                ++failures;
                return;
            }
            ++written;
        };
        group.write(sink);
    }
    if (!list)
        std::printf("contentgen: %d files (%d rewritten) in %s\n", total, written, out.string().c_str());
    return failures ? 1 : 0;
}
