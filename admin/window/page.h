// What the frame window knows of a tab page, and what a page knows of the frame.  The frame
// creates each page from its template, shows the one whose tab is picked, runs its activation (a
// click on the tab, Ctrl+Tab, F5 on the tab control) and hands it its share of the window when
// the window is resized.  A page reaches the frame through its PageHost only; its services
// (the file system, the prompts, the network), the shared image list, its context menu and the
// links to other tabs it gets in its constructor.
//
// Adding a page: a template IDD_PAGE_... in VelaConfig.rc, a class derived from DialogPage
// (dialog_page.h) in its own file that takes its PageHost and services in the constructor, and one
// entry in frmConfig's page list (main_window.cpp, frmConfig::frmConfig).
#pragma once

#include <windows.h>

#include <string>

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

// The frame as its pages (and Form1) see it: the status bar, the hourglass, the message pump
// and the tab activation.
class PageHost {
public:
    // The hourglass over the frame for as long as it lives.  Scopes nest: the pointer comes back
    // when the outermost one ends.
    class BusyScope {
    public:
        explicit BusyScope(PageHost& host) : host_(host) { host_.BeginBusy(); }
        ~BusyScope() { host_.EndBusy(); }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        PageHost& host_;
    };

    // A message (UTF-8) in the status bar until the current file is shown again; the empty text
    // shows the current file at once.
    virtual void ShowStatus(const std::string& utf8) = 0;
    // The status bar's second part: the count of the last profile path change; empty: none.
    virtual void ShowCount(const std::string& text) = 0;
    // Dispatches the pending messages the way the message loop does (Form1's included); a quit
    // stays for the loop.  Long work calls it between its units.
    virtual void PumpMessages() = 0;
    // Runs the shown tab's activation again, under the hourglass (F5 inside a page).
    virtual void Reactivate() = 0;
    // Usage: `const auto hourglass = host.Busy();`
    [[nodiscard]] BusyScope Busy() { return BusyScope(*this); }

protected:
    ~PageHost() = default;

private:
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
};

}  // namespace vela
