// A tab page made from a dialog template: a modeless child dialog of the main window whose
// messages are decoded once here and handed to one virtual function per kind.  Being a dialog,
// the dialog manager moves the focus for its label mnemonics (WM_NEXTDLGCTL).
#pragma once

#include <windows.h>

#include <vector>

#include "admin/window/dialog_thunk.h"
#include "admin/window/page.h"

namespace vela {

class DialogPage : public Page, private DialogThunk {
public:
    DialogPage(HINSTANCE instance, int templateId) : instance_(instance), templateId_(templateId) {}
    DialogPage(const DialogPage&) = delete;
    DialogPage& operator=(const DialogPage&) = delete;
    ~DialogPage() override;

    HWND Create(HWND parent) override;
    [[nodiscard]] HWND hwnd() const noexcept override { return hwnd_; }
    [[nodiscard]] HWND Item(int id) const noexcept { return ::GetDlgItem(hwnd_, id); }
    // Moves and stretches the controls anchored with Anchor().
    void OnSize(int width, int height) override;

protected:
    virtual void OnInit() {}
    virtual void OnCommand(int /*id*/, int /*code*/) {}
    virtual LRESULT OnNotify(const NMHDR& /*header*/) { return 0; }
    // WM_CTLCOLORSTATIC for `control` (labels, and edits that are read-only or disabled): a brush
    // for its background, having set up `dc`; null for the default (with visual styles the tab's
    // own background, white under Wine).
    virtual HBRUSH OnCtlColorStatic(HDC /*dc*/, HWND /*control*/) { return nullptr; }

    // From the next OnSize on, control `id` keeps its distance to the page's right edge
    // (`right`: moves; `width`: grows) and to its bottom edge (`bottom`: moves; `height`: grows),
    // measured from the template's size.  Call it in OnInit.
    enum Anchors : unsigned { kMoveRight = 1, kGrowWidth = 2, kMoveDown = 4, kGrowHeight = 8 };
    void Anchor(int id, unsigned anchors);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;

private:
    INT_PTR OnDialogMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) override;

    struct Anchored {
        int id;
        unsigned anchors;
        RECT placed;  // in the page's client coordinates, at the template's size
    };
    int templateId_;
    SIZE templateSize_{};
    std::vector<Anchored> anchored_;
};

}  // namespace vela
