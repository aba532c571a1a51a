// The file-system service on a POSIX system, for the native build.  Windows-form paths are read
// with '\' as '/' and handed back in the caller's form (see file_system.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "admin/store/file_system.h"

namespace vela {
namespace {

namespace fs = std::filesystem;

std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// `native` in the form of `caller`: backslashes when the caller used only backslashes.
std::string InCallerForm(std::string native, const std::string& caller) {
    if (caller.find('\\') != std::string::npos && caller.find('/') == std::string::npos)
        std::replace(native.begin(), native.end(), '/', '\\');
    return native;
}

bool WriteAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

class PosixFileSystem final : public FileSystem {
public:
    std::optional<std::string> ExistingFile(const std::string& path) override {
        std::string full = FullPath(path);
        if (full.empty() || !FileExists(full)) return std::nullopt;
        return full;
    }

    std::string FullPath(const std::string& path) override {
        if (path.empty()) return {};
        fs::path p(Native(path));
        if (!p.is_absolute()) {
            std::error_code ec;
            const fs::path cwd = fs::current_path(ec);
            if (ec) return {};
            p = cwd / p;
        }
        return InCallerForm(p.lexically_normal().string(), path);
    }

    std::string ParentFolder(const std::string& fullPath) override {
        std::string native = Native(fullPath);
        while (native.size() > 1 && native.back() == '/') native.pop_back();
        const size_t slash = native.rfind('/');
        if (slash == std::string::npos) return {};
        return InCallerForm(slash == 0 ? std::string("/") : native.substr(0, slash), fullPath);
    }

    bool FolderExists(const std::string& path) override {
        std::error_code ec;
        return !path.empty() && fs::is_directory(Native(path), ec);
    }

    bool FileExists(const std::string& path) override {
        std::error_code ec;
        if (path.empty()) return false;
        const fs::file_status st = fs::status(Native(path), ec);
        return !ec && fs::exists(st) && !fs::is_directory(st);
    }

    bool IsReadOnlyFile(const std::string& path) override {
        std::error_code ec;
        if (path.empty()) return false;
        const fs::file_status st = fs::status(Native(path), ec);
        return !ec && fs::is_regular_file(st) && (st.permissions() & fs::perms::owner_write) == fs::perms::none;
    }

    bool CreateFolder(const std::string& path) override {
        return !path.empty() && ::mkdir(Native(path).c_str(), 0777) == 0;
    }

    std::vector<std::string> SubFolders(const std::string& path) override {
        return List(path, [](const fs::directory_entry& e, std::error_code& ec) { return e.is_directory(ec); });
    }

    std::vector<std::string> Files(const std::string& folder, const std::string& pattern) override {
        std::vector<std::string> names =
            List(folder, [](const fs::directory_entry& e, std::error_code& ec) {
                return e.exists(ec) && !e.is_directory(ec);
            });
        std::erase_if(names, [&](const std::string& n) { return !WildcardMatch(pattern, n); });
        return names;
    }

    bool DeleteFolder(const std::string& path) override {
        if (!FolderExists(path)) return false;
        const std::string full = Native(FullPath(path));
        if (full.empty() || full == "/") return false;
        std::error_code ec;
        fs::remove_all(full, ec);   // removes symbolic links themselves, never their targets
        return !fs::exists(fs::symlink_status(full, ec));
    }

    bool RemoveFile(const std::string& path) override {
        if (path.empty()) return false;
        const std::string full = Native(FullPath(path));
        std::error_code ec;
        const auto status = fs::symlink_status(full, ec);
        if (ec || status.type() == fs::file_type::not_found || status.type() == fs::file_type::directory)
            return false;
        fs::remove(full, ec);   // a symbolic link goes itself; its target stays
        return !fs::exists(fs::symlink_status(full, ec));
    }

    bool WriteFile(const std::string& path, const std::string& bytes) override {
        if (path.empty()) return false;
        const std::string target = Native(FullPath(path));
        const std::string folder = Native(ParentFolder(target));
        if (target.empty() || folder.empty()) return false;
        struct stat old {};
        const bool exists = ::stat(target.c_str(), &old) == 0;
        std::string replaced = target;
        if (exists) {
            if (!S_ISREG(old.st_mode)) return false;
            // Windows refuses to replace a read-only file even for an administrator; root passes
            // access(), so the owner's write bit decides as well.
            if ((old.st_mode & S_IWUSR) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
            // A link stays a link: the file it points to is the one replaced.
            if (char resolved[PATH_MAX]; ::realpath(target.c_str(), resolved) != nullptr) replaced = resolved;
        }
        const std::string replacedFolder = exists ? Native(ParentFolder(replaced)) : folder;
        std::string temp;
        const int fd = CreateTemporary(replacedFolder == "/" ? std::string() : replacedFolder, temp);
        if (fd < 0) return false;
        // A replaced file keeps its permissions; a new one gets the umask's, as open() gives them.
        bool ok = !exists || ::fchmod(fd, old.st_mode & 07777) == 0;
        ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
        ok = (::close(fd) == 0) && ok;
        ok = ok && ::rename(temp.c_str(), replaced.c_str()) == 0;
        if (!ok) ::unlink(temp.c_str());
        return ok;
    }

    std::optional<FileContent> ReadFile(const std::string& path) override {
        if (path.empty()) return FileContent{};
        const int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT || errno == ENOTDIR) return FileContent{};
            return std::nullopt;
        }
        std::optional<FileContent> content = ReadOpen(fd);
        ::close(fd);
        return content;
    }

    WriteAccess CheckWrite(const std::string& path) override {
        if (path.empty()) return WriteAccess::Other;
        std::string target = Native(FullPath(path));
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode)) return WriteAccess::Other;
            // As in WriteFile: the owner's write bit stands for the read-only attribute.
            if ((st.st_mode & S_IWUSR) == 0) return WriteAccess::ReadOnly;
            // access() answers for root too where it matters: an immutable file is EPERM, a
            // read-only mount EROFS.
            if (::access(target.c_str(), W_OK) != 0) return FromErrno(errno);
            if (char resolved[PATH_MAX]; ::realpath(target.c_str(), resolved) != nullptr) target = resolved;
        } else if (errno != ENOENT) {
            return errno == ENOTDIR ? WriteAccess::MissingFolder : FromErrno(errno);
        }
        // Both a new file and a replaced one are written through a temporary file beside it.
        const std::string folder = Native(ParentFolder(target));
        if (folder.empty() || !FolderExists(folder)) return WriteAccess::MissingFolder;
        if (::access(folder.c_str(), W_OK | X_OK) != 0) return FromErrno(errno);
        return WriteAccess::Allowed;
    }

private:
    static WriteAccess FromErrno(int error) {
        switch (error) {
        case EACCES:
        case EPERM: return WriteAccess::Denied;
        case EROFS: return WriteAccess::ReadOnly;
        case ENOENT:
        case ENOTDIR: return WriteAccess::MissingFolder;
        default: return WriteAccess::Other;
        }
    }

    template <typename Keep>
    static std::vector<std::string> List(const std::string& folder, Keep keep) {
        std::vector<std::string> names;
        if (folder.empty()) return names;
        std::error_code ec;
        fs::directory_iterator it(Native(folder), ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code entryEc;
            if (keep(*it, entryEc) && !entryEc) names.push_back(it->path().filename().string());
        }
        return names;
    }

    // The bytes of the open file `fd`; nullopt when it is no regular file or a read fails.
    static std::optional<FileContent> ReadOpen(int fd) {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
        FileContent content{true, {}};
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) continue;
                return std::nullopt;
            }
            if (n == 0) break;
            content.bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return content;
    }

    // Opens a new file "<folder>/.vela-write-<pid>-<n>" exclusively; its name goes to `name`.
    static int CreateTemporary(const std::string& folder, std::string& name) {
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            name = folder + "/.vela-write-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0 || errno != EEXIST) return fd;
        }
        return -1;
    }
};

}  // namespace

std::unique_ptr<FileSystem> MakeFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace vela
