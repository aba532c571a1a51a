// Reading a profile file on POSIX systems (the native tree); writes go through the file-system
// service (StoreFile).
#include "admin/config/profile_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

private:
    int fd_;
};

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

}  // namespace vela::profile
