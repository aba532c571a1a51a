#include "admin/window/dialog_page.h"

#include <uxtheme.h>

namespace vela {

DialogPage::~DialogPage() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

HWND DialogPage::Create(HINSTANCE instance, int templateId, HWND parent) {
    ::CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), parent, &Thunk, reinterpret_cast<LPARAM>(this));
    // The tab's own background behind the page's controls when visual styles are on.
    if (hwnd_) ::EnableThemeDialogTexture(hwnd_, ETDT_ENABLETAB);
    return hwnd_;
}

INT_PTR CALLBACK DialogPage::Thunk(HWND h, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    try {
        if (msg == WM_INITDIALOG) {  // lParam carries `this`
            auto* self = reinterpret_cast<DialogPage*>(lp);
            self->hwnd_ = h;
            ::SetWindowLongPtrA(h, DWLP_USER, lp);
            self->OnInit();
            return FALSE;  // the frame window decides where the focus goes
        }
        auto* self = reinterpret_cast<DialogPage*>(::GetWindowLongPtrA(h, DWLP_USER));
        if (!self) return FALSE;  // WM_SETFONT and others arrive before WM_INITDIALOG
        switch (msg) {
        case WM_COMMAND:
            self->OnCommand(LOWORD(wp), HIWORD(wp));
            return TRUE;
        case WM_NOTIFY:
            ::SetWindowLongPtrA(h, DWLP_MSGRESULT, self->OnNotify(*reinterpret_cast<const NMHDR*>(lp)));
            return TRUE;
        case WM_NCDESTROY:
            self->hwnd_ = nullptr;
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        // A failing handler is passed over like any failing step; the page stays usable.
        return FALSE;
    }
}

}  // namespace vela
