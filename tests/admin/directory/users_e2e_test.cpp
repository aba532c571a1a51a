// VelaConfig.exe against a directory named through VELA_DIRECTORY, worked from outside as an
// administrator would: the "User Configuration" tab, a double-click on the OU of 10,000 users,
// the right button's "Change profile path", both paths typed into Form1 and OK.  The outcome is
// read back from the directory.  The times of the listing and of the change are printed for
// tools/benchmark-users, which sets them against ldapsearch and ldapmodify.
//
// The program's tree and list live in another process: their items are read through memory
// allocated in that process, the way any outside tool reads a common control.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "admin/directory/directory.h"
#include "admin/directory/user_parameters.h"
#include "admin/win32/text.h"
#include "admin/window/testing/driver.h"
#include "admin/window/testing/support.h"

namespace {

namespace d = vela::testing;
namespace dir = vela::directory;

const std::string kProgramExe = vela::testing::WinPath(VELA_CONFIG_EXE);
const std::string kFakeRegDir = vela::testing::ParentOf(vela::testing::WinPath(VELA_FAKE_REG_EXE));
const std::string kBig = "OU=Big,DC=example,DC=test";
constexpr int kBigUsers = 10000;

// A file of the test directory's folder (tools/test-directory), its first line.
std::string FolderFile(const char* name) {
    const auto folder = vela::testing::GetEnv("VELA_TEST_DIRECTORY");
    if (!folder) return {};
    std::ifstream in("Z:" + *folder + "/" + name);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string ServerUrl() { return FolderFile("url"); }

dir::Connection Connect() { return dir::ConnectLdap(dir::ConnectionSettings{ServerUrl(), {}, {}}); }

std::string Utf8(const wchar_t* w) { return vela::win32::Utf8(w); }

// A block of memory in the program's process, for the control messages that carry pointers.
class Remote {
public:
    Remote(DWORD pid, size_t size)
        : process_(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid)),
          at_(process_ ? static_cast<char*>(::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE))
                       : nullptr) {}
    ~Remote() {
        if (at_) ::VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
        if (process_) ::CloseHandle(process_);
    }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;

    [[nodiscard]] bool ok() const { return at_ != nullptr; }
    [[nodiscard]] char* at(size_t offset = 0) const { return at_ + offset; }
    bool Write(const void* data, size_t n, size_t offset = 0) const {
        return ::WriteProcessMemory(process_, at_ + offset, data, n, nullptr) != 0;
    }
    bool Read(void* data, size_t n, size_t offset = 0) const {
        return ::ReadProcessMemory(process_, at_ + offset, data, n, nullptr) != 0;
    }
    // Sends `msg` with the remote block's address as lParam.
    LRESULT Send(HWND w, UINT msg, WPARAM wp) const {
        DWORD_PTR r = 0;
        ::SendMessageTimeoutW(w, msg, wp, reinterpret_cast<LPARAM>(at_), SMTO_NORMAL, 10000, &r);
        return static_cast<LRESULT>(r);
    }

private:
    HANDLE process_;
    char* at_;
};

LRESULT Send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(w, msg, wp, lp, SMTO_NORMAL, 10000, &r);
    return static_cast<LRESULT>(r);
}

class UsersE2E : public ::testing::Test {
protected:
    void SetUp() override {
        url_ = ServerUrl();
        ASSERT_FALSE(url_.empty()) << "no test directory: run under ctest or tools/benchmark-users";
        cfg_ = temp_ / "framework.ini";
        ASSERT_TRUE(vela::testing::WriteWholeFile(cfg_, "[MAIN]\r\n"));
        if (FolderFile("kind") != "samba") Start(url_);
    }
    void TearDown() override {
        if (app_ && app_->Running()) app_->Kill();
    }
    // Starts the program on the directory at `url`, as `user` when one is given.
    void Start(const std::string& url, const std::string& user = {}, const std::string& password = {}) {
        if (app_ && app_->Running()) app_->Kill();
        ::SetEnvironmentVariableA("VELA_DIRECTORY", url.c_str());
        ::SetEnvironmentVariableA("VELA_DIRECTORY_USER", user.empty() ? nullptr : user.c_str());
        ::SetEnvironmentVariableA("VELA_DIRECTORY_PASSWORD", user.empty() ? nullptr : password.c_str());
        app_ = d::Process::Start(kProgramExe, "\"" + cfg_ + "\"", kFakeRegDir);
        ASSERT_TRUE(app_.has_value());
        main_ = d::WaitForTopLevel(app_->id(), "Vela Profile Administration");
        ASSERT_NE(main_, nullptr);
    }
    // The "User Configuration" tab, as a person reaches it from the keyboard: Ctrl+Tab three
    // times; its tree, the user list beside it and the status bar.
    void OpenUsersTab(HWND& tree, HWND& list, HWND& bar) {
        ASSERT_TRUE(d::Activate(main_));
        for (int i = 0; i < 3; ++i) d::PressKey(VK_TAB, VK_CONTROL);
        tree = d::FindByClass(main_, "SysTreeView32");
        // The user list beside the tree: the Servers tab has a list view of its own.
        list = tree ? ::FindWindowExA(::GetParent(tree), nullptr, "SysListView32", nullptr) : nullptr;
        bar = d::FindByClass(main_, "msctls_statusbar32");
        ASSERT_TRUE(tree && list && bar);
    }
    // Waits until the domain's nodes stop moving (the domain is listed node by node).
    bool DomainListed(HWND tree, LRESULT atLeast) const {
        LRESULT nodes = 0;
        return d::WaitFor([&] {
            const LRESULT before = nodes;
            ::Sleep(300);
            nodes = Send(tree, TVM_GETCOUNT);
            return nodes >= atLeast && nodes == before;
        });
    }
    // Double-clicks the node until it is the selected one (a click the tree took for another
    // node is repeated).
    bool DoubleClick(HWND tree, HTREEITEM item) const {
        const auto selected = [&] { return reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET)) == item; };
        for (int attempt = 0; attempt < 3; ++attempt) {
            MouseAt(ItemCentre(tree, item), false, 2);
            if (d::WaitFor(selected, 2000)) return true;
        }
        return false;
    }
    // One click on the node, which selects it and puts the focus in the tree.
    bool Select(HWND tree, HTREEITEM item) const {
        const auto selected = [&] { return reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET)) == item; };
        for (int attempt = 0; attempt < 3; ++attempt) {
            MouseAt(ItemCentre(tree, item), false, 1);
            if (d::WaitFor(selected, 2000) && d::WaitFor([&] { return FocusOf(tree) == tree; }, 2000)) return true;
        }
        return false;
    }
    // The focus of the thread that owns `window`.
    static HWND FocusOf(HWND window) {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
    }
    // The popup menu a key opens, open or not.
    bool PopupAfterKey(WORD vk, WORD modifier = 0) const {
        d::PressKey(vk, modifier);
        return d::WaitFor([&] { return !d::TopLevelWindows(app_->id(), "#32768").empty(); }, 5000);
    }
    // The right button on the node, "Change profile path" from the popup with the keyboard.  The
    // main window is brought forward first (a hidden Form1 leaves no window active), and a
    // release the popup did not follow is repeated.
    // The node's "User" popup, its item `position` (1: "Change profile path", 2: "Undo last
    // change") chosen.  False when the popup did not open.
    bool ChooseFromUserMenu(HWND tree, HTREEITEM item, int position) const {
        d::Activate(main_);
        // The node selected first: the release takes the selected node as the dialog's target.
        const auto selected = [&] { return reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET)) == item; };
        for (int attempt = 0; attempt < 3 && !selected(); ++attempt) {
            MouseAt(ItemCentre(tree, item), false, 1);
            d::WaitFor(selected, 2000);
        }
        if (!selected()) return false;
        bool popup = false;
        for (int attempt = 0; attempt < 3 && !popup; ++attempt) {
            MouseAt(ItemCentre(tree, item), true, 1);
            popup = d::WaitFor([&] { return !d::TopLevelWindows(app_->id(), "#32768").empty(); }, 3000);
        }
        if (!popup) return false;
        for (int i = 0; i < position; ++i) d::PressKey(VK_DOWN);
        d::PressKey(VK_RETURN);
        return true;
    }

    HWND OpenForm1(HWND tree, HTREEITEM item) const {
        return ChooseFromUserMenu(tree, item, 1) ? d::WaitForTopLevel(app_->id(), "Change profile path") : nullptr;
    }

    std::string ItemText(HWND tree, HTREEITEM item) const {
        Remote mem(app_->id(), sizeof(TVITEMW) + 512);
        TVITEMW data{};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = reinterpret_cast<wchar_t*>(mem.at(sizeof(TVITEMW)));
        data.cchTextMax = 256;
        wchar_t text[256] = {};
        if (!mem.ok() || !mem.Write(&data, sizeof data) || !mem.Send(tree, TVM_GETITEMW, 0) ||
            !mem.Read(text, sizeof text - sizeof(wchar_t), sizeof(TVITEMW)))
            return {};
        return Utf8(text);
    }
    // Depth first through the expanded tree.
    HTREEITEM FindItem(HWND tree, const std::string& text, HTREEITEM from = nullptr) const {
        for (HTREEITEM i = from ? from : reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_ROOT)); i;
             i = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(i)))) {
            if (ItemText(tree, i) == text) return i;
            if (auto child = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(i))))
                if (HTREEITEM found = FindItem(tree, text, child)) return found;
        }
        return nullptr;
    }
    POINT ItemCentre(HWND tree, HTREEITEM item) const {
        Remote mem(app_->id(), sizeof(RECT));
        RECT r{};
        std::memcpy(&r, &item, sizeof item);  // TVM_GETITEMRECT takes the item in the rectangle
        mem.Write(&r, sizeof r);
        mem.Send(tree, TVM_GETITEMRECT, TRUE);
        mem.Read(&r, sizeof r);
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ::ClientToScreen(tree, &p);
        return p;
    }
    std::string RowText(HWND list, int row, int column) const {
        Remote mem(app_->id(), sizeof(LVITEMW) + 1024);
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(mem.at(sizeof(LVITEMW)));
        item.cchTextMax = 512;
        wchar_t text[512] = {};
        if (!mem.ok() || !mem.Write(&item, sizeof item)) return {};
        mem.Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row));
        mem.Read(text, sizeof text - sizeof(wchar_t), sizeof(LVITEMW));
        return Utf8(text);
    }
    // The status bar's count without the journal it names after a change.
    std::string CountPart(HWND bar) const {
        const std::string count = StatusPart(bar, 1);
        return count.substr(0, count.find("; journal: "));
    }
    std::string StatusPart(HWND bar, int part) const {
        Remote mem(app_->id(), 1024);
        wchar_t text[512] = {};
        mem.Send(bar, SB_GETTEXTW, static_cast<WPARAM>(part));
        mem.Read(text, sizeof text - sizeof(wchar_t));
        return Utf8(text);
    }
    // The mouse through the input queue: one or two clicks of the left or right button.
    static void MouseAt(POINT p, bool right, int clicks) {
        ::SetCursorPos(p.x, p.y);
        for (int i = 0; i < clicks; ++i) {
            INPUT in[2] = {};
            in[0].type = in[1].type = INPUT_MOUSE;
            in[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
            in[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
            ::SendInput(2, in, sizeof(INPUT));
        }
    }
    // Sends a harmless message every 20 ms until `done`; the longest answer, in ms.
    double ResponsiveUntil(const std::function<bool()>& done, double& seconds) const {
        const auto start = std::chrono::steady_clock::now();
        double worst = 0;
        while (!done()) {
            const auto t = std::chrono::steady_clock::now();
            DWORD_PTR r = 0;
            EXPECT_TRUE(::SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r)) << "the window hangs";
            worst = std::max(worst, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count());
            if (std::chrono::steady_clock::now() - start > std::chrono::minutes(5)) break;
            ::Sleep(20);
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return worst;
    }

    vela::testing::TempFolder temp_;
    std::string url_, cfg_;
    std::optional<d::Process> app_;
    HWND main_ = nullptr;
};

TEST_F(UsersE2E, ListsTheBigOUAndChangesBothPathsOfAllItsUsers) {
    if (FolderFile("kind") == "samba") GTEST_SKIP() << "the slapd test directory's case";
    HWND tree = nullptr, list = nullptr, bar = nullptr;
    OpenUsersTab(tree, list, bar);
    ASSERT_TRUE(DomainListed(tree, 7)) << "the domain was not listed";
    const HTREEITEM big = FindItem(tree, "Big");
    ASSERT_NE(big, nullptr);

    // The listing of 10,000 users, the window answering all along; from the keyboard, Enter
    // lists the selected container as a double click does.
    double listing = 0;
    ASSERT_TRUE(Select(tree, big)) << "the click did not reach Big";
    d::PressKey(VK_RETURN);
    const double listingWorst = ResponsiveUntil(
        [&] { return Send(list, LVM_GETITEMCOUNT) == kBigUsers && RowText(list, kBigUsers - 1, 0) == "u10000"; },
        listing);
    ASSERT_EQ(Send(list, LVM_GETITEMCOUNT), kBigUsers);
    EXPECT_EQ(RowText(list, 0, 0), "u00001");

    // Shift+F10 and the Menu key open the node's popup as the right button does; its item opens
    // Form1 on the node.
    ASSERT_EQ(FocusOf(tree), tree);
    ASSERT_TRUE(PopupAfterKey(VK_F10, VK_SHIFT)) << "Shift+F10 opened no popup";
    d::PressKey(VK_ESCAPE);
    ASSERT_TRUE(d::WaitFor([&] { return d::TopLevelWindows(app_->id(), "#32768").empty(); }));
    EXPECT_TRUE(d::TopLevelWindows(app_->id(), "Change profile path").empty());
    ASSERT_TRUE(PopupAfterKey(VK_APPS)) << "the Menu key opened no popup";
    d::PressKey(VK_DOWN);
    d::PressKey(VK_RETURN);
    const HWND form1 = d::WaitForTopLevel(app_->id(), "Change profile path");
    ASSERT_NE(form1, nullptr);
    EXPECT_EQ(d::TextOf(d::FindControlAfter(form1, "Change profile for", "Static")), "LDAP://" + kBig);
    const HWND check1 = d::FindControl(form1, "Button", "Profile Path");
    const HWND check2 = d::FindControl(form1, "Button", "Terminalserver Profile Path");
    ASSERT_TRUE(check1 && check2);
    ASSERT_TRUE(d::Click(check1));
    ASSERT_TRUE(d::TypeInto(d::FindControlAfter(form1, "Profile Path", "Edit"), "  \\\\fs2\\p  "));
    ASSERT_TRUE(d::Click(check2));
    ASSERT_TRUE(d::TypeInto(d::FindControlAfter(form1, "Terminalserver Profile Path", "Edit"), "\\\\ts2\\p "));

    double change = 0;
    ASSERT_TRUE(d::Click(d::FindControl(form1, "Button", "OK")));
    const double changeWorst = ResponsiveUntil([&] { return !::IsWindowVisible(form1); }, change);
    EXPECT_EQ(CountPart(bar), "10000 users changed, 0 not changed");

    std::printf("BENCHMARK listing_s=%.3f change_s=%.3f listing_worst_ms=%.0f change_worst_ms=%.0f\n", listing, change,
                listingWorst, changeWorst);

    // Read back: every user of Big holds both paths, the profile path trimmed.
    auto c = Connect();
    ASSERT_TRUE(c.outcome);
    int users = 0, right = 0;
    ASSERT_TRUE(dir::Directory(*c.client).Enumerate("LDAP://" + kBig, {"user"}, [&](const dir::DirObject& u) {
        ++users;
        right += u.profile == "\\\\fs2\\p" && u.tsProfilePath == "\\\\ts2\\p ";
        return true;
    }));
    EXPECT_EQ(users, kBigUsers);
    EXPECT_EQ(right, kBigUsers);
}

// A change of OU=Sales, the list showing the new paths, "Undo last change" from the node's popup
// putting them back, a click on the UserID header sorting and a second reversing, and "Export
// list..." from the list's popup writing the rows as shown to a CSV file.
TEST_F(UsersE2E, ChangeUndoAndExportOfOneContainer) {
    if (FolderFile("kind") == "samba") GTEST_SKIP() << "the slapd test directory's case";
    HWND tree = nullptr, list = nullptr, bar = nullptr;
    OpenUsersTab(tree, list, bar);
    ASSERT_TRUE(DomainListed(tree, 7)) << "the domain was not listed";
    const HTREEITEM sales = FindItem(tree, "Sales");
    ASSERT_NE(sales, nullptr);
    // userID -> profile path as the list shows them.
    const auto rows = [&] {
        std::map<std::string, std::string> out;
        for (int row = 0, n = static_cast<int>(Send(list, LVM_GETITEMCOUNT)); row < n; ++row)
            out[RowText(list, row, 0)] = RowText(list, row, 1);
        return out;
    };
    ASSERT_TRUE(DoubleClick(tree, sales));
    ASSERT_TRUE(d::WaitFor([&] { return rows().contains("mueller"); })) << "Sales is not listed";
    const auto before = rows();
    ASSERT_EQ(before.size(), 4u);

    HWND form1 = OpenForm1(tree, sales);
    ASSERT_NE(form1, nullptr);
    ASSERT_TRUE(d::Click(d::FindControl(form1, "Button", "Profile Path")));
    ASSERT_TRUE(d::TypeInto(d::FindControlAfter(form1, "Profile Path", "Edit"), "\\\\fs4\\p"));
    ASSERT_TRUE(d::Click(d::FindControl(form1, "Button", "OK")));
    ASSERT_TRUE(d::WaitFor([&] { return !::IsWindowVisible(form1); }, 60000));
    const std::string count = StatusPart(bar, 1);
    EXPECT_EQ(CountPart(bar), "4 users changed, 0 not changed");
    const std::string journal = count.substr(std::min(count.size(), count.find("; journal: ") + 11));
    EXPECT_NE(journal.find("\\Vela\\Changes\\"), std::string::npos) << count;
    std::ifstream journalFile(journal, std::ios::binary);
    const std::string ldif((std::istreambuf_iterator<char>(journalFile)), std::istreambuf_iterator<char>());
    EXPECT_NE(ldif.find("changetype: modify"), std::string::npos) << journal;
    EXPECT_TRUE(d::WaitFor([&] {
        const auto now = rows();
        return now.size() == 4 && std::all_of(now.begin(), now.end(), [](const auto& r) { return r.second == "\\\\fs4\\p"; });
    })) << "the list was not read again";

    // "Undo last change": the second item of the node's popup.
    ASSERT_TRUE(ChooseFromUserMenu(tree, sales, 2));
    EXPECT_TRUE(d::WaitFor([&] { return StatusPart(bar, 1) == "4 users restored"; }, 60000)) << StatusPart(bar, 1);
    EXPECT_TRUE(d::WaitFor([&] { return rows() == before; })) << "the list does not show the paths put back";

    // The UserID header: ascending, then descending.
    const HWND header = d::FindByClass(list, "SysHeader32");
    ASSERT_NE(header, nullptr);
    Remote mem(app_->id(), sizeof(RECT));
    RECT r{};
    ASSERT_TRUE(mem.Send(header, HDM_GETITEMRECT, 0) && mem.Read(&r, sizeof r));
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(header, &at);
    MouseAt(at, false, 1);
    EXPECT_TRUE(d::WaitFor([&] { return RowText(list, 0, 0) == "aplusb"; })) << RowText(list, 0, 0);
    ::Sleep(600);  // not a double click
    MouseAt(at, false, 1);
    EXPECT_TRUE(d::WaitFor([&] { return RowText(list, 0, 0) == "slash"; })) << RowText(list, 0, 0);

    // "Export list...": the list's popup from the keyboard (Shift+F10), its one item, the save dialog.
    ASSERT_TRUE(d::Click(list));
    d::PressKey(VK_F10, VK_SHIFT);
    ASSERT_TRUE(d::WaitFor([&] { return !d::TopLevelWindows(app_->id(), "#32768").empty(); }, 5000)) << "no popup on the list";
    d::PressKey(VK_DOWN);
    d::PressKey(VK_RETURN);
    const HWND save = d::WaitForTopLevel(app_->id(), "Export list");
    ASSERT_NE(save, nullptr);
    const std::string csvFile = temp_ / "users.csv";
    ASSERT_TRUE(d::AcceptFileDialog(save, csvFile));
    std::string csv;
    EXPECT_TRUE(d::WaitFor([&] {
        std::ifstream in(csvFile, std::ios::binary);
        csv.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return csv.find("aplusb") != std::string::npos;
    })) << "no CSV written";
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBFUserID,ProfilePath,TSProfilePath,DN\r\nslash,", 0), 0u) << csv;
    EXPECT_NE(csv.find("\r\nmueller," + before.at("mueller") + ","), std::string::npos) << "the name is not whole: " << csv;
    // The DN cn=\"Quoted\",ou=Sales,... quoted whole, its quotation marks doubled.
    std::string lower = csv;
    for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    EXPECT_NE(lower.find(",\"cn=\\\"\"quoted\\\"\",ou=sales,dc=example,dc=test\"\r\n"), std::string::npos) << csv;
}

// Runs a /bin/sh command line on the host and returns what it printed.  Wine starts a Unix
// program but gives no handle to wait on: the output goes to a file in `folder` that appears
// whole when the command is done.  Text for the command travels in the environment.
std::string HostOutput(const std::string& folder, const std::string& command) {
    const std::string out = folder + "/host-output";
    ::DeleteFileA(("Z:" + out).c_str());
    std::string line = "Z:\\bin\\sh -c \"(" + command + ") >" + out + ".part 2>&1; mv " + out + ".part " + out + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return {};
    if (pi.hThread) ::CloseHandle(pi.hThread);
    if (pi.hProcess) ::CloseHandle(pi.hProcess);
    std::string text;
    d::WaitFor([&] {
        std::ifstream in("Z:" + out, std::ios::binary);
        if (!in) return false;
        text.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return true;
    }, 30000);
    return text;
}

// Against a real domain controller (tools/test-directory start --samba): over ldaps:// its
// certificate, which Wine's root store cannot be told to trust, is said not to be trusted; over
// ldap:// (signed and sealed) a wrong password and a missing logon are said, and bound as a domain
// user the program shows the tree, the users with the terminal-server paths the domain's own tools
// wrote, changes a container recursively (read back over ldaps:// by another client), says why
// the terminal-server path was refused, and lists the domain's servers on the Servers tab.
TEST_F(UsersE2E, RealDomainController) {
    if (FolderFile("kind") != "samba") GTEST_SKIP() << "needs the domain controller";
    const std::string ldaps = FolderFile("ldaps-url"), user = FolderFile("user"), password = FolderFile("password");
    const auto folder = vela::testing::GetEnv("VELA_TEST_DIRECTORY");
    ASSERT_TRUE(folder && !ldaps.empty() && !user.empty());
    HWND tree = nullptr, list = nullptr, bar = nullptr;
    const auto statusSays = [&](const std::string& words) {
        return d::WaitFor([&] { return StatusPart(bar, 0).find(words) != std::string::npos; }, 20000);
    };
    const struct {
        std::string url, user, password, says;
    } refusals[] = {
        {ldaps, user, password, "certificate is not trusted"},
        {url_, user, password + "x", "the logon was refused: wrong user name or password"},
        {url_, "", "", "the directory wants a logon"},
    };
    for (const auto& r : refusals) {
        Start(r.url, r.user, r.password);
        OpenUsersTab(tree, list, bar);
        EXPECT_TRUE(statusSays(r.says)) << r.url << ": " << StatusPart(bar, 0);
    }

    Start(url_, user, password);
    OpenUsersTab(tree, list, bar);
    ASSERT_TRUE(DomainListed(tree, 7)) << "the domain was not listed: " << StatusPart(bar, 0);
    EXPECT_EQ(ItemText(tree, FindItem(tree, "example")), "example");
    const HTREEITEM users = FindItem(tree, "Users"), big = FindItem(tree, "Big"), sales = FindItem(tree, "Sales");
    ASSERT_TRUE(users && big && sales);

    ASSERT_TRUE(DoubleClick(tree, users));
    std::string aliceTs;
    ASSERT_TRUE(d::WaitFor([&] {
        for (int row = 0, n = static_cast<int>(Send(list, LVM_GETITEMCOUNT)); row < n; ++row)
            if (RowText(list, row, 0) == "alice") aliceTs = RowText(list, row, 2);
        return !aliceTs.empty();
    })) << "alice is not listed";
    EXPECT_EQ(aliceTs, "\\\\ts\\profiles\\alice");

    const int bigUsers = std::stoi(FolderFile("big-users"));
    ASSERT_TRUE(DoubleClick(tree, big));
    EXPECT_TRUE(d::WaitFor([&] { return Send(list, LVM_GETITEMCOUNT) == bigUsers; }, 60000))
        << Send(list, LVM_GETITEMCOUNT) << " rows, past the server's page of 1000";

    // Sales and the units below it as another client reads them over ldaps://: each account's
    // profile path (none: empty).
    ::SetEnvironmentVariableA("VELA_READ_USER", user.c_str());
    ::SetEnvironmentVariableA("VELA_READ_PASSWORD", password.c_str());
    const auto readSales = [&] {
        return HostOutput(*folder, "LDAPTLS_CACERT=" + *folder + "/ca.pem ldapsearch -x -LLL -o ldif-wrap=no -H " + ldaps +
                                       " -D \\\"$VELA_READ_USER\\\" -w \\\"$VELA_READ_PASSWORD\\\" -b OU=Sales,DC=example,DC=test "
                                       "'(objectClass=user)' sAMAccountName profilePath");
    };
    const auto profilePaths = [](const std::string& ldif) {
        std::map<std::string, std::string> paths;
        std::string account, path;
        std::istringstream in(ldif + "\n\n");
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("sAMAccountName: ", 0) == 0) account = line.substr(16);
            if (line.rfind("profilePath: ", 0) == 0) path = line.substr(13);
            if (line.empty() && !account.empty()) paths[std::exchange(account, {})] = std::exchange(path, {});
        }
        return paths;
    };
    const auto salesBefore = profilePaths(readSales());
    ASSERT_GE(salesBefore.size(), 7u);

    // The profile path of every user of Sales and the units below it.
    HWND form1 = OpenForm1(tree, sales);
    ASSERT_NE(form1, nullptr);
    ASSERT_EQ(d::TextOf(d::FindControlAfter(form1, "Change profile for", "Static")), "LDAP://OU=Sales,DC=example,DC=test");
    ASSERT_TRUE(d::Click(d::FindControl(form1, "Button", "Profile Path")));
    ASSERT_TRUE(d::TypeInto(d::FindControlAfter(form1, "Profile Path", "Edit"), "\\\\fs3\\p"));
    ASSERT_TRUE(d::Click(d::FindControl(form1, "Button", "Process subcontainers recursively")));
    ASSERT_TRUE(d::Click(d::FindControl(form1, "Button", "OK")));
    ASSERT_TRUE(d::WaitFor([&] { return !::IsWindowVisible(form1); }, 60000));
    EXPECT_EQ(CountPart(bar), "6 users changed, 0 not changed");

    // The terminal-server path as well: the domain controller refuses it over LDAP, and says so.
    form1 = OpenForm1(tree, sales);
    ASSERT_NE(form1, nullptr);
    ASSERT_TRUE(d::Click(d::FindControl(form1, "Button", "Terminalserver Profile Path")));
    ASSERT_TRUE(d::TypeInto(d::FindControlAfter(form1, "Terminalserver Profile Path", "Edit"), "\\\\ts3\\p"));
    ASSERT_TRUE(d::Click(d::FindControl(form1, "Button", "OK")));
    ASSERT_TRUE(d::WaitFor([&] { return !::IsWindowVisible(form1); }, 60000));
    EXPECT_EQ(CountPart(bar), "0 users changed, 6 not changed: the directory refused the change (constraint violation)");

    // Read back over ldaps:// by another client: the units' users have the new path, the user in
    // the CN= container below Sales does not.
    const std::string read = readSales();
    int moved = 0;
    for (std::size_t at = 0; (at = read.find("profilePath: \\\\fs3\\p\n", at)) != std::string::npos; ++at) ++moved;
    EXPECT_EQ(moved, 6) << read;
    EXPECT_NE(read.find("sAMAccountName: archived"), std::string::npos) << read;
    EXPECT_NE(read.find("sAMAccountName: WS01$"), std::string::npos) << "the computer is listed too: " << read;

    // "Undo last change" passes over the refused run, which wrote nobody, and puts back the
    // paths of the six: Sales reads as it did before.
    ASSERT_TRUE(ChooseFromUserMenu(tree, sales, 2));
    EXPECT_TRUE(d::WaitFor([&] { return StatusPart(bar, 1) == "6 users restored"; }, 60000)) << StatusPart(bar, 1);
    EXPECT_EQ(profilePaths(readSales()), salesBefore);

    // The Servers tab (Ctrl+Tab turns round to it): no browse list here, so the domain's
    // enabled server accounts.
    for (int i = 0; i < 3; ++i) d::PressKey(VK_TAB, VK_CONTROL);
    EXPECT_TRUE(statusSays("2 servers from the directory")) << StatusPart(bar, 0);
}

}  // namespace
