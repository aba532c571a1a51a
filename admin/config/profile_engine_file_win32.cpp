// Reading a profile file on Windows (writes go through the file-system service).  inimod calls
// kernel32 there; the engine is built on Windows so that it is compared with kernel32 on the
// platform it imitates.
#include "admin/config/profile_engine.h"

#include <windows.h>

#include <string>

#include "admin/win32/unique.h"

namespace vela::profile {

std::optional<LoadedFile> LoadFile(const std::string& path) {
    win32::UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return LoadedFile{};
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        size.QuadPart > static_cast<LONGLONG>(MAXDWORD))
        return std::nullopt;
    LoadedFile loaded{true, std::string(static_cast<std::size_t>(size.QuadPart), '\0')};
    DWORD total = 0;
    while (total < loaded.bytes.size()) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), loaded.bytes.data() + total,
                        static_cast<DWORD>(loaded.bytes.size()) - total, &n, nullptr))
            return std::nullopt;
        if (n == 0) break;  // the file shrank meanwhile
        total += n;
    }
    loaded.bytes.resize(total);
    return loaded;
}

}  // namespace vela::profile
