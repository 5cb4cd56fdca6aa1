#pragma once
// The one path layer every file access goes through. Engine paths are
// Windows-1251 text that may use "\" and any letter case (content written on
// Windows mixes "Textures" and "TEXTURES"); the layer turns "\" into "/" and
// resolves each existing component case-insensitively against the disk.
// Components that do not exist yet keep the case the caller gave.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::platform {

// "\" -> "/".
std::string ToSlashes(std::string_view path);
// Native (UTF-8) path for an engine path, resolved as described above; empty
// (no place) for a path holding a NUL.
std::string NativePath(std::string_view enginePath);

bool FileExists(std::string_view path);
// True when the path names anything that exists: a file, a folder or another kind of entry.
bool PathExists(std::string_view path);
bool FolderExists(std::string_view path);
// True when the path names a symbolic link (to a file or a folder).
bool IsSymbolicLink(std::string_view path);
// Creates the folder and every missing parent; true when it exists afterwards.
bool CreateFolders(std::string_view path);
bool DeleteFile(std::string_view path);
// Removes what the path names: a link as the link (never what it points to),
// a folder with everything in it, links inside it again as links. True when
// nothing is left there; otherwise *failed (when given) names the entry that
// stayed.
bool RemoveTree(std::string_view path, std::string* failed = nullptr);
// Moves a file or a folder (a link as the link) to a name that is free; false
// when the target exists or the move fails.
bool Rename(std::string_view from, std::string_view to);
// True when `below`, taken under `folder`, names the place its name says: no
// part of it that exists is a symbolic link, and no part is "." or "..". The
// folder itself is taken as it is. What is written or removed there cannot
// end up anywhere else, inside the game's own folders or out of them.
bool NoLinkBelow(std::string_view folder, std::string_view below);
bool ReadFile(std::string_view path, std::string& out);

// A whole file's bytes for reading, read in one go into one buffer.
class FileView {
public:
    FileView() = default;
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;
    ~FileView() { Close(); }

    // False when the file is absent or cannot be read; the view is then empty.
    bool Open(std::string_view path);
    void Close();
    std::string_view Bytes() const { return {bytes_.get(), size_}; }
    // Modification time in whole seconds since 1970 (as FileTime), read with the file.
    int64_t Time() const { return time_; }

private:
    std::unique_ptr<char[]> bytes_;
    size_t size_ = 0;
    int64_t time_ = -1;
};
// Replaces the file's contents (creating it).
bool WriteFile(std::string_view path, std::string_view data);
bool AppendFile(std::string_view path, std::string_view data);
int64_t FileSize(std::string_view path); // -1 when absent
// Modification time in whole seconds since 1970; -1 when absent.
int64_t FileTime(std::string_view path);
bool SetFileTime(std::string_view path, int64_t seconds);
// True when the path, with every link along it followed, lies within the
// folder (itself resolved the same way). Parts that do not exist yet are
// taken as written, ".." included.
bool IsInsideFolder(std::string_view path, std::string_view folder);
// Entry names (engine text) of a folder; folders first when wanted.
std::vector<std::string> ListFolder(std::string_view path, bool files = true, bool folders = true);

// Folder of the running program (engine text, "/" separated, no trailing "/").
std::string ExeFolder();
std::string ExePath();
// Tests may point the program folder elsewhere; empty restores the real one.
void SetExeFolderOverride(std::string folder);
std::string CurrentFolder();
bool SetCurrentFolder(std::string_view path);

} // namespace vesk::platform
