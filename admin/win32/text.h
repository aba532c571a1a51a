// Conversions between the program's 8-bit text and UTF-16, for the few places where the platform
// speaks UTF-16: NetServerEnum's server names and the wide registry functions.  The code page is
// explicit at every call: CP_ACP for the ANSI text the program holds, CP_UTF8 for server names.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vela::win32 {

// Both take an explicit length, so embedded NULs convert like any other character and no
// terminator is needed; the empty text converts to the empty text (a zero result would read as a
// failure).  Characters the target cannot hold become the code page's default character.
[[nodiscard]] inline std::wstring Widen(std::string_view s, UINT cp) {
    if (s.empty()) return {};
    const int len = static_cast<int>(s.size());
    const int n = ::MultiByteToWideChar(cp, 0, s.data(), len, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(cp, 0, s.data(), len, out.data(), n);
    return out;
}

[[nodiscard]] inline std::string Narrow(std::wstring_view w, UINT cp) {
    if (w.empty()) return {};
    const int len = static_cast<int>(w.size());
    const int n = ::WideCharToMultiByte(cp, 0, w.data(), len, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(cp, 0, w.data(), len, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace vela::win32
