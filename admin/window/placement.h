// Where the program's own dialogs stand when they open: centred on the main window.
#pragma once

#include <windows.h>

#include <algorithm>

namespace vela {

// Moves `window` (its size kept) so that its centre is the centre of `over`, inside the work
// area of the screen `over` is on.  Nothing without `over`.
inline void CentreOver(HWND window, HWND over) {
    if (!window || !over) return;
    RECT main{}, own{};
    ::GetWindowRect(over, &main);
    ::GetWindowRect(window, &own);
    MONITORINFO screen{};
    screen.cbSize = sizeof screen;
    ::GetMonitorInfoW(::MonitorFromWindow(over, MONITOR_DEFAULTTONEAREST), &screen);
    const RECT& area = screen.rcWork;
    const LONG width = own.right - own.left, height = own.bottom - own.top;
    LONG x = (main.left + main.right - width) / 2, y = (main.top + main.bottom - height) / 2;
    x = std::max(area.left, std::min(x, area.right - width));
    y = std::max(area.top, std::min(y, area.bottom - height));
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace vela
