// What the frame window knows of a tab page.  The frame creates each page from its template,
// shows the one whose tab is picked, runs its activation (a click on the tab, Ctrl+Tab, F5 on
// the tab control) and hands it its share of the window when the window is resized.  Everything
// else a page needs (services, the shared image list, its context menu, links to other tabs)
// it gets in its constructor.
//
// Adding a page: a template IDD_PAGE_... in VelaConfig.rc, a class derived from DialogPage
// (dialog_page.h) in its own file that takes its services in the constructor, and one entry in
// frmConfig's page list (main_window.cpp, frmConfig::frmConfig).
#pragma once

#include <windows.h>

namespace vela {

class Page {
public:
    virtual ~Page() = default;
    // Creates the page window, hidden, as a child of `parent`; null when that fails.
    virtual HWND Create(HWND parent) = 0;
    [[nodiscard]] virtual HWND hwnd() const noexcept = 0;
    // The page's tab was picked, or F5 was pressed while it is shown.  Runs under the hourglass,
    // after the page has been shown and painted.
    virtual void OnActivate() {}
    // The page was given a new size (client pixels); its controls follow.
    virtual void OnSize(int /*width*/, int /*height*/) {}
};

}  // namespace vela
