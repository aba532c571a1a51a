// The "User Configuration" tab: the directory tree TreeView1 beside the user list ListView1.
// What they show is decided by directory::UserTab (user_tab.h); this page draws it, turns clicks
// into its calls and opens Form1, the profile path changer, from the tree's context menu, which
// also undoes the last change (change_journal.h).  The list's own context menu exports it as CSV;
// a click on a column header sorts it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "admin/directory/user_tab.h"
#include "admin/window/dialog_page.h"
#include "admin/window/form1.h"

namespace vela {

namespace testing {
class FrameProbe;
}

class UsersPage final : public DialogPage, private directory::UserTabView {
public:
    // `host` (status bar, hourglass, pump), `imageList` (ImageList1), `userMenu` (the "User"
    // context menu) and `listMenu` (the list's) are borrowed; `connector` opens one directory
    // connection per listing, walk or undo.
    UsersPage(HINSTANCE instance, PageHost& host, directory::Connector connector, HIMAGELIST imageList,
              HMENU userMenu, HMENU listMenu);
    ~UsersPage() override;

    // LoadDomain: the tab was activated or F5 pressed.
    void OnActivate() override;

    void LoadDomain();
    // ListOU: lists the container whose node key is `currOU` (directory::UserTab::ListContainer).
    void ListOU(const std::string& currOU);
    // Double-click in the tree: lists the selected node, then expands it.
    void TreeView1_DblClick();
    // A mouse button released in the tree: the selected node becomes Form1's target; the right
    // button opens mnuUser at the pointer.
    void TreeView1_MouseUp(bool rightButton);
    // Shift+F10 or the Menu key in the tree: the selected node becomes Form1's target and mnuUser
    // opens under it.
    void TreeView1_MenuKey();
    void mnuChange_Click();
    // Replays the newest journal; the count goes to the status bar, the list is read again when
    // a user it shows was restored.
    void mnuUndo_Click();
    // The list's rows as shown, to a CSV file picked in a save dialog.
    void mnuExport_Click();
    // A click on a column header: sorted by it, a second click on it reverses.
    void ListView1_ColumnClick(int column);
    // After a change or an undo that wrote these users: the list is read again when it shows one.
    void Changed(const std::vector<std::string>& dns);

    // For the message loop: Form1's keyboard.
    bool TranslateForm1(MSG& msg) { return form1_ && form1_->Translate(msg); }
    // For the message loop, before the dialog manager: the tree's Enter (which the dialog manager
    // would take for the default button), and Shift+F10 or the Menu key in the tree or the list,
    // which open their popup menus.  True when the key was used.
    bool TranslateKey(const MSG& msg);
    // The key of the tree item, or of the selected one when `item` is null; empty when none.
    [[nodiscard]] std::string KeyOf(HTREEITEM item = nullptr) const;
    [[nodiscard]] HTREEITEM ItemOf(const std::string& key) const;

private:
    // The window tests look at Form1 through it (testing/window_test.h).
    friend class testing::FrameProbe;

    void PopUpUserMenu(POINT at);
    // The list's popup at `at` (screen), or for the keyboard under the selected row.
    void PopUpListMenu(std::optional<POINT> at = std::nullopt);

protected:
    void OnInit() override;
    void OnCommand(int id, int code) override;
    LRESULT OnNotify(const NMHDR& header) override;

private:
    // UserTabView
    void ClearTree() override;
    void AddNode(const directory::TreeNode& node) override;
    void ExpandAll() override;
    void ClearList() override;
    void AddRow(const directory::UserRow& row) override;
    void BeginRows() override;
    void EndRows() override;
    void ShowListing(const directory::Outcome& listed);
    // Tells the list how many rows there are now.
    void ShowRowCount();
    void ListView1_GetDispInfo(NMLVDISPINFOW& info);

    Form1& EnsureForm1();
    [[nodiscard]] HWND Tree() const;
    [[nodiscard]] HWND List() const;

    PageHost& host_;
    directory::Connector connector_;
    // The host's pump, at most once every few milliseconds: for the listing and Form1's walk.
    std::function<void()> pump_;
    HIMAGELIST imageList_;
    HMENU userMenu_;
    HMENU listMenu_;
    directory::UserTab tab_;
    std::unique_ptr<Form1> form1_;
    std::vector<std::string> keys_;  // a tree item's lParam indexes its key here
    std::unordered_map<std::string, HTREEITEM> items_;
    std::vector<directory::UserRow> rows_;  // what ListView1 shows; it asks for the texts
    std::wstring shown_;                    // the text last handed to the list
    int rowsDepth_ = 0;                     // BeginRows nesting: the count is final at 0
    int sortColumn_ = -1;                   // the header clicked last; -1: listing order
    bool sortDescending_ = false;
    bool undoing_ = false;
};

}  // namespace vela
