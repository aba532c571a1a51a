// Form1, "Change profile path": a modeless dialog without an owner, made from its template the
// first time it is needed and kept until the program ends.  OK runs the walk (path_changer.h)
// on the target in Label2 and hides the dialog; Cancel hides it; either way it opens again with
// the last entries.  The walk reads the boxes through ChangerForm, again for every user.
//
// Its keyboard (Tab, Enter, Esc) needs the message loop to hand it its messages: Translate().
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "admin/directory/path_changer.h"
#include "admin/window/dialog_thunk.h"
#include "admin/window/page.h"

namespace vela {

// What Form1 reaches in the "User Configuration" page that opened it.
struct Form1Links {
    // After OK, with the users written (LDAP-style DNs): the page reads its list again.
    std::function<void(const std::vector<std::string>&)> changed;
    // True while an undo runs: OK then writes nothing, the undo would meet its own users changed.
    std::function<bool()> undoing;
};

class Form1 final : public directory::ChangerForm, private DialogThunk {
public:
    // `host` (the main window: the count after OK goes to its status bar, the hourglass over it
    // while the walk runs) is borrowed; `pump` runs between units of the walk.
    Form1(HINSTANCE instance, PageHost& host, directory::Connector connector, std::function<void()> pump,
          Form1Links links);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;
    ~Form1() override;

    // Creates the dialog, hidden, unless it exists; null when that fails.
    HWND Create();
    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }
    // Label2: the directory path the change works on (a tree node's key, UTF-8).
    void SetTarget(const std::string& target);
    // mnuChange: shows the dialog and brings it forward.
    // Shows the dialog; opened from hidden, centred on `over` (the main window).
    void Show(HWND over = nullptr);
    // For the message loop: true when `msg` was the dialog's keyboard navigation and is handled.
    bool Translate(MSG& msg);
    // True while OK's walk runs (it lets messages through).
    [[nodiscard]] bool Running() const noexcept { return running_; }

    void Command1_Click();
    void Command2_Click();

    // ChangerForm, read from the controls as they are now.
    bool writeProfilePath() const override;     // Check1
    std::string profilePath() const override;   // Text1
    bool writeTsProfilePath() const override;   // Check2
    std::string tsProfilePath() const override; // Text2
    bool recursive() const override;            // Check3

private:
    INT_PTR OnDialogMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) override;
    void OnInit();
    bool Checked(HWND box) const;
    std::string Text(HWND edit) const;

    HINSTANCE instance_;
    PageHost& host_;
    directory::Connector connector_;
    std::function<void()> pump_;
    Form1Links links_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    HWND check1_ = nullptr, check2_ = nullptr, check3_ = nullptr, text1_ = nullptr, text2_ = nullptr;
    std::string target_;
    bool running_ = false;
};

}  // namespace vela
