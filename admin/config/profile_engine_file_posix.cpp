// File level of the profile engine on POSIX systems (the native tree).
#include "admin/config/profile_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace vela::profile {
namespace {

std::string PosixPath(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

class Fd {
public:
    explicit Fd(int fd) noexcept : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    [[nodiscard]] int get() const noexcept { return fd_; }
    [[nodiscard]] bool Close() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A name in `folder` that no other writer in this or another process picks at the same time.
std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    return target + ".~" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

}  // namespace

std::optional<LoadedFile> LoadFile(const std::string& path) {
    const std::string p = PosixPath(path);
    Fd fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return LoadedFile{};
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    LoadedFile file{true, {}};
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        file.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return file;
}

bool StoreFile(const std::string& path, std::string_view bytes) {
    std::string target = PosixPath(path);
    if (target.empty()) return false;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode)) return false;
        // Windows refuses to write a read-only file even for an administrator; root passes
        // access(), so the owner's write bit decides as well.
        if ((st.st_mode & S_IWUSR) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
        // A link stays a link: the file it points to is the one replaced.
        if (char resolved[PATH_MAX]; ::realpath(target.c_str(), resolved) != nullptr)
            target = resolved;
    }

    std::string temp;
    int raw = -1;
    for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
        temp = TemporaryName(target);
        // 0666 lets the umask decide a new file's mode, as for any file the program creates.
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST) return false;  // e.g. the folder is missing
    }
    if (raw < 0) return false;
    Fd fd(raw);
    const bool written = WriteAll(fd.get(), bytes) &&
                         (!exists || ::fchmod(fd.get(), st.st_mode & 07777) == 0) &&
                         ::fsync(fd.get()) == 0;
    if (!fd.Close() || !written || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace vela::profile
