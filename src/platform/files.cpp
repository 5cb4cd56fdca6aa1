#include "platform/files.h"

#include "platform/text.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <sys/time.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vesk::platform {
namespace {

std::mutex g_exeMutex;
std::string g_exeOverride;

// Finds the entry of `dir` whose name equals `name` ignoring case.
bool FindCaseless(const std::string& dir, const std::string& nameCp1251, std::string& found) {
    std::error_code ec;
    fs::directory_iterator it(dir.empty() ? "." : dir, ec), end;
    if (ec) return false;
    for (; it != end; it.increment(ec)) {
        if (ec) return false;
        std::string entry = it->path().filename().string();
        if (SameTextCp1251(Utf8ToCp1251(entry), nameCp1251)) {
            found = entry;
            return true;
        }
    }
    return false;
}

} // namespace

std::string ToSlashes(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

std::string NativePath(std::string_view enginePath) {
    std::string p = ToSlashes(enginePath);
    if (p.empty()) return p;
    std::string out;
    size_t pos = 0;
    if (p[0] == '/') {
        out = "/";
        pos = 1;
    }
    bool resolving = true; // stops at the first component that does not exist
    while (pos <= p.size()) {
        size_t next = p.find('/', pos);
        if (next == std::string::npos) next = p.size();
        std::string comp = p.substr(pos, next - pos);
        pos = next + 1;
        if (comp.empty()) continue;
        std::string native = Cp1251ToUtf8(comp);
        std::string joined = out.empty() || out.back() == '/' ? out + native : out + "/" + native;
        if (resolving && comp != "." && comp != "..") {
            std::error_code ec;
            if (!fs::exists(joined, ec)) {
                std::string found;
                if (FindCaseless(out.empty() ? "." : out, comp, found)) {
                    joined = out.empty() || out.back() == '/' ? out + found : out + "/" + found;
                } else {
                    resolving = false;
                }
            }
        }
        out = joined;
    }
    if (!p.empty() && p.back() == '/' && (out.empty() || out.back() != '/')) out += '/';
    return out;
}

bool FileExists(std::string_view path) {
    std::error_code ec;
    return fs::is_regular_file(NativePath(path), ec);
}

bool FolderExists(std::string_view path) {
    std::error_code ec;
    return fs::is_directory(NativePath(path), ec);
}

bool IsSymbolicLink(std::string_view path) {
    std::error_code ec;
    return fs::is_symlink(NativePath(path), ec);
}

bool CreateFolders(std::string_view path) {
    std::string native = NativePath(path);
    if (native.empty()) return false;
    std::error_code ec;
    fs::create_directories(native, ec);
    return fs::is_directory(native, ec);
}

bool DeleteFile(std::string_view path) {
    std::error_code ec;
    return fs::remove(NativePath(path), ec);
}

bool ReadFile(std::string_view path, std::string& out) {
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) return false;
    out.resize(static_cast<size_t>(size));
    in.seekg(0, std::ios::beg);
    in.read(out.data(), size);
    return static_cast<bool>(in) || in.eof();
}

bool WriteFile(std::string_view path, std::string_view data) {
    std::ofstream o(NativePath(path), std::ios::binary | std::ios::trunc);
    if (!o) return false;
    o.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(o);
}

bool AppendFile(std::string_view path, std::string_view data) {
    std::ofstream o(NativePath(path), std::ios::binary | std::ios::app);
    if (!o) return false;
    o.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(o);
}

int64_t FileSize(std::string_view path) {
    std::error_code ec;
    auto n = fs::file_size(NativePath(path), ec);
    return ec ? -1 : static_cast<int64_t>(n);
}

int64_t FileTime(std::string_view path) {
    struct stat st {};
    if (::stat(NativePath(path).c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_mtime);
}

bool SetFileTime(std::string_view path, int64_t seconds) {
    struct timeval times[2] = {};
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
    return ::utimes(NativePath(path).c_str(), times) == 0;
}

std::vector<std::string> ListFolder(std::string_view path, bool files, bool folders) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(NativePath(path), ec), end;
    if (ec) return names;
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        bool isDir = it->is_directory(ec);
        if ((isDir && folders) || (!isDir && files))
            names.push_back(Utf8ToCp1251(it->path().filename().string()));
    }
    return names;
}

std::string ExePath() {
    std::error_code ec;
    auto p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : Utf8ToCp1251(p.string());
}

std::string ExeFolder() {
    {
        std::lock_guard lock(g_exeMutex);
        if (!g_exeOverride.empty()) return g_exeOverride;
    }
    std::string exe = ExePath();
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

void SetExeFolderOverride(std::string folder) {
    std::lock_guard lock(g_exeMutex);
    g_exeOverride = ToSlashes(folder);
    while (g_exeOverride.size() > 1 && g_exeOverride.back() == '/') g_exeOverride.pop_back();
}

std::string CurrentFolder() {
    std::error_code ec;
    auto p = fs::current_path(ec);
    return ec ? std::string(".") : Utf8ToCp1251(p.string());
}

bool SetCurrentFolder(std::string_view path) {
    return ::chdir(NativePath(path).c_str()) == 0;
}

} // namespace vesk::platform
