// The dialog procedure of a dialog that belongs to a C++ object (the tab pages, Form1).  The
// object hands ThunkParam() to CreateDialogParam with &DialogThunk::Procedure; WM_INITDIALOG
// brings it back, it is kept in the dialog's DWLP_USER, and from then on every message goes to
// the object's OnDialogMessage.  Messages before WM_INITDIALOG (WM_SETFONT among others) and
// failing handlers get the default handling (FALSE): the dialog stays usable.
#pragma once

#include <windows.h>

namespace vela {

class DialogThunk {
public:
    DialogThunk() = default;
    DialogThunk(const DialogThunk&) = delete;
    DialogThunk& operator=(const DialogThunk&) = delete;

    static INT_PTR CALLBACK Procedure(HWND h, UINT msg, WPARAM wp, LPARAM lp) noexcept {
        try {
            if (msg == WM_INITDIALOG) ::SetWindowLongPtrW(h, DWLP_USER, lp);
            auto* self = reinterpret_cast<DialogThunk*>(::GetWindowLongPtrW(h, DWLP_USER));
            return self ? self->OnDialogMessage(h, msg, wp, lp) : FALSE;
        } catch (...) {
            return FALSE;
        }
    }

protected:
    ~DialogThunk() = default;
    // The CreateDialogParam argument that brings this object back in WM_INITDIALOG.
    [[nodiscard]] LPARAM ThunkParam() noexcept { return reinterpret_cast<LPARAM>(this); }
    // A dialog procedure's answer for the message; `h` is the dialog, also in WM_INITDIALOG.
    virtual INT_PTR OnDialogMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) = 0;
};

}  // namespace vela
