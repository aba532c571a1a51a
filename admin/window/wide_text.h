// Wide text from the program's resources.  Directory text is UTF-8; the "User Configuration" tab
// and Form1 show and read it through the wide entry points (win32::Wide and win32::Utf8), so a
// name or path outside the ANSI code page is neither lost nor changed.
#pragma once

#include <windows.h>

#include <string>

#include "admin/win32/text.h"

namespace vela {

// A string resource, whole (LoadStringW with no buffer hands out the resource itself).
inline std::wstring LoadWide(HINSTANCE instance, UINT id) {
    const wchar_t* text = nullptr;
    const int n = ::LoadStringW(instance, id, reinterpret_cast<wchar_t*>(&text), 0);
    return n > 0 && text ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

}  // namespace vela
