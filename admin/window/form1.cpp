#include "admin/window/form1.h"

#include <commctrl.h>

#include "admin/directory/user_parameters.h"
#include "admin/window/placement.h"
#include "admin/window/resource.h"
#include "admin/window/wide_text.h"
#include "admin/window/window_text.h"

namespace vela {

Form1::Form1(HINSTANCE instance, PageHost& host, directory::Connector connector, std::function<void()> pump,
             Form1Links links)
    : instance_(instance),
      host_(host),
      connector_(std::move(connector)),
      pump_(std::move(pump)),
      links_(std::move(links)) {}

Form1::~Form1() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

HWND Form1::Create() {
    if (!hwnd_)
        ::CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_FORM1), nullptr, &DialogThunk::Procedure, ThunkParam());
    return hwnd_;
}

void Form1::OnInit() {
    // The tool tip of Check2, shown when the pointer rests on the box.
    tooltip_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    std::wstring tip = LoadWide(instance_, IDS_CHECK2_TIP);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(hwnd_, IDC_FORM1_CHECK2));
    tool.lpszText = tip.data();
    if (tooltip_) ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // The walk reads the boxes for every user: their handles are looked up once (under Wine a
    // lookup by id asks the window server each time).
    check1_ = ::GetDlgItem(hwnd_, IDC_FORM1_CHECK1);
    check2_ = ::GetDlgItem(hwnd_, IDC_FORM1_CHECK2);
    check3_ = ::GetDlgItem(hwnd_, IDC_FORM1_CHECK3);
    text1_ = ::GetDlgItem(hwnd_, IDC_FORM1_TEXT1);
    text2_ = ::GetDlgItem(hwnd_, IDC_FORM1_TEXT2);
    SetTarget(target_);
}

void Form1::SetTarget(const std::string& target) {
    target_ = target;
    if (hwnd_) ::SetDlgItemTextW(hwnd_, IDC_FORM1_LABEL2, win32::Wide(target_).c_str());
}

void Form1::Show(HWND over) {
    if (!Create()) return;
    // Opened from hidden, it stands centred on the main window, inside that screen's work area.
    if (!::IsWindowVisible(hwnd_)) CentreOver(hwnd_, over);
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
}

bool Form1::Translate(MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd))) return false;
    return ::IsDialogMessageW(hwnd_, &msg) != FALSE;
}

// OK: the walk under the hourglass, then the count to the main window and the dialog hidden.
// A second OK while the walk lets messages through is passed over.
void Form1::Command1_Click() {
    if (running_ || (links_.undoing && links_.undoing())) return;
    directory::ChangeCount count;
    {
        const auto hourglass = host_.Busy();
        running_ = true;
        try {
            // Without a folder for the journal the run stops before any user and says so.
            count = directory::PathChanger(connector_, *this, pump_,
                                           directory::JournalFolder().value_or(std::filesystem::path()))
                        .Run(target_);
        } catch (...) {
            // Fails quietly like every step; what was done is counted.
        }
        running_ = false;
    }
    if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
    host_.ShowCount(directory::StatusText(count));
    if (links_.changed && !count.writtenDns.empty()) {
        try {
            links_.changed(count.writtenDns);
        } catch (...) {
            // A list that cannot be read again keeps what it showed.
        }
    }
}

void Form1::Command2_Click() {
    if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
}

bool Form1::Checked(HWND box) const {
    return hwnd_ && box && ::SendMessageW(box, BM_GETCHECK, 0, 0) != BST_UNCHECKED;
}

std::string Form1::Text(HWND edit) const {
    if (!hwnd_ || !edit) return {};
    return win32::Utf8(WindowTextW(edit));
}

bool Form1::writeProfilePath() const { return Checked(check1_); }
std::string Form1::profilePath() const { return Text(text1_); }
bool Form1::writeTsProfilePath() const { return Checked(check2_); }
std::string Form1::tsProfilePath() const { return Text(text2_); }
bool Form1::recursive() const { return Checked(check3_); }

INT_PTR Form1::OnDialogMessage(HWND h, UINT msg, WPARAM wp, LPARAM /*lp*/) {
    switch (msg) {
    case WM_INITDIALOG:
        hwnd_ = h;
        OnInit();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK && HIWORD(wp) == BN_CLICKED) Command1_Click();
        if (LOWORD(wp) == IDCANCEL && HIWORD(wp) == BN_CLICKED) Command2_Click();
        return TRUE;
    case WM_CLOSE:  // the caption's close box hides, as Cancel does
        Command2_Click();
        return TRUE;
    case WM_SETCURSOR:
        if (!running_) return FALSE;
        ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        ::SetWindowLongPtrW(h, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_NCDESTROY:
        hwnd_ = tooltip_ = nullptr;
        check1_ = check2_ = check3_ = text1_ = text2_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace vela
