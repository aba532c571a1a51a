#include "admin/window/servers_page.h"

#include <windowsx.h>

#include "admin/win32/run_step.h"
#include "admin/win32/text.h"
#include "admin/window/resource.h"
#include "admin/window/window_text.h"

namespace vela {
namespace {

using win32::RunStep;

constexpr UINT_PTR kListSubclassId = 1;
constexpr int kServerNameColumn = 0, kServerTypeColumn = 1;

int StateImage(UINT state) { return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12); }

// A menu caption shows a lone '&' as a mnemonic mark; a package name shows its own.
std::string MenuCaption(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += '&';
        out += c;
    }
    return out;
}

}  // namespace

ServersPage::ServersPage(HINSTANCE instance, PageHost& host, FileSystem& fs, Prompts& prompts,
                         HIMAGELIST imageList, HMENU serverMenu, ServerEnumerator& servers,
                         ServerDirectory* directory, ServerRegistry& registry, ServersPageLinks links)
    : DialogPage(instance, IDD_PAGE_SERVERS),
      host_(host),
      types_(fs, prompts),
      fs_(fs),
      imageList_(imageList),
      serverMenu_(serverMenu),
      servers_(servers),
      directory_(directory),
      assignment_(registry, [this] { host_.PumpMessages(); }),
      links_(std::move(links)) {}

ServersPage::~ServersPage() {
    if (HWND list = Item(IDC_LISTVIEW2)) ::RemoveWindowSubclass(list, &ListProc, kListSubclassId);
}

void ServersPage::OnInit() {
    HWND list = Item(IDC_LISTVIEW2);
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                   LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    ::SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(imageList_));
    ::SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(imageList_));
    RECT widths{150, 0, 100, 0};  // dialog units
    ::MapDialogRect(hwnd_, &widths);
    const struct {
        const wchar_t* text;
        int width;
    } columns[] = {{L"Server name", widths.left}, {L"Server Type", widths.right}};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = const_cast<wchar_t*>(columns[i].text);
        c.cx = columns[i].width;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
    }
    ::SetWindowSubclass(list, &ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this));

    Anchor(IDC_SERVERS_NOTE, kGrowWidth);
    Anchor(IDC_LISTVIEW2_LABEL, kGrowWidth);
    Anchor(IDC_LISTVIEW2, kGrowWidth | kGrowHeight);
}

void ServersPage::OnActivate() {
    RunStep([this] { EnumServers(); });
    RunStep([this] { PopulateInstall(); });
    // The refill took the rows' marks and types; the box still shows its type.
    RunStep([this] {
        if (!PickedType().empty()) Combo5_Click();
    });
}

void ServersPage::OnCommand(int id, int code) {
    switch (id) {
    case IDC_COMBO5:
        if (code == CBN_DROPDOWN) Combo5_DropDown();
        if (code == CBN_SELCHANGE) Combo5_Click();
        break;
    case IDC_COMMAND3: if (code == BN_CLICKED) Command3_Click(); break;
    case IDC_COMMAND4: if (code == BN_CLICKED) Command4_Click(); break;
    default: break;
    }
}

LRESULT ServersPage::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_LISTVIEW2) return 0;
    if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        const int was = StateImage(change.uOldState), now = StateImage(change.uNewState);
        // A check box toggled (state image 1 unchecked, 2 checked); a new row's first state is not.
        if (ownChecks_ == 0 && (change.uChanged & LVIF_STATE) && change.iItem >= 0 && was != 0 && now != 0 &&
            was != now)
            ListView2_ItemCheck(change.iItem, now == 2);
    } else if (header.code == NM_RCLICK) {
        // The list view takes the right button's release into its own drag detection and reports
        // the click instead: the release happened at the click's position.
        const DWORD at = ::GetMessagePos();
        ListView2_MouseUp(POINT{GET_X_LPARAM(at), GET_Y_LPARAM(at)});
    }
    return 0;
}

LRESULT CALLBACK ServersPage::ListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR /*id*/,
                                       DWORD_PTR self) noexcept {
    try {
        if (msg == WM_KEYUP) reinterpret_cast<ServersPage*>(self)->ListView2_KeyUp(wp);
        if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(h, &ListProc, kListSubclassId);
    } catch (...) {
    }
    return ::DefSubclassProc(h, msg, wp, lp);
}

void ServersPage::Combo5_DropDown() {
    const std::vector<std::string> types = types_.List(links_.ConfigFolder ? links_.ConfigFolder() : std::string());
    HWND combo = Item(IDC_COMBO5);
    ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& t : types) ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
    assignment_.ClearMarks(*this);
    if (links_.FillSettingsTypes) links_.FillSettingsTypes(types);
}

void ServersPage::Command4_Click() {
    (void)types_.New(links_.ConfigFolder ? links_.ConfigFolder() : std::string());
}

void ServersPage::Command3_Click() {
    (void)types_.Delete(links_.ConfigFolder ? links_.ConfigFolder() : std::string(), PickedType());
}

void ServersPage::EnumServers() {
    assignment_.CancelScan();  // a scan running under this refill stops at its next server
    HWND list = Item(IDC_LISTVIEW2);
    ++ownChecks_;
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    --ownChecks_;
    const ServerListing listing = ListServers(servers_, directory_);
    listingText_ = ServerSourceText(listing);
    failureShown_ = false;
    host_.ShowStatus(listingText_);
    const std::vector<ServerRow>& rows = listing.rows;
    ++ownChecks_;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::wstring name = win32::Wide(rows[i].name);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = name.data();
        item.iImage = rows[i].picture;
        item.lParam = static_cast<LPARAM>(i);  // the row's key: "A" and this position
        const auto at = ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        if (at >= 0) SetCheck(static_cast<int>(at), rows[i].checked);
    }
    --ownChecks_;
}

void ServersPage::PopulateInstall() {
    const std::string folder = links_.ProgramFolder ? links_.ProgramFolder() : std::string();
    if (folder.empty()) return;
    const std::size_t had = installs_.Populate(fs_, folder);
    const std::vector<InstallEntry>& entries = installs_.Entries();
    HWND list = Item(IDC_LISTVIEW2);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const UINT command = IDM_INSTALL_FIRST + static_cast<UINT>(i);
        const std::string caption = MenuCaption(entries[i].caption);
        if (i < had) {
            ::ModifyMenuA(serverMenu_, command, MF_BYCOMMAND | MF_STRING, command, caption.c_str());
            continue;
        }
        ::AppendMenuA(serverMenu_, MF_STRING, command, caption.c_str());
        std::wstring header = win32::WideFromAnsi(entries[i].columnHeader);
        // As wide as its header's text and the header's margins (a column without a width is
        // 10 pixels wide, which shows nothing of the name).
        RECT margins{0, 0, 12, 0};  // dialog units
        ::MapDialogRect(hwnd_, &margins);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = header.data();
        c.cx = static_cast<int>(::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(header.c_str()))) +
               margins.right;
        const auto columns = ::SendMessageW(reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0)),
                                            HDM_GETITEMCOUNT, 0, 0);
        ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(columns), reinterpret_cast<LPARAM>(&c));
    }
}

void ServersPage::Combo5_Click() {
    ForgetFailure();
    const auto hourglass = host_.Busy();
    RunStep([this] { assignment_.Mark(*this); });
}

void ServersPage::ListView2_ItemCheck(int row, bool ticked) {
    const std::string server = ServerAt(static_cast<std::size_t>(row));
    const std::string type = PickedType();
    const TickResult result = assignment_.Tick(server, type, ticked);
    SetCheck(row, result.checked);
    if (!result.refused) SetServerType(row, result.serverType);
    if (result.taken) {
        ForgetFailure();
    } else {
        ShowFailure(TickFailureText(server, Utf16ToUtf8(AnsiToUtf16(type)), ticked, result));
    }
}

void ServersPage::ShowFailure(const std::string& text) {
    failureShown_ = true;
    host_.ShowStatus(text);
}

void ServersPage::ForgetFailure() {
    if (!failureShown_) return;
    failureShown_ = false;
    host_.ShowStatus(listingText_);
}

void ServersPage::ListView2_KeyUp(WPARAM keyCode) {
    if (keyCode == VK_F5) host_.Reactivate();
}

void ServersPage::ListView2_MouseUp(POINT screen) {
    // "Change Server Type" and the package entries have no action yet.
    (void)::TrackPopupMenu(serverMenu_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, screen.x,
                           screen.y, 0, hwnd_, nullptr);
}

std::size_t ServersPage::Count() {
    const LRESULT n = ::SendMessageW(Item(IDC_LISTVIEW2), LVM_GETITEMCOUNT, 0, 0);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::string ServersPage::ServerAt(std::size_t row) {
    std::wstring text(256, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = kServerNameColumn;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        const auto n = static_cast<std::size_t>(::SendMessageW(Item(IDC_LISTVIEW2), LVM_GETITEMTEXTW,
                                                               static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (n + 1 < text.size()) {
            text.resize(n);
            return win32::Utf8(text);
        }
        text.resize(text.size() * 2);  // the name may have been cut off
    }
}

std::string ServersPage::PickedType() {
    return WindowText(Item(IDC_COMBO5));
}

void ServersPage::Show(std::size_t row, bool checked, const std::string& serverType) {
    SetCheck(static_cast<int>(row), checked);
    SetServerType(static_cast<int>(row), serverType);
}

void ServersPage::Uncheck(std::size_t row) { SetCheck(static_cast<int>(row), false); }

void ServersPage::SetCheck(int row, bool checked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    ++ownChecks_;
    ::SendMessageW(Item(IDC_LISTVIEW2), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    --ownChecks_;
}

void ServersPage::SetServerType(int row, const std::string& serverType) {
    std::wstring text = win32::WideFromAnsi(serverType);
    LVITEMW item{};
    item.iSubItem = kServerTypeColumn;
    item.pszText = text.data();
    ::SendMessageW(Item(IDC_LISTVIEW2), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace vela
