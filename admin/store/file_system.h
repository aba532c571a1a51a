// The file-system service: one instance, created at start-up and kept for the program's life.
//
// Paths are ANSI text in the Windows form ("C:\cfg\framework.ini").  The Windows implementation
// calls the ANSI file APIs; the portable one (used by the native tests) maps '\' to '/' so that
// the same logic runs on a POSIX file system.
//
// The portable mapping: every '\' of a path handed in is read as '/', so "/tmp/x\ProfileSettings"
// names /tmp/x/ProfileSettings, and "\ProfileSettings" the folder at the file-system root (there
// are no drives; "C:\cfg" is a relative path there).  A path handed back keeps the caller's form:
// it is written with '\' only when the path given used '\' and no '/', otherwise with '/'.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vela {

// Whether a file can be written, as the platform answers before anything is tried.
enum class WriteAccess {
    Allowed,
    Denied,         // the platform refuses: permissions, a locked (immutable) file or folder
    ReadOnly,       // the file is marked read-only, or the volume is mounted read-only
    MissingFolder,  // the folder that should hold the file does not exist
    Other,          // no file can be there (the path names a folder or nothing) or another failure
};

// What ReadFile found at a path.  `exists` is false for a missing file (then `bytes` is empty).
struct FileContent {
    bool exists = false;
    std::string bytes;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Full path of the existing file `path` names; nullopt when it names no existing file
    // (a folder does not count as a file).
    [[nodiscard]] virtual std::optional<std::string> ExistingFile(const std::string& path) = 0;
    // Full path of `path`, whether or not anything exists there.
    [[nodiscard]] virtual std::string FullPath(const std::string& path) = 0;
    // The folder part of a full path, without a trailing separator ("C:\cfg" for "C:\cfg\a.ini";
    // a drive root keeps its separator: "C:\").
    [[nodiscard]] virtual std::string ParentFolder(const std::string& fullPath) = 0;
    [[nodiscard]] virtual bool FolderExists(const std::string& path) = 0;
    [[nodiscard]] virtual bool FileExists(const std::string& path) = 0;
    // True when `path` names a file the platform marks read-only: Windows its read-only
    // attribute, POSIX no write permission for its owner.  WriteFile refuses such a file.
    [[nodiscard]] virtual bool IsReadOnlyFile(const std::string& path) = 0;
    // Creates one folder level; false if it exists already or cannot be made.
    [[nodiscard]] virtual bool CreateFolder(const std::string& path) = 0;
    // Names (not paths) of the subfolders of `path`, in the platform's listing order.
    [[nodiscard]] virtual std::vector<std::string> SubFolders(const std::string& path) = 0;
    // Names of the files in `folder` matching `pattern` ("*.INI"; letter case ignored).
    [[nodiscard]] virtual std::vector<std::string> Files(const std::string& folder,
                                                         const std::string& pattern) = 0;
    // Deletes a folder with all its content; true when it is gone.  Refuses (false) a path that
    // names no folder or a root.  Links and junctions inside are removed, never followed.
    [[nodiscard]] virtual bool DeleteFolder(const std::string& path) = 0;
    // Deletes one file; true when it is gone.  A path that names a folder is refused (false); a
    // link is removed itself, never its target.
    [[nodiscard]] virtual bool RemoveFile(const std::string& path) = 0;
    // Replaces the file at `path` with `bytes`; nothing is lost if the write fails.  The bytes go
    // to a temporary file in the same folder, which is then moved over the old file; it takes over
    // the old file's access list and hidden and system attributes first (refused when it cannot).
    [[nodiscard]] virtual bool WriteFile(const std::string& path, const std::string& bytes) = 0;
    // The bytes of the file at `path`.  A path that names nothing (no such file, no such folder on
    // the way, the empty path) reads as a missing file; nullopt when something is there that
    // cannot be read (a folder, no permission, a read error), which a writer must not take for an
    // empty file.  The file is shared for reading, writing and deleting while it is read, as the
    // platform's profile functions share it.
    [[nodiscard]] virtual std::optional<FileContent> ReadFile(const std::string& path) = 0;
    // Whether WriteFile, or an INI write, could replace the file at `path` now, or create it when
    // it is missing; nothing on disk changes.  Replacing needs the file itself writable and not
    // marked read-only; creating needs a folder the user may create files in.
    [[nodiscard]] virtual WriteAccess CheckWrite(const std::string& path) = 0;
};

// `folder` and `name` joined by one '\'.  No separator is added after a root that already ends in
// one ("C:\", "\", "/"), so a configuration at a drive root has its store at "C:\ProfileSettings";
// an empty folder gives "\name", the root of the current drive.  Any other trailing byte is left
// alone: in a double-byte code page a trailing 0x5C can be half of a character.
[[nodiscard]] std::string JoinPath(std::string_view folder, std::string_view name);

// Whether `name` matches the wildcard `pattern` ('*' any run, '?' one byte), ignoring ASCII letter
// case.  Both file-system implementations filter listings with it, so "*.INI" means the same in
// both trees (and never matches "a.inix" through a short 8.3 name).
[[nodiscard]] bool WildcardMatch(std::string_view pattern, std::string_view name);

// The platform's implementation.
[[nodiscard]] std::unique_ptr<FileSystem> MakeFileSystem();

}  // namespace vela
