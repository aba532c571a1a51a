// The "User Configuration" tab and Form1 in the real window against the test directory
// (tools/test-directory, started for these tests by CTest): the tree, the list and the changer
// driven through their controls, and the server stopped in the middle of a recursive change.
// What the tab and the walk decide is tested natively (admin/directory).
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <thread>

#include "admin/directory/directory.h"
#include "admin/directory/user_parameters.h"
#include "admin/window/resource.h"
#include "admin/window/window_test_support.h"

namespace vela::testing {
namespace {

using directory::ConnectLdap;
using directory::ConnectionSettings;

constexpr int kUsersTab = 3;
constexpr char kDomain[] = "DC=example,DC=test";

std::string UnixFolder() {
    const char* f = std::getenv("VELA_TEST_DIRECTORY");
    return f ? f : "";
}

std::string ServerUrl() {
    std::ifstream in("Z:" + UnixFolder() + "/url");
    std::string line;
    std::getline(in, line);
    return line;
}

// Starts a /bin/sh script on the host; Wine gives no handle to wait on, so callers poll.
bool Shell(const std::string& script) {
    std::string cmd = "Z:\\bin\\sh -c \"" + script + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    if (pi.hThread) ::CloseHandle(pi.hThread);
    if (pi.hProcess) ::CloseHandle(pi.hProcess);
    return true;
}

bool Eventually(const std::function<bool()>& done, int seconds = 10) {
    for (int k = 0; k < seconds * 10; ++k) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

std::string Utf8(const std::wstring& w) { return directory::UnitsToUtf8(std::u16string(w.begin(), w.end())); }

struct Node {
    std::string text;
    int image;
    friend bool operator==(const Node&, const Node&) = default;
    friend void PrintTo(const Node& n, std::ostream* os) { *os << n.text << " (" << n.image << ")"; }
};

struct Row {
    int n;
    std::string id, profile, ts;
    friend bool operator==(const Row&, const Row&) = default;
    friend void PrintTo(const Row& r, std::ostream* os) { *os << r.n << " [" << r.id << "|" << r.profile << "|" << r.ts << "]"; }
};

// A user as the directory holds it: "profile|ts", "-" for not set.
std::string Stored(const std::string& dn) {
    auto c = ConnectLdap(ConnectionSettings{ServerUrl(), {}, {}});
    if (!c.outcome) return "unreachable";
    directory::DirObject o;
    if (!directory::Directory(*c.client).Bind("LDAP://" + dn, o)) return "unbound";
    return o.profile.value_or("-") + "|" + o.tsProfilePath.value_or("-");
}

class UsersTab : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_FALSE(UnixFolder().empty()) << "no test directory: run under ctest";
        directory = [] { return ConnectLdap(ConnectionSettings{ServerUrl(), {}, {}}); };
        cfg = temp / "cfg\\framework.ini";
        WriteBytes(cfg, "[MAIN]\r\n");
        Start(cfg);
        ClickTab(kUsersTab);
    }
    HWND Tree() const { return Control(kUsersTab, IDC_TREEVIEW1); }
    HWND List() const { return Control(kUsersTab, IDC_LISTVIEW1); }
    HWND Form1() const { return form->usersPage().form1() ? form->usersPage().form1()->hwnd() : nullptr; }
    HWND Form1Item(int id) const { return ::GetDlgItem(Form1(), id); }

    Node NodeOf(HTREEITEM item) const {
        wchar_t text[256] = {};
        TVITEMW data{};
        data.mask = TVIF_TEXT | TVIF_IMAGE;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = 256;
        ::SendMessageW(Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
        return Node{Utf8(text), data.iImage};
    }
    std::vector<Node> Children(HTREEITEM parent) const {
        std::vector<Node> out;
        for (HTREEITEM i = parent ? TreeView_GetChild(Tree(), parent) : TreeView_GetRoot(Tree()); i;
             i = TreeView_GetNextSibling(Tree(), i))
            out.push_back(NodeOf(i));
        return out;
    }
    int CountNodes(HTREEITEM first) const {
        int n = 0;
        for (HTREEITEM i = first; i; i = TreeView_GetNextSibling(Tree(), i)) n += 1 + CountNodes(TreeView_GetChild(Tree(), i));
        return n;
    }
    HTREEITEM Find(const std::string& key) const { return form->usersPage().ItemOf(key); }

    // The mouse on a node as the tree sees it: the release is queued before the press, which the
    // tree follows until the button comes up.
    void MouseOn(HTREEITEM item, bool right, bool twice = false) {
        ASSERT_NE(item, nullptr);
        RECT r{};
        ASSERT_TRUE(TreeView_GetItemRect(Tree(), item, &r, TRUE));
        POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        const LPARAM at = MAKELPARAM(centre.x, centre.y);
        ::ClientToScreen(Tree(), &centre);
        ::SetCursorPos(centre.x, centre.y);  // where the right button's handling finds the node
        const UINT down = right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, up = right ? WM_RBUTTONUP : WM_LBUTTONUP;
        ::PostMessageW(Tree(), up, 0, at);
        ::SendMessageW(Tree(), down, right ? MK_RBUTTON : MK_LBUTTON, at);
        if (twice) {
            ::PostMessageW(Tree(), up, 0, at);
            ::SendMessageW(Tree(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        }
        Pump(form.get());
    }
    // Right button on `item`, then "Change profile path" chosen from the popup with the keyboard.
    void ChangeProfilePathOn(HTREEITEM item) {
        ::SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
            ::KillTimer(nullptr, id);
            ::keybd_event(VK_DOWN, 0, 0, 0);
            ::keybd_event(VK_DOWN, 0, KEYEVENTF_KEYUP, 0);
            ::keybd_event(VK_RETURN, 0, 0, 0);
            ::keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
        });
        ::SetForegroundWindow(form->hwnd());
        MouseOn(item, true);
        Pump(form.get());
    }
    std::vector<Row> Rows() const {
        std::vector<Row> out;
        const int n = ListView_GetItemCount(List());
        for (int i = 0; i < n; ++i) {
            Row row{};
            wchar_t text[3][260] = {};
            for (int c = 0; c < 3; ++c) {
                LVITEMW item{};
                item.iSubItem = c;
                item.pszText = text[c];
                item.cchTextMax = 260;
                ::SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            }
            LVITEMW item{};
            item.mask = LVIF_IMAGE;
            item.iItem = i;
            ::SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            EXPECT_EQ(item.iImage, 7);
            // The list keeps no data of its own (owner data): the row's number is the page's.
            const auto& rows = form->usersPage().rows();
            const int n = static_cast<size_t>(i) < rows.size() ? rows[static_cast<size_t>(i)].n : -1;
            out.push_back(Row{n, Utf8(text[0]), Utf8(text[1]), Utf8(text[2])});
        }
        return out;
    }
    void SetForm(bool c1, const std::string& t1, bool c2, const std::string& t2, bool c3) {
        ::SendMessageW(Form1Item(IDC_FORM1_CHECK1), BM_SETCHECK, c1 ? BST_CHECKED : BST_UNCHECKED, 0);
        ::SendMessageW(Form1Item(IDC_FORM1_CHECK2), BM_SETCHECK, c2 ? BST_CHECKED : BST_UNCHECKED, 0);
        ::SendMessageW(Form1Item(IDC_FORM1_CHECK3), BM_SETCHECK, c3 ? BST_CHECKED : BST_UNCHECKED, 0);
        ::SetWindowTextA(Form1Item(IDC_FORM1_TEXT1), t1.c_str());
        ::SetWindowTextA(Form1Item(IDC_FORM1_TEXT2), t2.c_str());
    }
    void PressOk() {
        ::SendMessageW(Form1Item(IDOK), BM_CLICK, 0, 0);
        Pump(form.get());
    }
    std::string CountText() const {
        char text[256] = {};
        ::SendMessageA(form->StatusBar(), SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
        return text;
    }

    std::string cfg;
};

const std::string kDomainPath = std::string("LDAP://") + kDomain;
const std::string kSalesPath = std::string("LDAP://OU=Sales,") + kDomain;
const std::string kUsersPath = std::string("LDAP://CN=Users,") + kDomain;

TEST_F(UsersTab, TreeListAndChangerThroughTheirControls) {
    // The activation built the tree; a second one rebuilds it, it does not extend it.
    EXPECT_EQ(Form1(), nullptr) << "made at the first release in the tree";
    const std::vector<Node> top = {{"Users", 4}, {"Computers", 4}, {"Sales", 1}, {"Empty", 1}, {"Big", 1}};
    for (int visit = 0; visit < 2; ++visit) {
        EXPECT_EQ(Children(nullptr), (std::vector<Node>{{"Active Directory", 3}}));
        EXPECT_EQ(Children(TreeView_GetRoot(Tree())), (std::vector<Node>{{"example", 2}}));
        EXPECT_EQ(Children(Find(kDomainPath)), top);
        EXPECT_TRUE(TreeView_GetItemState(Tree(), Find(kDomainPath), TVIS_EXPANDED) & TVIS_EXPANDED);
        EXPECT_TRUE(Rows().empty()) << "the domain holds no users itself";
        ClickTab(0);
        ClickTab(kUsersTab);
    }
    const char* const captions[] = {"UserID", "ProfilePath", "TSProfilePath"};
    for (int i = 0; i < 3; ++i) {
        char column[32] = {};
        LVCOLUMNA c{};
        c.mask = LVCF_TEXT;
        c.pszText = column;
        c.cchTextMax = sizeof column;
        ::SendMessageA(List(), LVM_GETCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
        EXPECT_STREQ(column, captions[i]);
    }

    // Double-click on Sales, twice: its users with their numbers among all children, its units
    // and containers below it, no node twice, the node expanded.
    const std::vector<Row> sales = {{1, "mueller", "\\\\fs\\profiles\\m\xC3\xBCller", " "},
                                    {2, "aplusb", " ", " "},
                                    {3, "quoted", " ", " "},
                                    {4, "slash", " ", " "}};
    for (int twice = 0; twice < 2; ++twice) {
        MouseOn(Find(kSalesPath), false, true);
        EXPECT_EQ(Rows(), sales);
        EXPECT_EQ(Children(Find(kSalesPath)), (std::vector<Node>{{"Archive", 4}, {"Europe", 1}, {"R&D/Lab", 1}}));
        EXPECT_TRUE(TreeView_GetItemState(Tree(), Find(kSalesPath), TVIS_EXPANDED) & TVIS_EXPANDED);
    }
    MouseOn(Find(kUsersPath), false, true);
    const std::vector<Row> users = {{1, "alice", "\\\\fs\\profiles\\alice", "\\\\ts\\profiles\\alice"},
                                    {2, "bob", " ", " "},
                                    {3, "carol", "\\\\fs\\profiles\\carol", " "},
                                    {4, "dave", " ", " "},  // damaged userParameters
                                    {5, "erin", " ", " "},
                                    {6, "frank", " ", "\\\\ts\\M\xC3\xBCller"},
                                    {7, "jsmith", "\\\\fs\\profiles\\jsmith", " "}};
    EXPECT_EQ(Rows(), users);

    // A release in the tree made the dialog, hidden, and sets its target; the right button
    // selects the node it is on, the menu opens Form1 on it, without an owner.
    MouseOn(Find(kUsersPath), false);
    ASSERT_NE(Form1(), nullptr);
    EXPECT_FALSE(::IsWindowVisible(Form1()));
    EXPECT_EQ(WindowText(Form1Item(IDC_FORM1_LABEL2)), kUsersPath);
    ChangeProfilePathOn(Find(kSalesPath));
    ASSERT_TRUE(::IsWindowVisible(Form1()));
    EXPECT_EQ(::GetWindow(Form1(), GW_OWNER), nullptr);
    EXPECT_EQ(WindowText(Form1()), "Change profile path");
    EXPECT_EQ(WindowText(Form1Item(IDC_FORM1_LABEL1)), "Change profile for");
    EXPECT_EQ(WindowText(Form1Item(IDC_FORM1_LABEL2)), kSalesPath);
    EXPECT_EQ(WindowText(Form1Item(IDC_FORM1_CHECK1)), "&Profile Path");
    EXPECT_EQ(WindowText(Form1Item(IDC_FORM1_CHECK2)), "&Terminalserver Profile Path");
    EXPECT_EQ(WindowText(Form1Item(IDC_FORM1_CHECK3)), "Process subcontainers &recursively");
    EXPECT_EQ(WindowText(Form1Item(IDOK)), "OK");
    EXPECT_EQ(WindowText(Form1Item(IDCANCEL)), "Cancel");
    // The tool tip of Check2.
    struct Search {
        HWND owner, tip;
    } search{Form1(), nullptr};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND w, LPARAM p) {
            auto* s = reinterpret_cast<Search*>(p);
            char cls[64] = {};
            ::GetClassNameA(w, cls, sizeof cls);
            if (std::string(cls) == TOOLTIPS_CLASSA && ::GetWindow(w, GW_OWNER) == s->owner) s->tip = w;
            return s->tip ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    HWND tip = search.tip;
    ASSERT_NE(tip, nullptr);
    wchar_t tipText[128] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.lpszText = tipText;
    ASSERT_TRUE(::SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(reinterpret_cast<HWND>(tool.uId), Form1Item(IDC_FORM1_CHECK2));
    EXPECT_EQ(Utf8(tipText), "This setting must be applied from a Windows 2003 or XP computer");

    // The dialog's keyboard through the program's message loop: Tab moves on, Esc hides.
    ::SetFocus(Form1Item(IDC_FORM1_CHECK1));
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    Pump(form.get());
    EXPECT_EQ(::GetFocus(), Form1Item(IDC_FORM1_TEXT1));
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump(form.get());
    EXPECT_FALSE(::IsWindowVisible(Form1()));

    // Recursively: trimmed profile path, terminal-server path as typed, units at any depth, not
    // the CN= container below, not the computer.  Enter is OK.
    ChangeProfilePathOn(Find(kSalesPath));
    SetForm(true, "  \\\\fs\\new  ", true, " \\\\ts\\new ", true);
    ::SetFocus(Form1Item(IDC_FORM1_TEXT2));
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    Pump(form.get());
    EXPECT_FALSE(::IsWindowVisible(Form1()));
    EXPECT_EQ(CountText(), "6 users changed, 0 not changed");
    const std::string both = "\\\\fs\\new| \\\\ts\\new ";
    for (const char* dn : {"CN=M\xC3\xBCller,OU=Sales,", "CN=A\\+B,OU=Sales,", "CN=Eve,OU=Europe,OU=Sales,",
                           "CN=Lab,OU=R&D/Lab,OU=Sales,"})
        EXPECT_EQ(Stored(dn + std::string(kDomain)), both) << dn;
    EXPECT_EQ(Stored(std::string("CN=Archived,CN=Archive,OU=Sales,") + kDomain), "-|-");
    EXPECT_EQ(Stored(std::string("CN=WS01,OU=Sales,") + kDomain), "-|-");

    // The dialog opens again with its entries.
    ChangeProfilePathOn(Find(kSalesPath));
    EXPECT_EQ(WindowText(Form1Item(IDC_FORM1_TEXT1)), "  \\\\fs\\new  ");
}

// The server stops while OK works through the domain recursively (10,006 users): the window
// goes on, the status bar counts what was not done, no user is half-written, and once the server
// is back the same change does everyone.
TEST_F(UsersTab, ServerStoppedDuringARecursiveChange) {
    static std::string folder;
    folder = UnixFolder();
    ChangeProfilePathOn(Find(kDomainPath));
    ASSERT_EQ(WindowText(Form1Item(IDC_FORM1_LABEL2)), kDomainPath);
    SetForm(true, "\\\\fs\\moved", true, "\\\\ts\\moved", true);
    // Runs inside the walk's message pump.
    ::SetTimer(nullptr, 0, 1000, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        Shell("kill $(cat " + folder + "/slapd.pid)");
    });
    PressOk();
    std::smatch m;
    const std::string count = CountText();
    ASSERT_TRUE(std::regex_match(count, m, std::regex(R"((\d+) users? changed, (\d+) not changed(, (\d+) containers? not read)?)")))
        << count;
    const int changed = std::stoi(m[1]), notChanged = std::stoi(m[2]), unread = m[4].matched ? std::stoi(m[4]) : 0;
    EXPECT_GT(changed, 0) << count;
    EXPECT_LT(changed, 10006) << count;
    EXPECT_GT(notChanged + unread, 0) << count;
    EXPECT_FALSE(::IsWindowVisible(Form1()));

    const std::string url = ServerUrl();
    ASSERT_TRUE(Eventually([] { return !ConnectLdap(ConnectionSettings{ServerUrl(), {}, {}}).outcome; }));
    ASSERT_TRUE(Shell("/usr/sbin/slapd -f " + folder + "/slapd.conf -h " + url + "/"));
    ASSERT_TRUE(Eventually([] { return static_cast<bool>(ConnectLdap(ConnectionSettings{ServerUrl(), {}, {}}).outcome); }));
    {
        auto c = ConnectLdap(ConnectionSettings{url, {}, {}});
        ASSERT_TRUE(c.outcome);
        int moved = 0, halves = 0;
        ASSERT_TRUE(directory::Directory(*c.client).Enumerate(std::string("LDAP://OU=Big,") + kDomain, {"user"},
                                                              [&](const directory::DirObject& u) {
                                                                  const bool p = u.profile == "\\\\fs\\moved";
                                                                  const bool t = u.tsProfilePath == "\\\\ts\\moved";
                                                                  moved += p && t;
                                                                  halves += p != t;
                                                                  return true;
                                                              }));
        EXPECT_EQ(halves, 0);
        EXPECT_LE(moved, changed);
    }

    ChangeProfilePathOn(Find(kDomainPath));
    PressOk();
    EXPECT_EQ(CountText(), "10006 users changed, 0 not changed");
}

}  // namespace
}  // namespace vela::testing
