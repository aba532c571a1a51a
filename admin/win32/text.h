// The program's text conversions (admin/common/text.h) in the platform's UTF-16 type, for the
// places that call wide entry points: controls, the registry, NetServerEnum, wldap32.  wchar_t
// is a UTF-16 code unit on Windows, so these only change the type around the one pair of pairs;
// the rule for input that is not what it claims to be is that header's.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "admin/common/text.h"

namespace vela::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

// UTF-8 to UTF-16.  Text that is not UTF-8 gives the empty text: these feed controls and the
// status bar, where showing nothing is the answer (Utf8ToUtf16 tells a caller that must know).
[[nodiscard]] inline std::wstring Wide(std::string_view utf8) {
    const std::u16string units = Utf8ToUtf16(utf8).value_or(std::u16string());
    return std::wstring(units.begin(), units.end());
}

[[nodiscard]] inline std::string Utf8(std::wstring_view wide) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

// ANSI text to UTF-16; every byte string reads as some text.
[[nodiscard]] inline std::wstring WideFromAnsi(std::string_view ansi) {
    const std::u16string units = AnsiToUtf16(ansi);
    return std::wstring(units.begin(), units.end());
}

// UTF-16 to ANSI text, or nullopt when the code page cannot carry it exactly.
[[nodiscard]] inline std::optional<std::string> Ansi(std::wstring_view wide) {
    return Utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace vela::win32
