#include "admin/window/config_page.h"

#include <algorithm>
#include <string>

#include "admin/window/resource.h"
#include "admin/window/window_text.h"

namespace vela {
namespace {

template <size_t N>
void FillList(HWND combo, const std::array<std::string_view, N>& entries) {
    ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (std::string_view e : entries)
        ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::string(e).c_str()));
}

void Select(HWND combo, const std::optional<int>& index) {
    ::SendMessageA(combo, CB_SETCURSEL, index ? static_cast<WPARAM>(*index) : static_cast<WPARAM>(-1), 0);
}

std::optional<int> Selected(HWND combo) {
    const LRESULT i = ::SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (i == CB_ERR) return std::nullopt;
    return static_cast<int>(i);
}

void SetSwitch(HWND button, Switch value) {
    const WPARAM state = value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
    ::SendMessageA(button, BM_SETCHECK, state, 0);
}

Switch GetSwitch(HWND button) {
    const LRESULT state = ::SendMessageA(button, BM_GETCHECK, 0, 0);
    return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
}

constexpr int kOptionOf[] = {IDC_OPTION1, IDC_OPTION2, IDC_OPTION3, IDC_OPTION4};

}  // namespace

ConfigPage::ConfigPage(HINSTANCE instance) : DialogPage(instance, IDD_PAGE_CONFIG) {}

void ConfigPage::OnInit() {
    FillList(Item(IDC_COMBO2), kCompressionPriorities);
    FillList(Item(IDC_COMBO3), kFrameworkErrorEntries);
    FillList(Item(IDC_COMBO4), kProflwizErrorEntries);
    // The lists are as wide as their longest entry needs, even where the box itself is narrower.
    for (int id : {IDC_COMBO2, IDC_COMBO3, IDC_COMBO4}) {
        HWND combo = Item(id);
        HDC dc = ::GetDC(combo);
        HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(combo, WM_GETFONT, 0, 0)));
        LONG widest = 0;
        const int count = static_cast<int>(::SendMessageA(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::string entry(static_cast<size_t>(::SendMessageA(combo, CB_GETLBTEXTLEN, i, 0)) + 1, '\0');
            ::SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry.data()));
            SIZE size{};
            ::GetTextExtentPoint32A(dc, entry.c_str(), static_cast<int>(entry.size() - 1), &size);
            widest = std::max(widest, size.cx);
        }
        ::SelectObject(dc, old);
        ::ReleaseDC(combo, dc);
        ::SendMessageA(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + 2 * ::GetSystemMetrics(SM_CXEDGE) +
                                                                      ::GetSystemMetrics(SM_CXVSCROLL)), 0);
    }
}

void ConfigPage::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
    case IDC_CHECK1: Check1_Click(); break;
    case IDC_CHECK2: Check2_Click(); break;
    case IDC_CHECK3: Check3_Click(); break;
    case IDC_CHECK7: Check7_Click(); break;
    case IDC_CHECK4: Check4_Click(); break;
    case IDC_CHECK5: Check5_Click(); break;
    case IDC_CHECKBACKUP: Checkbackup_Click(); break;
    default: break;  // the option buttons are automatic; the lists and texts are read on demand
    }
}

void ConfigPage::Check1_Click() { ToggleSwitch(IDC_CHECK1); }
void ConfigPage::Check2_Click() { ToggleSwitch(IDC_CHECK2); }
void ConfigPage::Check3_Click() { ToggleSwitch(IDC_CHECK3); }
void ConfigPage::Check7_Click() { ToggleSwitch(IDC_CHECK7); }
void ConfigPage::Check4_Click() { ToggleSwitch(IDC_CHECK4); }
void ConfigPage::Check5_Click() { ToggleSwitch(IDC_CHECK5); }
void ConfigPage::Checkbackup_Click() { ToggleSwitch(IDC_CHECKBACKUP); }

// On from off, and on from indeterminate; off from on.
void ConfigPage::ToggleSwitch(int id) {
    HWND button = Item(id);
    SetSwitch(button, GetSwitch(button) == 1 ? 0 : 1);
}

void ConfigPage::ShowModel(const FrameworkConfig& m) {
    SetSwitch(Item(IDC_CHECK1), m.refreshWindowsAppearance);
    SetSwitch(Item(IDC_CHECK2), m.refreshKeyboard);
    SetSwitch(Item(IDC_CHECK3), m.refreshMouse);
    SetSwitch(Item(IDC_CHECK7), m.enablePasswords);
    SetSwitch(Item(IDC_CHECK4), m.enableCertificates);
    SetSwitch(Item(IDC_CHECK5), m.compression);
    Select(Item(IDC_COMBO2), m.compressionPriority);
    const int root = static_cast<int>(m.storeRoot);
    ::CheckRadioButton(hwnd_, IDC_OPTION1, IDC_OPTION4, kOptionOf[root >= 0 && root < 4 ? root : 0]);
    ::SetWindowTextA(Item(IDC_TEXT1), m.storeRootPath.c_str());
    ::SetWindowTextA(Item(IDC_TEXT2), m.storeFolder.c_str());
    SetSwitch(Item(IDC_CHECKBACKUP), m.disableBackup);
    Select(Item(IDC_COMBO3), m.displayFrameworkError);
    Select(Item(IDC_COMBO4), m.displayProflwizError);
}

void ConfigPage::ReadInto(FrameworkConfig& m) const {
    m.refreshWindowsAppearance = GetSwitch(Item(IDC_CHECK1));
    m.refreshKeyboard = GetSwitch(Item(IDC_CHECK2));
    m.refreshMouse = GetSwitch(Item(IDC_CHECK3));
    m.enablePasswords = GetSwitch(Item(IDC_CHECK7));
    m.enableCertificates = GetSwitch(Item(IDC_CHECK4));
    m.compression = GetSwitch(Item(IDC_CHECK5));
    m.compressionPriority = Selected(Item(IDC_COMBO2));
    for (int i = 0; i < 4; ++i)
        if (::IsDlgButtonChecked(hwnd_, kOptionOf[i]) == BST_CHECKED) m.storeRoot = static_cast<StoreRoot>(i);
    m.storeRootPath = WindowText(Item(IDC_TEXT1));
    m.storeFolder = WindowText(Item(IDC_TEXT2));
    m.disableBackup = GetSwitch(Item(IDC_CHECKBACKUP));
    m.displayFrameworkError = Selected(Item(IDC_COMBO3));
    m.displayProflwizError = Selected(Item(IDC_COMBO4));
}

}  // namespace vela
