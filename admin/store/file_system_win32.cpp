// The file-system service on Windows, through the ANSI file APIs.
#include <windows.h>
#include <aclapi.h>

#include <string>
#include <utility>

#include "admin/store/file_system.h"
#include "admin/win32/unique.h"

namespace vela {
namespace {

using win32::UniqueFile;
using win32::UniqueFind;

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

DWORD Attributes(const std::string& path) {
    return path.empty() ? kNoAttributes : ::GetFileAttributesA(path.c_str());
}

bool IsDots(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// GetFullPathNameA with the offset of the file part (npos when the path ends in a separator).
std::string FullPathName(const std::string& path, size_t* filePart = nullptr) {
    if (filePart) *filePart = std::string::npos;
    if (path.empty()) return {};
    std::string buf(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        char* part = nullptr;
        const DWORD n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(buf.size()), buf.data(), &part);
        if (n == 0) return {};
        if (n < buf.size()) {
            if (filePart && part) *filePart = static_cast<size_t>(part - buf.data());
            buf.resize(n);
            return buf;
        }
        buf.assign(n, '\0');   // too small: n is the size needed, terminator included
    }
    return {};
}

bool IsDriveRoot(const std::string& full) {
    return full.size() == 3 && full[1] == ':' && full[2] == '\\';
}

// "C:\", "\\server\share" and "\\server\share\": never deleted as a whole.
bool IsRoot(const std::string& full) {
    if (IsDriveRoot(full)) return true;
    if (full.size() < 2 || full[0] != '\\' || full[1] != '\\') return false;
    std::string rest = full.substr(2);
    if (!rest.empty() && rest.back() == '\\') rest.pop_back();
    return rest.find('\\') == rest.rfind('\\');   // at most one separator: server\share
}

void DeleteTree(const std::string& folder) {
    {
        WIN32_FIND_DATAA d;
        UniqueFind find(::FindFirstFileA(JoinPath(folder, "*").c_str(), &d));
        if (find) {
            do {
                if (IsDots(d.cFileName)) continue;
                const std::string child = JoinPath(folder, d.cFileName);
                if (d.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    ::SetFileAttributesA(child.c_str(), d.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
                if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    ::DeleteFileA(child.c_str());
                else if (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    ::RemoveDirectoryA(child.c_str());   // a junction: remove the link, keep its target
                else
                    DeleteTree(child);
            } while (::FindNextFileA(find.get(), &d));
        }
    }   // the search handle must be closed before the folder can go
    ::RemoveDirectoryA(folder.c_str());
}

// Gives the new file `temp` what the file it replaces carries besides its bytes: the hidden,
// system and not-indexed attributes and the access list (what "Permissions" sets on a settings
// file).  Inherited entries stay inherited.  False when either cannot be carried over.
bool KeepDressOf(const std::string& old, DWORD oldAttributes, const std::string& temp) {
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if ((oldAttributes & kKept) && !::SetFileAttributesA(temp.c_str(), oldAttributes & kKept)) return false;
    // A volume without access lists (FAT, some shares) has none to keep.
    char volume[MAX_PATH];
    DWORD flags = 0;
    if (::GetVolumePathNameA(temp.c_str(), volume, MAX_PATH) &&
        ::GetVolumeInformationA(volume, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
        !(flags & FILE_PERSISTENT_ACLS))
        return true;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetNamedSecurityInfoA(old.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &sd) != ERROR_SUCCESS)
        return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    bool kept = ::GetSecurityDescriptorControl(sd, &control, &revision) != 0;
    // A null list (everyone may do anything) is not handed on: the new file keeps what its folder gives.
    if (kept && dacl) {
        const SECURITY_INFORMATION what =
            DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                       : UNPROTECTED_DACL_SECURITY_INFORMATION);
        kept = ::SetNamedSecurityInfoA(const_cast<char*>(temp.c_str()), SE_FILE_OBJECT, what, nullptr, nullptr, dacl,
                                       nullptr) == ERROR_SUCCESS;
    }
    ::LocalFree(sd);
    return kept;
}

class Win32FileSystem final : public FileSystem {
public:
    std::optional<std::string> ExistingFile(const std::string& path) override {
        std::string full = FullPath(path);
        if (!FileExists(full)) return std::nullopt;
        return full;
    }

    std::string FullPath(const std::string& path) override { return FullPathName(path); }

    std::string ParentFolder(const std::string& fullPath) override {
        // The offset of the file part is found by the platform, so a trail byte 0x5C of a
        // double-byte character is never taken for a separator.
        size_t part = std::string::npos;
        std::string full = FullPathName(fullPath, &part);
        if (full.empty()) return {};
        if (part != std::string::npos) full.resize(part);
        if (!IsDriveRoot(full) && !full.empty() && full.back() == '\\') full.pop_back();
        return full;
    }

    bool FolderExists(const std::string& path) override {
        const DWORD a = Attributes(path);
        return a != kNoAttributes && (a & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool FileExists(const std::string& path) override {
        const DWORD a = Attributes(path);
        return a != kNoAttributes && !(a & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool IsReadOnlyFile(const std::string& path) override {
        const DWORD a = Attributes(path);
        return a != kNoAttributes && !(a & FILE_ATTRIBUTE_DIRECTORY) && (a & FILE_ATTRIBUTE_READONLY);
    }

    bool CreateFolder(const std::string& path) override {
        return !path.empty() && ::CreateDirectoryA(path.c_str(), nullptr) != 0;
    }

    std::vector<std::string> SubFolders(const std::string& path) override {
        return List(path, true, "*");
    }

    std::vector<std::string> Files(const std::string& folder, const std::string& pattern) override {
        return List(folder, false, pattern);
    }

    bool DeleteFolder(const std::string& path) override {
        const std::string full = FullPath(path);
        if (!FolderExists(full) || IsRoot(full)) return false;
        const DWORD a = Attributes(full);
        if (a & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesA(full.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
        if (a & FILE_ATTRIBUTE_REPARSE_POINT)
            ::RemoveDirectoryA(full.c_str());
        else
            DeleteTree(full);
        return Attributes(full) == kNoAttributes;
    }

    bool RemoveFile(const std::string& path) override {
        const DWORD a = Attributes(path);
        if (a == kNoAttributes || (a & FILE_ATTRIBUTE_DIRECTORY)) return false;
        if (a & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesA(path.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
        if (::DeleteFileA(path.c_str()) != 0 || Attributes(path) == kNoAttributes) return true;
        if (a & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesA(path.c_str(), a);  // still there: as it was
        return false;
    }

    bool WriteFile(const std::string& path, const std::string& bytes) override {
        const std::string target = FullPath(path);
        // Windows refuses to move over a read-only file, Wine does not: decide it here.
        const DWORD old = Attributes(target);
        if (target.empty() || (old != kNoAttributes && (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))))
            return false;
        const std::string folder = ParentFolder(target);
        char temp[MAX_PATH];
        if (folder.empty() || ::GetTempFileNameA(folder.c_str(), "vel", 0, temp) == 0) return false;
        bool ok = false;
        {
            UniqueFile file(::CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
            ok = static_cast<bool>(file);
            const char* p = bytes.data();
            size_t left = bytes.size();
            while (ok && left > 0) {
                const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
                DWORD written = 0;
                ok = ::WriteFile(file.get(), p, chunk, &written, nullptr) != 0 && written == chunk;
                p += written;
                left -= written;
            }
            ok = ok && ::FlushFileBuffers(file.get()) != 0;
            // A failed close can be a failed write: it counts.
            ok = (!file || ::CloseHandle(file.release()) != 0) && ok;
        }
        ok = ok && (old == kNoAttributes || KeepDressOf(target, old, temp));
        ok = ok && ::MoveFileExA(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!ok) ::DeleteFileA(temp);
        return ok;
    }

    std::optional<FileContent> ReadFile(const std::string& path) override {
        if (path.empty()) return FileContent{};
        UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileContent{};
            return std::nullopt;  // a folder answers ERROR_ACCESS_DENIED here
        }
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > static_cast<LONGLONG>(MAXDWORD))
            return std::nullopt;
        FileContent content{true, std::string(static_cast<size_t>(size.QuadPart), '\0')};
        DWORD total = 0;
        while (total < content.bytes.size()) {
            DWORD n = 0;
            if (!::ReadFile(file.get(), content.bytes.data() + total, static_cast<DWORD>(content.bytes.size()) - total,
                            &n, nullptr))
                return std::nullopt;
            if (n == 0) break;  // the file shrank meanwhile
            total += n;
        }
        content.bytes.resize(total);
        return content;
    }

    WriteAccess CheckWrite(const std::string& path) override {
        const std::string target = FullPath(path);
        if (target.empty()) return WriteAccess::Other;
        const DWORD a = Attributes(target);
        if (a != kNoAttributes) {
            if (a & FILE_ATTRIBUTE_DIRECTORY) return WriteAccess::Other;
            if (a & FILE_ATTRIBUTE_READONLY) return WriteAccess::ReadOnly;
            // Opened for writing and closed again, never written: the access list, a lock and
            // a write-protected volume answer here as they would to the write itself.
            UniqueFile file(::CreateFileA(target.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return file ? WriteAccess::Allowed : FromError(::GetLastError());
        }
        const std::string folder = ParentFolder(target);
        if (!FolderExists(folder)) return WriteAccess::MissingFolder;
        // Whether a file may be made there is known only by making one: a temporary file that
        // goes when its handle closes.
        char temp[MAX_PATH];
        for (unsigned n = 1; n < 100; ++n) {
            if (::GetTempFileNameA(folder.c_str(), "vel", n, temp) == 0) return FromError(::GetLastError());
            UniqueFile probe(::CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
            if (probe) return WriteAccess::Allowed;
            if (::GetLastError() != ERROR_FILE_EXISTS) return FromError(::GetLastError());
        }
        return WriteAccess::Other;
    }

private:
    static WriteAccess FromError(DWORD error) {
        switch (error) {
        case ERROR_ACCESS_DENIED: return WriteAccess::Denied;
        case ERROR_WRITE_PROTECT: return WriteAccess::ReadOnly;
        case ERROR_PATH_NOT_FOUND: return WriteAccess::MissingFolder;
        default: return WriteAccess::Other;
        }
    }

    static std::vector<std::string> List(const std::string& folder, bool folders, const std::string& pattern) {
        std::vector<std::string> names;
        if (folder.empty()) return names;
        WIN32_FIND_DATAA d;
        // Everything is listed and filtered here: FindFirstFileA would also match short 8.3 names.
        UniqueFind find(::FindFirstFileA(JoinPath(folder, "*").c_str(), &d));
        if (!find) return names;
        do {
            if (IsDots(d.cFileName)) continue;
            const bool isFolder = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (isFolder == folders && WildcardMatch(pattern, d.cFileName)) names.emplace_back(d.cFileName);
        } while (::FindNextFileA(find.get(), &d));
        return names;
    }
};

}  // namespace

std::unique_ptr<FileSystem> MakeFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace vela
