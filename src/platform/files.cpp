#include "platform/files.h"

#include "platform/text.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <sys/time.h>
#include <system_error>
#include <time.h>
#include <unistd.h>
#include <unordered_map>

namespace fs = std::filesystem;

namespace vesk::platform {
namespace {

std::mutex g_exeMutex;
std::string g_exeOverride;

// ---- case-insensitive resolution --------------------------------------------------
//
// Resolving a name component by component costs a stat per component and a
// folder listing wherever the letter case differs, and content loads ask for
// the same folders over and over (every file a mod does not replace is first
// looked for in the mod's folder). So a name that exists exactly as given is
// taken after one stat, and the resolution of a folder part is kept together
// with the listing of the deepest folder it reached. A kept resolution holds
// while that folder's modification time is unchanged, which one stat tells:
// a file created, removed or renamed in it, by the game or anyone else,
// changes the time. A folder changed in the last two seconds is read afresh
// each time, since a change in the same tick of the file system's clock
// would not show.

// One entry of a folder: its name as stored (UTF-8) and as engine text.
struct FolderEntry {
    std::string native;
    std::string text;
};

// How far a folder part resolved.
struct FolderResolution {
    std::string native;    // resolved as far as it exists, the rest as given
    std::string deepest;   // the deepest folder that exists ("." for the current one)
    bool complete = false; // every component exists
    dev_t device = 0;      // `deepest` as it was read: the same folder, unchanged
    ino_t inode = 0;
    timespec changed{};
    std::vector<FolderEntry> entries; // the entries of `deepest`, when complete
};

constexpr time_t kSettledSeconds = 2;
constexpr size_t kMaxKeptFolders = 4096;

class FolderResolutions {
public:
    // The kept resolution of `key` while `deepest` is still the folder it was, unchanged.
    std::shared_ptr<const FolderResolution> Find(const std::string& key) {
        std::shared_ptr<const FolderResolution> kept;
        {
            std::lock_guard lock(mutex_);
            auto it = kept_.find(key);
            if (it == kept_.end()) return nullptr;
            kept = it->second;
        }
        struct stat st {};
        if (::stat(kept->deepest.c_str(), &st) != 0 || st.st_dev != kept->device ||
            st.st_ino != kept->inode || st.st_mtim.tv_sec != kept->changed.tv_sec ||
            st.st_mtim.tv_nsec != kept->changed.tv_nsec)
            return nullptr;
        return kept;
    }
    void Keep(const std::string& key, std::shared_ptr<const FolderResolution> r, const timespec& readAt) {
        // Not settled yet: a change in this same tick would leave the time as it is.
        if (r->changed.tv_sec + kSettledSeconds >= readAt.tv_sec) return;
        std::lock_guard lock(mutex_);
        if (kept_.size() >= kMaxKeptFolders) kept_.clear();
        kept_[key] = std::move(r);
    }

private:
    std::mutex mutex_;
    std::unordered_map<std::string, std::shared_ptr<const FolderResolution>> kept_;
};

FolderResolutions& KeptResolutions() {
    static FolderResolutions kept;
    return kept;
}

std::string JoinNative(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

// Reads a folder's entries in the order the system lists them.
bool ListEntries(const std::string& dir, std::vector<FolderEntry>& out) {
    std::error_code ec;
    fs::directory_iterator it(dir.empty() ? "." : dir, ec), end;
    if (ec) return false;
    for (; it != end; it.increment(ec)) {
        if (ec) return false;
        std::string name = it->path().filename().string();
        std::string text = Utf8ToCp1251(name);
        out.push_back({std::move(name), std::move(text)});
    }
    return true;
}

// The entry whose name equals `nameCp1251` ignoring case: the first that
// matches in listing order, or with `exactFirst` the exact name when listed.
const FolderEntry* FindEntry(const std::vector<FolderEntry>& entries, const std::string& native,
                             const std::string& nameCp1251, bool exactFirst) {
    if (exactFirst)
        for (const FolderEntry& e : entries)
            if (e.native == native) return &e;
    for (const FolderEntry& e : entries)
        if (SameTextCp1251(e.text, nameCp1251)) return &e;
    return nullptr;
}

bool IsDots(const std::string& comp) {
    return comp == "." || comp == "..";
}

// Resolves folder components one by one from the start: an existing
// component keeps its name, another takes the name of the folder entry that
// matches it ignoring case; from the first that matches nothing on, the
// components are taken as given.
std::shared_ptr<FolderResolution> WalkFolders(bool absolute, const std::vector<std::string>& comps,
                                              timespec& readAt) {
    auto r = std::make_shared<FolderResolution>();
    std::string out = absolute ? "/" : "";
    std::string deepest = absolute ? "/" : ".";
    bool resolving = true;
    for (const std::string& comp : comps) {
        const std::string native = Cp1251ToUtf8(comp);
        std::string joined = JoinNative(out, native);
        if (resolving && !IsDots(comp)) {
            std::error_code ec;
            if (!fs::exists(joined, ec)) {
                std::vector<FolderEntry> entries;
                const FolderEntry* e = ListEntries(out.empty() ? "." : out, entries)
                                           ? FindEntry(entries, native, comp, false)
                                           : nullptr;
                if (e)
                    joined = JoinNative(out, e->native);
                else
                    resolving = false;
            }
        }
        out = std::move(joined);
        if (resolving) deepest = out;
    }
    r->native = std::move(out);
    r->deepest = std::move(deepest);
    r->complete = resolving;
    ::clock_gettime(CLOCK_REALTIME, &readAt);
    struct stat st {};
    if (::stat(r->deepest.c_str(), &st) != 0) {
        r->changed.tv_sec = readAt.tv_sec; // gone meanwhile: never kept
        return r;
    }
    r->device = st.st_dev;
    r->inode = st.st_ino;
    r->changed = st.st_mtim;
    if (r->complete && !ListEntries(r->deepest, r->entries)) r->changed.tv_sec = readAt.tv_sec;
    return r;
}

// An engine path split into its non-empty components.
struct SplitPath {
    bool absolute = false;
    bool trailingSlash = false;
    std::vector<std::string> comps;
};

SplitPath Split(std::string_view enginePath) {
    SplitPath s;
    const std::string p = ToSlashes(enginePath);
    s.absolute = !p.empty() && p[0] == '/';
    s.trailingSlash = !p.empty() && p.back() == '/';
    size_t pos = 0;
    while (pos <= p.size()) {
        size_t next = p.find('/', pos);
        if (next == std::string::npos) next = p.size();
        if (next > pos) s.comps.push_back(p.substr(pos, next - pos));
        pos = next + 1;
    }
    return s;
}

std::string WithTrailingSlash(std::string out, const SplitPath& s) {
    if (s.trailingSlash && (out.empty() || out.back() != '/')) out += '/';
    return out;
}

// The path as given, in native text: components joined by one "/".
std::string ExactNative(const SplitPath& s) {
    std::string exact = s.absolute ? "/" : "";
    for (const std::string& comp : s.comps) exact = JoinNative(exact, Cp1251ToUtf8(comp));
    return WithTrailingSlash(std::move(exact), s);
}

// The native name of an engine path; `found` gets what a stat of it finds
// and is false when nothing is there (the stat is the one the lookup made).
std::string Resolve(std::string_view enginePath, bool& found, struct stat& st) {
    found = false;
    // The system reads a path up to its first NUL: a name holding one would
    // name another place than the one checked. It names no place at all.
    if (enginePath.find('\0') != std::string_view::npos) return {};
    const SplitPath s = Split(enginePath);
    if (s.comps.empty()) {
        if (!s.absolute) return {};
        found = ::stat("/", &st) == 0;
        return "/";
    }
    std::string exact = ExactNative(s);
    if (::stat(exact.c_str(), &st) == 0) {
        found = true;
        return exact;
    }
    // The folder part from what is kept or walked afresh, then the last component.
    const std::vector<std::string> folders(s.comps.begin(), s.comps.end() - 1);
    std::string key = s.absolute ? "/" : "";
    for (const std::string& comp : folders) key += comp + "/";
    std::shared_ptr<const FolderResolution> r = KeptResolutions().Find(key);
    if (!r) {
        timespec readAt{};
        std::shared_ptr<FolderResolution> walked = WalkFolders(s.absolute, folders, readAt);
        KeptResolutions().Keep(key, walked, readAt);
        r = std::move(walked);
    }
    const std::string& last = s.comps.back();
    const std::string native = Cp1251ToUtf8(last);
    const std::string base = folders.empty() ? (s.absolute ? "/" : "") : r->native;
    if (!r->complete) return WithTrailingSlash(JoinNative(base, native), s);
    const FolderEntry* e = IsDots(last) ? nullptr : FindEntry(r->entries, native, last, true);
    std::string out = WithTrailingSlash(JoinNative(base, e ? e->native : native), s);
    // The listing says the entry is there; a link that leads nowhere is not.
    found = (e || IsDots(last)) && ::stat(out.c_str(), &st) == 0;
    return out;
}

} // namespace

std::string ToSlashes(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

std::string NativePath(std::string_view enginePath) {
    bool found = false;
    struct stat st {};
    return Resolve(enginePath, found, st);
}

bool PathExists(std::string_view path) {
    bool found = false;
    struct stat st {};
    Resolve(path, found, st);
    return found;
}

bool FileExists(std::string_view path) {
    bool found = false;
    struct stat st {};
    Resolve(path, found, st);
    return found && S_ISREG(st.st_mode);
}

bool FolderExists(std::string_view path) {
    bool found = false;
    struct stat st {};
    Resolve(path, found, st);
    return found && S_ISDIR(st.st_mode);
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

// Reads up to `size` bytes (fewer should the file have shrunk); -1 on a fault.
ssize_t ReadUpTo(int fd, char* to, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, to + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// Opens a file for reading and tells its size and time: the name as given
// first (the usual case, which then costs no resolution), else as resolved.
int OpenToRead(std::string_view path, struct stat& st) {
    int fd = ::open(ExactNative(Split(path)).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR))
        fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool ReadFile(std::string_view path, std::string& out) {
    struct stat st {};
    Fd fd(OpenToRead(path, st));
    if (fd.get() < 0) return false;
    out.resize(static_cast<size_t>(st.st_size));
    const ssize_t n = ReadUpTo(fd.get(), out.data(), out.size());
    if (n < 0) return false;
    out.resize(static_cast<size_t>(n));
    return true;
}

bool FileView::Open(std::string_view path) {
    Close();
    struct stat st {};
    Fd fd(OpenToRead(path, st));
    if (fd.get() < 0) return false;
    // One read into a buffer of the file's size, left uninitialised: mapping
    // the file instead costs more in page-table work than the copy for files
    // of the sizes content has.
    const size_t size = static_cast<size_t>(st.st_size);
    std::unique_ptr<char[]> bytes(size > 0 ? new (std::nothrow) char[size] : nullptr);
    if (size > 0 && !bytes) return false;
    const ssize_t n = ReadUpTo(fd.get(), bytes.get(), size);
    if (n < 0) return false;
    bytes_ = std::move(bytes);
    size_ = static_cast<size_t>(n);
    time_ = static_cast<int64_t>(st.st_mtime);
    return true;
}

void FileView::Close() {
    bytes_.reset();
    size_ = 0;
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
    // The running program's file does not move while it runs: read once.
    static const std::string path = [] {
        std::error_code ec;
        auto p = fs::read_symlink("/proc/self/exe", ec);
        return ec ? std::string() : Utf8ToCp1251(p.string());
    }();
    return path;
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
