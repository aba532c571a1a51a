// A window's text, whole, however long: a control's current content or a window's caption, as
// GetWindowText gives it (for a window of another process, its caption only).
#pragma once

#include <windows.h>

#include <string>

namespace vela {

// In the ANSI code page: the text of the program's ANSI controls.
[[nodiscard]] inline std::string WindowText(HWND window) {
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// In UTF-16: the text of a control that shows names outside the ANSI code page.
[[nodiscard]] inline std::wstring WindowTextW(HWND window) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace vela
