// The "User Configuration" tab.  Its directory tree and user list arrive with the directory
// integration; until then its activation runs only what the frame hands it.
#pragma once

#include <functional>

#include <windows.h>
#include <commctrl.h>

#include "admin/window/dialog_page.h"

namespace vela {

class UsersPage final : public DialogPage {
public:
    // `imageList` (ImageList1) and `userMenu` (the "User" context menu) are borrowed.
    UsersPage(HINSTANCE instance, HIMAGELIST imageList, HMENU userMenu, std::function<void()> activate);

    void OnActivate() override {
        if (activate_) activate_();
    }

private:
    HIMAGELIST imageList_;
    HMENU userMenu_;
    std::function<void()> activate_;
};

}  // namespace vela
