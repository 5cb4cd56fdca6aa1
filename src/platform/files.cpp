#include "platform/files.h"

#include "platform/text.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sys/mman.h>
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
    // The system reads a path up to its first NUL: a name holding one would
    // name another place than the one checked. It names no place at all.
    if (enginePath.find('\0') != std::string_view::npos) return {};
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

namespace {

// The native path without trailing separators: "link/" would name the
// folder a link points to, "link" names the link.
std::string NativeEntry(std::string_view path) {
    std::string native = NativePath(path);
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    return native;
}

bool RemoveEntry(const fs::path& entry, std::string* failed) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(entry, ec);
    if (st.type() == fs::file_type::not_found) return true;
    bool ok = !ec;
    if (ok && st.type() == fs::file_type::directory) {
        // A real folder (a link is no directory here): its entries first.
        std::vector<fs::path> entries;
        fs::directory_iterator it(entry, ec), end;
        for (; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
        ok = !ec;
        for (size_t i = 0; ok && i < entries.size(); ++i) {
            if (!RemoveEntry(entries[i], failed)) return false;
        }
    }
    if (ok) {
        fs::remove(entry, ec);
        ok = !ec;
    }
    if (!ok && failed) *failed = Utf8ToCp1251(entry.string());
    return ok;
}

} // namespace

bool RemoveTree(std::string_view path, std::string* failed) {
    const std::string native = NativeEntry(path);
    if (native.empty()) return false;
    return RemoveEntry(native, failed);
}

bool Rename(std::string_view from, std::string_view to) {
    const std::string source = NativeEntry(from);
    const std::string target = NativeEntry(to);
    std::error_code ec;
    if (source.empty() || target.empty() || fs::symlink_status(target, ec).type() != fs::file_type::not_found)
        return false;
    fs::rename(source, target, ec);
    return !ec;
}

bool NoLinkBelow(std::string_view folder, std::string_view below) {
    if (below.find('\0') != std::string_view::npos) return false;
    std::string path = ToSlashes(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    const std::string rest = ToSlashes(below);
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t next = rest.find('/', pos);
        if (next == std::string::npos) next = rest.size();
        const std::string part = rest.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty()) continue;
        if (part == "." || part == "..") return false;
        path += part;
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(NativeEntry(path), ec);
        // Nothing below a missing part exists either.
        if (st.type() == fs::file_type::not_found) return true;
        if (ec || st.type() == fs::file_type::symlink) return false;
        path += '/';
    }
    return true;
}

namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads `size` bytes (or up to the end, should the file have shrunk) into `out`.
bool ReadAll(int fd, size_t size, std::string& out) {
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, out.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return true;
}

} // namespace

bool ReadFile(std::string_view path, std::string& out) {
    Fd fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return ReadAll(fd.get(), static_cast<size_t>(st.st_size), out);
}

bool FileView::Open(std::string_view path) {
    Close();
    Fd fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    time_ = static_cast<int64_t>(st.st_mtime);
    const size_t size = static_cast<size_t>(st.st_size);
    if (size > 0) {
        // The pages come straight from the file cache, all mapped at once.
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
        if (p != MAP_FAILED) {
            data_ = static_cast<const char*>(p);
            size_ = size;
            mapped_ = true;
            return true;
        }
    }
    if (!ReadAll(fd.get(), size, copy_)) {
        Close();
        return false;
    }
    data_ = copy_.data();
    size_ = copy_.size();
    return true;
}

void FileView::Close() {
    if (mapped_) ::munmap(const_cast<char*>(data_), size_);
    mapped_ = false;
    data_ = nullptr;
    size_ = 0;
    copy_ = std::string();
    time_ = -1;
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

namespace {

// The path made absolute, its existing part with every link resolved, without a trailing separator.
bool RealPath(std::string_view enginePath, fs::path& out) {
    std::error_code ec;
    fs::path p = fs::absolute(NativePath(enginePath), ec);
    if (ec) return false;
    p = fs::weakly_canonical(p, ec);
    if (ec) return false;
    out = p.lexically_normal();
    while (out.has_relative_path() && out.filename().empty()) out = out.parent_path();
    return true;
}

} // namespace

bool IsInsideFolder(std::string_view path, std::string_view folder) {
    fs::path real, root;
    if (path.empty() || folder.empty() || !RealPath(path, real) || !RealPath(folder, root)) return false;
    auto p = real.begin();
    for (const fs::path& part : root) {
        if (p == real.end() || *p != part) return false;
        ++p;
    }
    return true;
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
