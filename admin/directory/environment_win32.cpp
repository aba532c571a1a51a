#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "admin/directory/environment.h"
#include "admin/win32/text.h"

namespace vela::directory {

std::optional<std::string> EnvironmentVariable(const char* name) {
    const std::wstring wide(name, name + std::strlen(name));
    const DWORD n = ::GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (n == 0) return std::nullopt;
    std::wstring value(n, L'\0');
    value.resize(::GetEnvironmentVariableW(wide.c_str(), value.data(), n));
    std::string utf8 = win32::Utf8(value);
    ::SecureZeroMemory(value.data(), value.size() * sizeof(wchar_t));
    return utf8;
}

void RemoveEnvironmentVariable(const char* name) {
    // The C runtime keeps a copy of the environment beside the process's own: both go.
    ::SetEnvironmentVariableA(name, nullptr);
    _putenv_s(name, "");
}

}  // namespace vela::directory
