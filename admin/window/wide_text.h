// Directory text is UTF-8; the "User Configuration" tab and Form1 show and read it through the
// wide entry points, so a name or path outside the ANSI code page is neither lost nor changed.
#pragma once

#include <windows.h>

#include <string>

#include "admin/directory/user_parameters.h"

namespace vela {

inline std::wstring Wide(const std::string& utf8) {
    const auto units = directory::Utf8ToUnits(utf8).value_or(std::u16string());
    return std::wstring(units.begin(), units.end());
}

inline std::string Utf8(const std::wstring& wide) {
    return directory::UnitsToUtf8(std::u16string(wide.begin(), wide.end()));
}

// A string resource, whole (LoadStringW with no buffer hands out the resource itself).
inline std::wstring LoadWide(HINSTANCE instance, UINT id) {
    const wchar_t* text = nullptr;
    const int n = ::LoadStringW(instance, id, reinterpret_cast<wchar_t*>(&text), 0);
    return n > 0 && text ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

}  // namespace vela
