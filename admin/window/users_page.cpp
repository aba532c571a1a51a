#include "admin/window/users_page.h"

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <fstream>

#include <commdlg.h>

#include "admin/common/ascii.h"
#include "admin/directory/change_journal.h"
#include "admin/directory/user_parameters.h"
#include "admin/window/resource.h"
#include "admin/window/wide_text.h"

namespace vela {

namespace {

// How long a listing or a walk may run between two looks at the message queue: a look is a
// round trip to the window system (under Wine a server call), too dear to make per user.
constexpr DWORD kPumpIntervalMs = 10;

std::function<void()> EveryFewMilliseconds(PageHost& host) {
    return [&host, last = DWORD{0}]() mutable {
        const DWORD now = ::GetTickCount();
        if (now - last < kPumpIntervalMs) return;
        last = now;
        host.PumpMessages();
    };
}

void ExpandBelow(HWND tree, HTREEITEM item) {
    for (; item; item = TreeView_GetNextSibling(tree, item)) {
        TreeView_Expand(tree, item, TVE_EXPAND);
        ExpandBelow(tree, TreeView_GetChild(tree, item));
    }
}

}  // namespace

UsersPage::UsersPage(HINSTANCE instance, PageHost& host, directory::Connector connector, HIMAGELIST imageList,
                     HMENU userMenu, HMENU listMenu)
    : DialogPage(instance, IDD_PAGE_USERS),
      host_(host),
      connector_(std::move(connector)),
      pump_(EveryFewMilliseconds(host)),
      imageList_(imageList),
      userMenu_(userMenu),
      listMenu_(listMenu),
      // Once per child listed: the window serves its events while a large container is read.
      tab_(connector_, *this, [this] { pump_(); }) {}

UsersPage::~UsersPage() = default;

HWND UsersPage::Tree() const { return Item(IDC_TREEVIEW1); }
HWND UsersPage::List() const { return Item(IDC_LISTVIEW1); }

void UsersPage::OnInit() {
    TreeView_SetImageList(Tree(), imageList_, TVSIL_NORMAL);
    ListView_SetImageList(List(), imageList_, LVSIL_SMALL);
    ListView_SetImageList(List(), imageList_, LVSIL_NORMAL);
    ListView_SetExtendedListViewStyle(List(), LVS_EX_FULLROWSELECT);
    // The page is an ANSI dialog; the list asks for its texts in UTF-16 all the same.
    ListView_SetUnicodeFormat(List(), TRUE);
    const UINT captions[] = {IDS_COLUMN_USERID, IDS_COLUMN_PROFILEPATH, IDS_COLUMN_TSPROFILEPATH};
    const int widths[] = {50, 100, 100};  // dialog units
    for (int i = 0; i < 3; ++i) {
        RECT r{0, 0, widths[i], 0};
        ::MapDialogRect(hwnd_, &r);
        std::wstring caption = LoadWide(instance_, captions[i]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = caption.data();
        column.cx = r.right;
        column.iSubItem = i;
        ::SendMessageW(List(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    Anchor(IDC_TREEVIEW1, kGrowHeight);
    Anchor(IDC_LISTVIEW1, kGrowWidth | kGrowHeight);
}

void UsersPage::OnActivate() { LoadDomain(); }

void UsersPage::LoadDomain() {
    host_.ShowCount({});
    // What could not be read is not shown; the status bar says why.
    ShowListing(tab_.LoadDomain());
}

void UsersPage::ListOU(const std::string& currOU) {
    host_.ShowCount({});  // the last change's count belongs to the listing before
    directory::Outcome listed;
    {
        const auto hourglass = host_.Busy();
        listed = tab_.ListContainer(currOU);  // a container that cannot be read leaves the list empty
    }
    // The tree's root is no container: double-clicking it empties the list and is no failure.
    ShowListing(listed.fault == directory::Fault::BadPath ? directory::Outcome{} : listed);
}

void UsersPage::ShowListing(const directory::Outcome& listed) {
    host_.ShowStatus(directory::ListingStatus(listed));
}

void UsersPage::TreeView1_DblClick() {
    const std::string key = KeyOf();
    if (key.empty()) return;
    ListOU(key);
    // The listing may have let a rebuild through: expand the node if it is still there.
    if (HTREEITEM item = ItemOf(key)) TreeView_Expand(Tree(), item, TVE_EXPAND);
}

void UsersPage::TreeView1_MouseUp(bool rightButton) {
    // No node selected (a right click on an empty tree): the target stays what it was.
    if (const std::string key = KeyOf(); !key.empty()) EnsureForm1().SetTarget(key);
    if (!rightButton) return;
    POINT at{};
    ::GetCursorPos(&at);
    PopUpUserMenu(at);
}

void UsersPage::TreeView1_MenuKey() {
    if (const std::string key = KeyOf(); !key.empty()) EnsureForm1().SetTarget(key);
    // Under the selected node's text, or at the tree's corner when nothing is selected.
    RECT r{};
    POINT at{};
    if (HTREEITEM item = TreeView_GetSelection(Tree()); item && TreeView_GetItemRect(Tree(), item, &r, TRUE)) {
        at = {r.left, r.bottom};
    }
    ::ClientToScreen(Tree(), &at);
    PopUpUserMenu(at);
}

void UsersPage::PopUpUserMenu(POINT at) {
    if (!userMenu_) return;
    HWND owner = ::GetAncestor(hwnd_, GA_ROOT);
    const int chosen = static_cast<int>(
        ::TrackPopupMenu(userMenu_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
    if (chosen == IDM_CHANGE_PROFILE_PATH) mnuChange_Click();
    if (chosen == IDM_UNDO_LAST_CHANGE) mnuUndo_Click();
}

void UsersPage::PopUpListMenu(std::optional<POINT> where) {
    if (!listMenu_) return;
    POINT at{};
    if (where) {
        at = *where;
    } else {
        // Below the selected row, else at the list's corner.
        RECT r{};
        const int row = static_cast<int>(::SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        r.left = LVIR_LABEL;
        if (row < 0 || !::SendMessageW(List(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r)))
            r = RECT{};
        at = POINT{r.left, r.bottom};
        ::ClientToScreen(List(), &at);
    }
    HWND owner = ::GetAncestor(hwnd_, GA_ROOT);
    const int chosen = static_cast<int>(
        ::TrackPopupMenu(listMenu_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
    if (chosen == IDM_EXPORT_LIST) mnuExport_Click();
}

void UsersPage::mnuUndo_Click() {
    // Not while a change or another undo lets messages through: they would write the same users.
    if (undoing_ || (form1_ && form1_->Running())) return;
    undoing_ = true;
    directory::UndoResult undone;
    bool finished = true;
    {
        const auto hourglass = host_.Busy();
        try {
            const auto folder = directory::JournalFolder();
            if (folder) undone = directory::UndoLastChange(connector_, *folder, pump_);
        } catch (...) {
            // The journal is marked only at the end of a replay: it stays open for the next one.
            finished = false;
        }
    }
    undoing_ = false;
    if (!finished) {
        host_.ShowCount("The undo stopped before its end; undo again to restore the rest");
        return;
    }
    host_.ShowCount(directory::UndoStatusText(undone));
    Changed(undone.restoredDns);
}

void UsersPage::Changed(const std::vector<std::string>& dns) {
    const std::string listed = tab_.listed();
    if (!directory::TouchesContainer(dns, listed)) return;
    directory::Outcome relisted;
    {
        const auto hourglass = host_.Busy();
        relisted = tab_.ListContainer(listed);
    }
    ShowListing(relisted);
}

void UsersPage::mnuExport_Click() {
    std::wstring file(MAX_PATH * 4, L'\0');
    const std::wstring title = LoadWide(instance_, IDS_EXPORT_TITLE);
    // The resource holds the filter with '|' where the dialog wants NULs; it ends in two.
    std::wstring filter = LoadWide(instance_, IDS_EXPORT_FILTER);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.push_back(L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = ::GetAncestor(hwnd_, GA_ROOT);
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = L"csv";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!::GetSaveFileNameW(&ofn)) return;
    file.back() = L'\0';  // a scripted or faulty dialog may fill the whole buffer
    file.resize(std::wcslen(file.c_str()));
    const std::filesystem::path path(file);
    const std::string csv = directory::UserListCsv(rows_);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(csv.data(), static_cast<std::streamsize>(csv.size()));
    out.close();
    const std::string name = directory::PathText(path);
    host_.ShowStatus(out ? Plural(static_cast<long long>(rows_.size()), " user", " users") + " exported to " + name
                         : "The list could not be written to " + name);
}

void UsersPage::ListView1_ColumnClick(int column) {
    if (column < 0 || column > 2) return;
    sortDescending_ = column == sortColumn_ ? !sortDescending_ : false;
    sortColumn_ = column;
    directory::SortRows(rows_, column, sortDescending_);
    ShowRowCount();
}

bool UsersPage::TranslateKey(const MSG& msg) {
    if (!hwnd_ || (msg.hwnd != Tree() && msg.hwnd != List())) return false;
    const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    const bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
    if (!down && !up) return false;
    // F10 alone goes on to the menu bar; with Shift, its release must not get there either.
    const bool menuKey = msg.wParam == VK_APPS || (msg.wParam == VK_F10 && ::GetKeyState(VK_SHIFT) < 0);
    if (msg.hwnd == List()) {
        if (!menuKey) return false;
        if (down) PopUpListMenu();
        return true;
    }
    if (msg.wParam == VK_RETURN) {
        // Posted, as the double click is: the listing runs from the message loop, not from here.
        if (down) ::PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDP_TREE_DBLCLICK, 0), 0);
        return true;
    }
    if (!menuKey) return false;
    if (down) TreeView1_MenuKey();
    return true;
}

void UsersPage::mnuChange_Click() { EnsureForm1().Show(::GetAncestor(hwnd_, GA_ROOT)); }

Form1& UsersPage::EnsureForm1() {
    if (!form1_)
        form1_ = std::make_unique<Form1>(instance_, host_, connector_, pump_,
                                         Form1Links{[this](const std::vector<std::string>& dns) { Changed(dns); },
                                                    [this] { return undoing_; }});
    form1_->Create();
    return *form1_;
}

void UsersPage::OnCommand(int id, int /*code*/) {
    switch (id) {
    case IDP_TREE_LEFT_UP: TreeView1_MouseUp(false); break;
    case IDP_TREE_RIGHT_UP: TreeView1_MouseUp(true); break;
    case IDP_TREE_DBLCLICK: TreeView1_DblClick(); break;
    case IDP_LIST_MENU: {
        POINT at{};
        ::GetCursorPos(&at);
        PopUpListMenu(at);
        break;
    }
    default: break;
    }
}

LRESULT UsersPage::OnNotify(const NMHDR& header) {
    if (header.idFrom == IDC_LISTVIEW1 && header.code == LVN_GETDISPINFOW) {
        ListView1_GetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
        return 0;
    }
    if (header.idFrom == IDC_LISTVIEW1 && header.code == LVN_COLUMNCLICK) {
        ListView1_ColumnClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        return 0;
    }
    if (header.idFrom == IDC_LISTVIEW1 && header.code == NM_RCLICK) {
        // Posted, as the tree's clicks are: the popup opens once the list is done with the click.
        ::PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDP_LIST_MENU, 0), 0);
        return TRUE;
    }
    if (header.idFrom != IDC_TREEVIEW1) return 0;
    int posted = 0;
    switch (header.code) {
    case NM_CLICK: posted = IDP_TREE_LEFT_UP; break;
    case NM_RCLICK: posted = IDP_TREE_RIGHT_UP; break;
    case NM_DBLCLK: posted = IDP_TREE_DBLCLICK; break;
    default: return 0;
    }
    // The right button selects the node it is on, so the menu works on the node clicked, not on
    // one selected earlier elsewhere; off the nodes the selection stays.
    if (header.code == NM_RCLICK) {
        TVHITTESTINFO hit{};
        ::GetCursorPos(&hit.pt);
        ::ScreenToClient(Tree(), &hit.pt);
        if (HTREEITEM item = TreeView_HitTest(Tree(), &hit); item && (hit.flags & TVHT_ONITEM))
            TreeView_SelectItem(Tree(), item);
    }
    // Posted, so it runs once the tree has finished its own handling of the click (a left click
    // selects the node only after NM_CLICK).
    ::PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(posted, 0), 0);
    // A left click goes on to select the node.  The right click sends no WM_CONTEXTMENU, the
    // double-click does not toggle the node (the listing expands it itself).
    return header.code == NM_CLICK ? 0 : TRUE;
}

std::string UsersPage::KeyOf(HTREEITEM item) const {
    if (!item) item = TreeView_GetSelection(Tree());
    if (!item) return {};
    TVITEMW data{};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    if (!::SendMessageW(Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data))) return {};
    const auto index = static_cast<size_t>(data.lParam);
    return index < keys_.size() ? keys_[index] : std::string();
}

HTREEITEM UsersPage::ItemOf(const std::string& key) const {
    const auto it = items_.find(key);
    return it == items_.end() ? nullptr : it->second;
}

void UsersPage::ClearTree() {
    TreeView_DeleteAllItems(Tree());
    keys_.clear();
    items_.clear();
}

void UsersPage::AddNode(const directory::TreeNode& node) {
    std::wstring text = win32::Wide(node.text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = node.parent.empty() ? TVI_ROOT : ItemOf(node.parent);
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.iImage = insert.item.iSelectedImage = node.image;
    insert.item.lParam = static_cast<LPARAM>(keys_.size());
    if (!insert.hParent) return;
    auto* item = reinterpret_cast<HTREEITEM>(::SendMessageW(Tree(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!item) return;
    keys_.push_back(node.key);
    items_[node.key] = item;
}

void UsersPage::ExpandAll() { ExpandBelow(Tree(), TreeView_GetRoot(Tree())); }

void UsersPage::ClearList() {
    rows_.clear();
    sortColumn_ = -1;  // a new listing comes in the directory's order
    ShowRowCount();
}

void UsersPage::AddRow(const directory::UserRow& row) {
    rows_.push_back(row);
    // The list grows in steps while a large container is read, so the rows show as they come.
    if (rows_.size() % 1000 == 0) ShowRowCount();
}

void UsersPage::BeginRows() { ++rowsDepth_; }

void UsersPage::EndRows() {
    if (--rowsDepth_ == 0) ShowRowCount();
}

void UsersPage::ShowRowCount() {
    ::SendMessageW(List(), LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    ::InvalidateRect(List(), nullptr, TRUE);
}

void UsersPage::ListView1_GetDispInfo(NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= rows_.size()) return;
    const directory::UserRow& row = rows_[static_cast<size_t>(item.iItem)];
    if (item.mask & LVIF_TEXT) {
        const std::string& text = item.iSubItem == 0 ? row.userId : item.iSubItem == 1 ? row.profilePath : row.tsProfilePath;
        shown_ = win32::Wide(text);
        if (item.pszText && item.cchTextMax > 0) {
            const size_t n = std::min(shown_.size(), static_cast<size_t>(item.cchTextMax - 1));
            std::copy_n(shown_.data(), n, item.pszText);
            item.pszText[n] = L'\0';
        } else {
            item.pszText = shown_.data();  // the list copies it before it asks again
        }
    }
    if (item.mask & LVIF_IMAGE) item.iImage = directory::kImageUser;
    if (item.mask & LVIF_PARAM) item.lParam = row.n;  // the row's keys are "A", "B", "C" followed by it
}

}  // namespace vela
