// What the "User Configuration" tab shows of the directory: the tree of the domain's containers
// (TreeView1) and the users of the container listed last (ListView1), decided here in plain C++
// over the directory layer; the page only draws what it is handed.
//
//   UserTab tab(LdapConnector(), view, [] { /* let pending window messages through */ });
//   tab.LoadDomain();                      // tab activation, F5
//   tab.ListContainer(selectedNodeKey);    // double-click in the tree
//
// Each operation opens one connection and closes it before it returns.  Failures are quiet, as
// everywhere in the program: what could not be read is not shown; the outcome tells why.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "admin/directory/directory.h"

namespace vela::directory {

// Pictures of ImageList1.
enum Image : int { kImageOu = 1, kImageDomain = 2, kImageRoot = 3, kImageContainer = 4, kImageUser = 7 };

inline constexpr char kRootKey[] = "root";
inline constexpr char kRootText[] = "Active Directory";

struct TreeNode {
    std::string key;     // a directory path, or "root"
    std::string parent;  // the parent's key; empty for the root
    std::string text;
    int image = 0;
    friend bool operator==(const TreeNode&, const TreeNode&) = default;
};

struct UserRow {
    int n = 0;                  // position among all children the directory returned, from 1
    std::string userId;         // samaccountname
    std::string profilePath;    // " " when it cannot be read
    std::string tsProfilePath;  // " " when it cannot be read
    std::string dn;             // in LDAP style
    friend bool operator==(const UserRow&, const UserRow&) = default;
};

// A column header clicked: the rows by that column's text (0 UserID, 1 ProfilePath,
// 2 TSProfilePath), ASCII letter case ignored, ties in listing order; `descending` reverses.
void SortRows(std::vector<UserRow>& rows, int column, bool descending);

// The rows as a CSV file's bytes: UTF-8 with a byte-order mark, CRLF line ends, the header
// UserID,ProfilePath,TSProfilePath,DN, fields quoted as RFC 4180 wants.
[[nodiscard]] std::string CsvField(std::string_view text);
[[nodiscard]] std::string UserListCsv(const std::vector<UserRow>& rows);

// The key of a row's cell: 'A' (item), 'B' (ProfilePath), 'C' (TSProfilePath), followed by n.
[[nodiscard]] std::string RowKey(char column, int n);
// A node's text: the object's name without its first three characters (the "DC=", "OU=", "CN=").
[[nodiscard]] std::string NodeText(std::string_view name);

// The status bar's word on a listing: empty when it worked, else why the directory could not be
// read ("The directory could not be read: the logon was refused: ...").
[[nodiscard]] std::string ListingStatus(const Outcome& listed);

// Where the tab's contents go: TreeView1 and ListView1, or a recording in tests.
class UserTabView {
public:
    virtual ~UserTabView() = default;
    virtual void ClearTree() = 0;
    // Called only for a key not yet in the tree, whose parent is already there.
    virtual void AddNode(const TreeNode& node) = 0;
    virtual void ExpandAll() = 0;
    virtual void ClearList() = 0;
    virtual void AddRow(const UserRow& row) = 0;
    // A listing begins and ends, always in pairs (a listing started from `between` nests its
    // own pair): the list can hold its redraw until the outermost one ends.
    virtual void BeginRows() {}
    virtual void EndRows() {}
};

class UserTab {
public:
    // `between` runs once per child listed, before it is counted; handlers may call back into
    // the tab from it (another listing, a rebuild), which ends the listing that was running.
    UserTab(Connector connector, UserTabView& view, std::function<void()> between = {});

    // Rebuilds the tree: the root, the domain below it, the domain listed, every node expanded.
    // Unreachable directory: the root alone and an empty list.
    Outcome LoadDomain();
    // Lists the users of the container at `path` (a node's key) and adds its organisational
    // units and containers below that node.  The list is emptied first, whatever follows.
    Outcome ListContainer(std::string_view path);

    [[nodiscard]] const std::vector<TreeNode>& nodes() const noexcept { return nodes_; }
    [[nodiscard]] bool HasNode(std::string_view key) const { return keys_.contains(std::string(key)); }
    // The path of the container whose users the list shows; empty when none.
    [[nodiscard]] const std::string& listed() const noexcept { return listed_; }

private:
    Outcome List(Directory& dir, std::string_view path, unsigned generation);
    void AddNode(TreeNode node);

    Connector connector_;
    UserTabView& view_;
    std::function<void()> between_;
    std::vector<TreeNode> nodes_;
    std::unordered_set<std::string> keys_;
    unsigned generation_ = 0;  // changes with every listing and rebuild
    std::string listed_;
};

}  // namespace vela::directory
