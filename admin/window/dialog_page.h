// A tab page made from a dialog template: a modeless child dialog of the main window whose
// messages are decoded once here and handed to one virtual function per kind.
#pragma once

#include <windows.h>

namespace vela {

class DialogPage {
public:
    DialogPage() = default;
    DialogPage(const DialogPage&) = delete;
    DialogPage& operator=(const DialogPage&) = delete;
    virtual ~DialogPage();

    // Creates the page hidden; null when the template cannot be loaded.
    HWND Create(HINSTANCE instance, int templateId, HWND parent);
    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }
    [[nodiscard]] HWND Item(int id) const noexcept { return ::GetDlgItem(hwnd_, id); }

protected:
    virtual void OnInit() {}
    virtual void OnCommand(int /*id*/, int /*code*/) {}
    virtual LRESULT OnNotify(const NMHDR& /*header*/) { return 0; }

    HWND hwnd_ = nullptr;

private:
    static INT_PTR CALLBACK Thunk(HWND h, UINT msg, WPARAM wp, LPARAM lp) noexcept;
};

}  // namespace vela
