// Test support: a fresh folder below the system's temporary folder, removed with its content
// when the object goes.  Paths are in the platform's own form (C:\users\...\Temp\... under Wine,
// /tmp/... natively), so tests can hand them to the real INI and file functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "admin/store/file_system.h"

namespace vela::testing {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's full path, without a trailing separator.
    [[nodiscard]] const std::string& Path() const { return path_; }
    // `name` (which may hold '/' for nested names) below the folder, in the platform's form.
    [[nodiscard]] std::string operator/(std::string_view name) const;

private:
    std::string path_;
};

// The bytes of the file at `path` as `fs` reads them; nullopt when it is missing or unreadable.
[[nodiscard]] std::optional<std::string> Bytes(FileSystem& fs, const std::string& path);

// The platform's path separator: '\' on Windows, '/' elsewhere.
[[nodiscard]] char Separator();
// True in a Windows build that runs under Wine (ntdll exports wine_get_version).
[[nodiscard]] bool RunningUnderWine();

namespace detail {
[[nodiscard]] std::string TempRoot();          // with a trailing separator
[[nodiscard]] unsigned long ProcessId();
}  // namespace detail

}  // namespace vela::testing
