#include "admin/window/dialog_page.h"

#include <uxtheme.h>

#include <algorithm>

namespace vela {

DialogPage::~DialogPage() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

HWND DialogPage::Create(HWND parent) {
    ::CreateDialogParamA(instance_, MAKEINTRESOURCEA(templateId_), parent, &DialogThunk::Procedure, ThunkParam());
    // The tab's own background behind the page's controls when visual styles are on.
    if (hwnd_) ::EnableThemeDialogTexture(hwnd_, ETDT_ENABLETAB);
    return hwnd_;
}

void DialogPage::Anchor(int id, unsigned anchors) {
    HWND control = Item(id);
    if (!control) return;
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    anchored_.push_back({id, anchors, r});
}

void DialogPage::OnSize(int width, int height) {
    ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Never smaller than the template: the frame keeps the window at least that large anyway.
    const int dx = std::max(0, static_cast<int>(width - templateSize_.cx));
    const int dy = std::max(0, static_cast<int>(height - templateSize_.cy));
    HDWP batch = ::BeginDeferWindowPos(static_cast<int>(anchored_.size()));
    for (const Anchored& a : anchored_) {
        RECT r = a.placed;
        if (a.anchors & kMoveRight) ::OffsetRect(&r, dx, 0);
        if (a.anchors & kGrowWidth) r.right += dx;
        if (a.anchors & kMoveDown) ::OffsetRect(&r, 0, dy);
        if (a.anchors & kGrowHeight) r.bottom += dy;
        if (batch)
            batch = ::DeferWindowPos(batch, Item(a.id), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch) ::EndDeferWindowPos(batch);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

INT_PTR DialogPage::OnDialogMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG: {
        hwnd_ = h;
        RECT r{};
        ::GetClientRect(h, &r);
        templateSize_ = {r.right, r.bottom};
        OnInit();
        return FALSE;  // the frame window decides where the focus goes
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return TRUE;
    case WM_NOTIFY:
        ::SetWindowLongPtrA(h, DWLP_MSGRESULT, OnNotify(*reinterpret_cast<const NMHDR*>(lp)));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush = OnCtlColorStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp))) {
            // A dialog procedure returns the brush itself; the themed dialog procedure takes it
            // from DWLP_MSGRESULT.
            ::SetWindowLongPtrA(h, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(brush));
            return reinterpret_cast<INT_PTR>(brush);
        }
        return FALSE;
    case WM_NCDESTROY:
        hwnd_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace vela
