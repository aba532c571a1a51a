// The "User Configuration" tab and Form1 wired into the real window, against a test directory
// of their own (tools/test-directory, started by CTest): the tree, the list and the changer
// driven through their controls, and the server stopped in the middle of a recursive change.
// What the tab and the walk decide is tested natively (admin/directory).
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <thread>

#include "admin/directory/directory.h"
#include "admin/directory/user_parameters.h"
#include "admin/win32/text.h"
#include "admin/window/resource.h"
#include "admin/window/testing/window_test.h"

namespace vela::testing {
namespace {

using directory::ConnectLdap;
using directory::ConnectionSettings;

constexpr int kUsersTab = 3;
const std::string kDomain = "DC=example,DC=test";
const std::string kDomainPath = "LDAP://" + kDomain;
const std::string kSalesPath = "LDAP://OU=Sales," + kDomain;
const std::string kUsersPath = "LDAP://CN=Users," + kDomain;

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

directory::Connection Connect() { return ConnectLdap(ConnectionSettings{ServerUrl(), {}, {}}); }

// Starts a /bin/sh script on the host; Wine gives no handle to wait on, so callers poll.
void Shell(const std::string& script) {
    std::string cmd = "Z:\\bin\\sh -c \"" + script + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
}

bool Eventually(const std::function<bool()>& done) {
    for (int k = 0; k < 100; ++k, std::this_thread::sleep_for(std::chrono::milliseconds(100)))
        if (done()) return true;
    return false;
}

std::string Utf8(const wchar_t* w) { return win32::Utf8(w); }

// A user as the directory holds it: "profile|ts", "-" for not set.
std::string Stored(const std::string& dn) {
    auto c = Connect();
    directory::DirObject o;
    if (!c.outcome || !directory::Directory(*c.client).Bind("LDAP://" + dn + "," + kDomain, o)) return "unread";
    return o.profile.value_or("-") + "|" + o.tsProfilePath.value_or("-");
}

class UsersTab : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_FALSE(UnixFolder().empty()) << "no test directory: run under ctest";
        directory = Connect;
        WriteBytes(temp / "cfg\\framework.ini", "[MAIN]\r\n");
        Start(temp / "cfg\\framework.ini");
        ClickTab(kUsersTab);
    }
    HWND Tree() const { return Control(kUsersTab, IDC_TREEVIEW1); }
    HWND List() const { return Control(kUsersTab, IDC_LISTVIEW1); }
    HWND Form1() const { return FrameProbe::Form1(*form); }
    HWND Form1Item(int id) const { return ::GetDlgItem(Form1(), id); }
    HTREEITEM Find(const std::string& key) const { return FrameProbe::Users(*form).ItemOf(key); }

    // "text:image" of the item's children (of the top level when null).
    std::vector<std::string> Children(HTREEITEM parent) const {
        std::vector<std::string> out;
        for (HTREEITEM i = parent ? TreeView_GetChild(Tree(), parent) : TreeView_GetRoot(Tree()); i;
             i = TreeView_GetNextSibling(Tree(), i)) {
            wchar_t text[256] = {};
            TVITEMW data{};
            data.mask = TVIF_TEXT | TVIF_IMAGE;
            data.hItem = i;
            data.pszText = text;
            data.cchTextMax = 256;
            ::SendMessageW(Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
            out.push_back(Utf8(text) + ":" + std::to_string(data.iImage));
        }
        return out;
    }
    // "id|profile|ts:image" of every row, as the list reports it.
    std::vector<std::string> Rows() const {
        std::vector<std::string> out;
        for (int i = 0; i < ListView_GetItemCount(List()); ++i) {
            std::string row;
            for (int c = 0; c < 3; ++c) {
                wchar_t text[260] = {};
                LVITEMW item{};
                item.iSubItem = c;
                item.pszText = text;
                item.cchTextMax = 260;
                ::SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
                if (c) row += '|';
                row += Utf8(text);
            }
            LVITEMW image{};
            image.mask = LVIF_IMAGE;
            image.iItem = i;
            ::SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&image));
            out.push_back(row + ":" + std::to_string(image.iImage));
        }
        return out;
    }
    // The mouse on a node as the tree sees it: the release is queued before the press, which the
    // tree follows until the button comes up.
    void MouseOn(HTREEITEM item, bool right, bool twice = false) {
        RECT r{};
        ASSERT_TRUE(item && TreeView_GetItemRect(Tree(), item, &r, TRUE));
        POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        const LPARAM at = MAKELPARAM(centre.x, centre.y);
        ::ClientToScreen(Tree(), &centre);
        ::SetCursorPos(centre.x, centre.y);  // where the right button's handling finds the node
        for (int n = twice ? 2 : 1, i = 0; i < n; ++i) {
            ::PostMessageW(Tree(), right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
            ::SendMessageW(Tree(), right ? WM_RBUTTONDOWN : i ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN,
                           right ? MK_RBUTTON : MK_LBUTTON, at);
        }
        Pump(form.get());
    }
    // The right button on `item`, then "Change profile path" chosen from the popup by keyboard.
    void ChangeProfilePathOn(HTREEITEM item) {
        ::SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
            ::KillTimer(nullptr, id);
            for (BYTE key : {VK_DOWN, VK_RETURN}) {
                ::keybd_event(key, 0, 0, 0);
                ::keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
            }
        });
        ::SetForegroundWindow(form->hwnd());
        MouseOn(item, true);
        Pump(form.get());
    }
    void SetForm(const std::string& t1, const std::string& t2, bool c3) {
        for (int id : {IDC_FORM1_CHECK1, IDC_FORM1_CHECK2, IDC_FORM1_CHECK3})
            ::SendMessageW(Form1Item(id), BM_SETCHECK, id != IDC_FORM1_CHECK3 || c3 ? BST_CHECKED : BST_UNCHECKED, 0);
        ::SetWindowTextA(Form1Item(IDC_FORM1_TEXT1), t1.c_str());
        ::SetWindowTextA(Form1Item(IDC_FORM1_TEXT2), t2.c_str());
    }
    void Key(WPARAM key) {
        ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 0);
        Pump(form.get());
    }
    // The count without the journal it names after a change.
    std::string CountText() const {
        char text[2048] = {};
        ::SendMessageA(StatusBar(), SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
        const std::string count = text;
        return count.substr(0, count.find("; journal: "));
    }
};

TEST_F(UsersTab, TreeListAndChangerThroughTheirControls) {
    EXPECT_EQ(Children(nullptr), std::vector<std::string>{"Active Directory:3"});
    EXPECT_EQ(Children(TreeView_GetRoot(Tree())), std::vector<std::string>{"example:2"});
    EXPECT_EQ(Children(Find(kDomainPath)),
              (std::vector<std::string>{"Users:4", "Computers:4", "Sales:1", "Empty:1", "Big:1"}));
    EXPECT_TRUE(TreeView_GetItemState(Tree(), Find(kDomainPath), TVIS_EXPANDED) & TVIS_EXPANDED);
    for (int i = 0; i < 3; ++i) {
        char column[32] = {};
        LVCOLUMNA c{};
        c.mask = LVCF_TEXT;
        c.pszText = column;
        c.cchTextMax = sizeof column;
        ::SendMessageA(List(), LVM_GETCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
        EXPECT_STREQ(column, (std::vector<const char*>{"UserID", "ProfilePath", "TSProfilePath"}[i]));
    }

    // Double-click: the container's users, its units and containers below its node, expanded.
    EXPECT_EQ(Form1(), nullptr);
    MouseOn(Find(kSalesPath), false, true);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"mueller|\\\\fs\\profiles\\m\xC3\xBCller| :7", "aplusb| | :7",
                                                "quoted| | :7", "slash| | :7"}));
    EXPECT_EQ(Children(Find(kSalesPath)), (std::vector<std::string>{"Archive:4", "Europe:1", "R&D/Lab:1"}));
    EXPECT_TRUE(TreeView_GetItemState(Tree(), Find(kSalesPath), TVIS_EXPANDED) & TVIS_EXPANDED);

    // A release made the dialog, hidden, with its target; the right button selects the node it is
    // on and "Change profile path" shows the dialog on it, without an owner.
    MouseOn(Find(kUsersPath), false);
    ASSERT_NE(Form1(), nullptr);
    EXPECT_FALSE(::IsWindowVisible(Form1()));
    EXPECT_EQ(WindowText(Form1Item(IDC_FORM1_LABEL2)), kUsersPath);
    ChangeProfilePathOn(Find(kSalesPath));
    ASSERT_TRUE(::IsWindowVisible(Form1()));
    EXPECT_EQ(::GetWindow(Form1(), GW_OWNER), nullptr);
    RECT main{}, dialog{};
    ::GetWindowRect(form->hwnd(), &main);
    ::GetWindowRect(Form1(), &dialog);
    EXPECT_LE(std::abs((main.left + main.right) - (dialog.left + dialog.right)), 2) << "centred on the main window";
    EXPECT_LE(std::abs((main.top + main.bottom) - (dialog.top + dialog.bottom)), 2);
    const std::pair<int, const char*> captions[] = {
        {0, "Change profile path"},        {IDC_FORM1_LABEL1, "Change profile for"},
        {IDC_FORM1_LABEL2, kSalesPath.c_str()}, {IDC_FORM1_CHECK1, "&Profile Path"},
        {IDC_FORM1_CHECK2, "&Terminalserver Profile Path"}, {IDC_FORM1_CHECK3, "Process subcontainers &recursively"},
        {IDOK, "OK"},                      {IDCANCEL, "Cancel"}};
    for (const auto& [id, caption] : captions) EXPECT_EQ(WindowText(id ? Form1Item(id) : Form1()), caption);
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
    wchar_t tip[128] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.lpszText = tip;
    ASSERT_TRUE(search.tip && ::SendMessageW(search.tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(reinterpret_cast<HWND>(tool.uId), Form1Item(IDC_FORM1_CHECK2));
    EXPECT_EQ(Utf8(tip), "This setting must be applied from a Windows 2003 or XP computer");

    // Its keyboard through the program's message loop: Tab moves on, Esc hides, Enter is OK.
    ::SetFocus(Form1Item(IDC_FORM1_CHECK1));
    Key(VK_TAB);
    EXPECT_EQ(::GetFocus(), Form1Item(IDC_FORM1_TEXT1));
    Key(VK_ESCAPE);
    EXPECT_FALSE(::IsWindowVisible(Form1()));
    ChangeProfilePathOn(Find(kSalesPath));
    SetForm("  \\\\fs\\new  ", " \\\\ts\\new ", true);
    ::SetFocus(Form1Item(IDC_FORM1_TEXT2));
    Key(VK_RETURN);
    EXPECT_FALSE(::IsWindowVisible(Form1()));
    EXPECT_EQ(CountText(), "6 users changed, 0 not changed");
    EXPECT_EQ(Stored("CN=Eve,OU=Europe,OU=Sales"), "\\\\fs\\new| \\\\ts\\new ");
    EXPECT_EQ(Stored("CN=Archived,CN=Archive,OU=Sales"), "-|-");
    ChangeProfilePathOn(Find(kSalesPath));
    EXPECT_EQ(WindowText(Form1Item(IDC_FORM1_TEXT1)), "  \\\\fs\\new  ") << "opens again with its entries";
    // The count belongs to the listing it was made on: the next listing takes it away.
    MouseOn(Find(kSalesPath), false, true);
    EXPECT_EQ(CountText(), "");
}

// The server stops while OK works through the domain recursively (10,006 users): the window
// goes on, the status bar counts what was not done, no user is half-written, and once the server
// is back the same change does everyone.
TEST_F(UsersTab, ServerStoppedDuringARecursiveChange) {
    ChangeProfilePathOn(Find(kDomainPath));
    ASSERT_EQ(WindowText(Form1Item(IDC_FORM1_LABEL2)), kDomainPath);
    SetForm("\\\\fs\\moved", "\\\\ts\\moved", true);
    ::SetTimer(nullptr, 0, 1000, [](HWND, UINT, UINT_PTR id, DWORD) {  // runs in the walk's pump
        ::KillTimer(nullptr, id);
        Shell("kill $(cat " + UnixFolder() + "/slapd.pid)");
    });
    ::SendMessageW(Form1Item(IDOK), BM_CLICK, 0, 0);
    std::smatch m;
    const std::string count = CountText();
    ASSERT_TRUE(std::regex_match(count, m, std::regex(R"((\d+) users? changed, (\d+) not changed(, (\d+) containers? not read)?: the directory server could not be reached or stopped answering)")))
        << count;
    const int changed = std::stoi(m[1]);
    EXPECT_GT(changed, 0) << count;
    EXPECT_GT(std::stoi(m[2]) + (m[4].matched ? std::stoi(m[4]) : 0), 0) << count;

    ASSERT_TRUE(Eventually([] { return !Connect().outcome; }));
    Shell("/usr/sbin/slapd -f " + UnixFolder() + "/slapd.conf -h " + ServerUrl() + "/");
    ASSERT_TRUE(Eventually([] { return static_cast<bool>(Connect().outcome); }));
    auto c = Connect();
    int moved = 0, halves = 0;
    ASSERT_TRUE(directory::Directory(*c.client).Enumerate("LDAP://OU=Big," + kDomain, {"user"}, [&](const auto& u) {
        const bool p = u.profile == "\\\\fs\\moved", t = u.tsProfilePath == "\\\\ts\\moved";
        moved += p && t;
        halves += p != t;
        return true;
    }));
    EXPECT_EQ(halves, 0);
    EXPECT_LE(moved, changed);

    ChangeProfilePathOn(Find(kDomainPath));
    ::SendMessageW(Form1Item(IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(CountText(), "10006 users changed, 0 not changed");
}

}  // namespace
}  // namespace vela::testing
