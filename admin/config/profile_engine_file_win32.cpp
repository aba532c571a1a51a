// File level of the profile engine on Windows.  inimod calls kernel32 there; this exists so that
// the engine runs and is compared with kernel32 on the platform it imitates.
#include "admin/config/profile_engine.h"

#include <windows.h>

#include <string>

#include "admin/win32/unique.h"

namespace vela::profile {
namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);  // a root
    return path.substr(0, slash);
}

}  // namespace

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

bool StoreFile(const std::string& path, std::string_view bytes) {
    if (path.empty() || bytes.size() > MAXDWORD) return false;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
        return false;

    char temp[MAX_PATH + 1] = {};
    if (::GetTempFileNameA(FolderOf(path).c_str(), "ini", 0, temp) == 0) return false;
    bool written = false;
    {
        win32::UniqueFile file(::CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD n = 0;
        written = file &&
                  ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &n,
                              nullptr) &&
                  n == bytes.size() && ::FlushFileBuffers(file.get());
    }
    if (written && ::MoveFileExA(temp, path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    ::DeleteFileA(temp);
    return false;
}

}  // namespace vela::profile
