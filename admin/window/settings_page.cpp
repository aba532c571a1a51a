#include "admin/window/settings_page.h"

#include <windowsx.h>

#include "admin/common/text.h"
#include "admin/window/resource.h"
#include "admin/window/window_text.h"

namespace vela {
namespace {

std::string ListText(HWND w, UINT lenMsg, UINT textMsg, LRESULT index) {
    const LRESULT n = ::SendMessageA(w, lenMsg, static_cast<WPARAM>(index), 0);
    if (n < 0) return {};
    std::string text(static_cast<size_t>(n) + 1, '\0');
    const LRESULT got = ::SendMessageA(w, textMsg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return text;
}

}  // namespace

SettingsPage::SettingsPage(HINSTANCE instance, PageHost& host, FileSystem& fs, Prompts& prompts,
                           SettingsPageLinks links)
    : DialogPage(instance, IDD_PAGE_SETTINGS), host_(host), fs_(fs), files_(fs, prompts), links_(std::move(links)) {}

void SettingsPage::OnInit() {
    Anchor(IDC_FILE1, kGrowHeight);
    Anchor(IDC_TEXT3, kGrowWidth | kGrowHeight);
    // Settings files of several megabytes: no limit below the control's own.
    ::SendMessageA(Item(IDC_TEXT3), EM_SETLIMITTEXT, 0, 0);
    // Until the store location first points it elsewhere, the list shows the current folder.
    std::string current(MAX_PATH, '\0');
    const DWORD n = ::GetCurrentDirectoryA(static_cast<DWORD>(current.size()), current.data());
    current.resize(n < current.size() ? n : 0);
    listFolder_ = current;
    RefreshFile1();
}

void SettingsPage::OnCommand(int id, int code) {
    switch (id) {
    case IDC_COMBO1:
        if (code == CBN_SELCHANGE) Combo1_Click();
        if (code == CBN_DROPDOWN) Combo1_DropDown();
        break;
    case IDC_FILE1:
        if (code == LBN_SELCHANGE) File1_Click();
        break;
    case IDC_COMMAND1: if (code == BN_CLICKED) Command1_Click(); break;
    case IDC_COMMAND2: if (code == BN_CLICKED) Command2_Click(); break;
    case IDC_COMMAND9: if (code == BN_CLICKED) Command9_Click(); break;
    case IDC_COMMAND10: if (code == BN_CLICKED) Command10_Click(); break;
    default: break;
    }
}

void SettingsPage::FillServerTypes(const std::vector<std::string>& types) {
    HWND combo = Item(IDC_COMBO1);
    ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& t : types) ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
}

std::string SettingsPage::PickedSettingsType() {
    HWND combo = Item(IDC_COMBO1);
    const LRESULT i = ::SendMessageA(combo, CB_GETCURSEL, 0, 0);
    return i == CB_ERR ? std::string() : ListText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, i);
}

void SettingsPage::ShowSettingsFolder(const std::string& folder) {
    // A folder gone in the meantime leaves the list where it was.
    if (!fs_.FolderExists(folder)) return;
    if (folder != listFolder_) ::SendMessageA(Item(IDC_FILE1), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    listFolder_ = folder;
    RefreshFile1();
}

void SettingsPage::RefreshFile1() {
    if (!hwnd_) return;
    HWND list = Item(IDC_FILE1);
    const std::string picked = PickedFile();
    ::SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& name : fs_.Files(listFolder_, std::string(kSettingsFilePattern)))
        ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (!picked.empty()) {
        const LRESULT at = ::SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(picked.c_str()));
        // LB_FINDSTRINGEXACT ignores letter case; only the same name counts.
        if (at != LB_ERR && ListText(list, LB_GETTEXTLEN, LB_GETTEXT, at) == picked)
            ::SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    }
    ::SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

std::string SettingsPage::PickedFile() const {
    HWND list = Item(IDC_FILE1);
    const LRESULT i = ::SendMessageA(list, LB_GETCURSEL, 0, 0);
    return i == LB_ERR ? std::string() : ListText(list, LB_GETTEXTLEN, LB_GETTEXT, i);
}

void SettingsPage::Combo1_Click() {
    if (links_.GetSettingsPath) links_.GetSettingsPath();
}

void SettingsPage::Combo1_DropDown() {
    if (links_.RefillServerTypes) links_.RefillServerTypes();
}

void SettingsPage::ShowInEditor(const SettingsFile* file) {
    HWND edit = Item(IDC_TEXT3);
    if (!file) {
        ::SetWindowTextA(edit, "");
    } else if (file->AnsiText()) {
        ::SetWindowTextA(edit, file->text.c_str());
    } else {
        const std::u16string shown = ShownText(*file);
        ::SetWindowTextW(edit, reinterpret_cast<const wchar_t*>(shown.c_str()));
    }
    ::SendMessageA(edit, EM_SETREADONLY, file && file->ReadOnly() ? TRUE : FALSE, 0);
    ::SendMessageA(edit, EM_SETMODIFY, FALSE, 0);
    ::InvalidateRect(edit, nullptr, TRUE);  // its background changes with the style
}

HBRUSH SettingsPage::OnCtlColorStatic(HDC dc, HWND control) {
    if (control != Item(IDC_TEXT3)) return nullptr;
    // What a read-only edit looks like without visual styles; the tab's texture would make it
    // look like one that takes typing.
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_3DFACE));
    return ::GetSysColorBrush(COLOR_3DFACE);
}

void SettingsPage::ShowRefusal(const std::string& refusal) {
    if (refusal.empty() && !refusalShown_) return;
    refusalShown_ = !refusal.empty();
    host_.ShowStatus(Utf16ToUtf8(AnsiToUtf16(refusal)));
}

void SettingsPage::File1_Click() {
    ShowInEditor(nullptr);
    const std::string picked = PickedFile();
    loaded_ = files_.Load(listFolder_, picked);
    ShowInEditor(loaded_ ? &*loaded_ : nullptr);
    ShowRefusal(loaded_ || picked.empty() ? std::string() : "\"" + picked + "\" cannot be read.");
}

void SettingsPage::Command9_Click() {
    // Only the file the editor holds is written, never its text into another file.
    const std::string picked = PickedFile();
    if (loaded_ && !picked.empty() && loaded_->path == JoinPath(listFolder_, picked)) {
        HWND edit = Item(IDC_TEXT3);
        const bool edited = ::SendMessageA(edit, EM_GETMODIFY, 0, 0) != 0;
        // A refused save keeps the edit in the editor: the status bar says why.
        if (files_.Save(*loaded_, edited ? WindowText(edit) : loaded_->text))
            ::SendMessageA(edit, EM_SETMODIFY, FALSE, 0);
        // The file's read-only mark may have come or gone since it was loaded.
        ::SendMessageA(edit, EM_SETREADONLY, loaded_->ReadOnly() ? TRUE : FALSE, 0);
        ::InvalidateRect(edit, nullptr, TRUE);
        ShowRefusal(files_.LastRefusal());
    }
    RefreshFile1();
}

void SettingsPage::Command1_Click() {
    (void)files_.New(listFolder_);
    ShowRefusal(files_.LastRefusal());
    RefreshFile1();
}

void SettingsPage::Command2_Click() {
    (void)files_.Delete(listFolder_, PickedFile());
    RefreshFile1();
}

void SettingsPage::Command10_Click() {
    if (links_.ShowFileProperties)
        links_.ShowFileProperties(SettingsFiles::PropertiesPath(listFolder_, PickedFile()),
                                  ::GetAncestor(hwnd_, GA_ROOT));
}

}  // namespace vela
