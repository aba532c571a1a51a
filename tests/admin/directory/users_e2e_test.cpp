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
#include <string>

#include "admin/directory/directory.h"
#include "admin/directory/user_parameters.h"
#include "tests/admin/window/driver.h"
#include "tests/admin/window/test_support.h"

namespace {

namespace d = vela::driver;
namespace dir = vela::directory;

const std::string kProgramExe = vela::test::WinPath(VELA_CONFIG_EXE);
const std::string kFakeRegDir = vela::test::ParentOf(vela::test::WinPath(VELA_FAKE_REG_EXE));
const std::string kBig = "OU=Big,DC=example,DC=test";
constexpr int kBigUsers = 10000;

std::string ServerUrl() {
    const auto folder = vela::test::GetEnv("VELA_TEST_DIRECTORY");
    if (!folder) return {};
    std::ifstream in("Z:" + *folder + "/url");
    std::string line;
    std::getline(in, line);
    return line;
}

dir::Connection Connect() { return dir::ConnectLdap(dir::ConnectionSettings{ServerUrl(), {}, {}}); }

std::string Utf8(const wchar_t* w) {
    std::wstring s(w);
    return dir::UnitsToUtf8(std::u16string(s.begin(), s.end()));
}

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
        ASSERT_TRUE(vela::test::WriteWholeFile(cfg_, "[MAIN]\r\n"));
        ::SetEnvironmentVariableA("VELA_DIRECTORY", url_.c_str());
        app_ = d::Process::Start(kProgramExe, "\"" + cfg_ + "\"", kFakeRegDir);
        ASSERT_TRUE(app_.has_value());
        main_ = d::WaitForTopLevel(app_->id(), "Vela Profile Administration");
        ASSERT_NE(main_, nullptr);
    }
    void TearDown() override {
        if (app_ && app_->Running()) app_->Kill();
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
    // The tab, as a person reaches it from the keyboard: Ctrl+Tab three times.
    ASSERT_TRUE(d::Activate(main_));
    for (int i = 0; i < 3; ++i) d::PressKey(VK_TAB, VK_CONTROL);
    const HWND tree = d::FindByClass(main_, "SysTreeView32");
    // The user list beside the tree: the Servers tab has a list view of its own.
    const HWND list = tree ? ::FindWindowExA(::GetParent(tree), nullptr, "SysListView32", nullptr) : nullptr;
    const HWND bar = d::FindByClass(main_, "msctls_statusbar32");
    ASSERT_TRUE(tree && list && bar);
    // The domain is listed node by node: its nodes move until the listing ends.
    LRESULT nodes = 0;
    ASSERT_TRUE(d::WaitFor([&] {
        const LRESULT before = nodes;
        ::Sleep(300);
        nodes = Send(tree, TVM_GETCOUNT);
        return nodes >= 7 && nodes == before;
    })) << "the domain was not listed";
    const HTREEITEM big = FindItem(tree, "Big");
    ASSERT_NE(big, nullptr);

    // The listing of 10,000 users, the window answering all along.  The double click must land
    // on Big (it becomes the selected node); a click the tree took for another node is repeated.
    double listing = 0;
    const auto selected = [&] { return reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET)) == big; };
    for (int attempt = 0; attempt < 3; ++attempt) {
        MouseAt(ItemCentre(tree, big), false, 2);
        if (d::WaitFor(selected, 2000)) break;
    }
    ASSERT_TRUE(selected()) << "the double click did not reach Big";
    const double listingWorst = ResponsiveUntil(
        [&] { return Send(list, LVM_GETITEMCOUNT) == kBigUsers && RowText(list, kBigUsers - 1, 0) == "u10000"; },
        listing);
    ASSERT_EQ(Send(list, LVM_GETITEMCOUNT), kBigUsers);
    EXPECT_EQ(RowText(list, 0, 0), "u00001");

    // The right button on Big, "Change profile path" from the popup with the keyboard.
    MouseAt(ItemCentre(tree, big), true, 1);
    ASSERT_TRUE(d::WaitFor([&] { return !d::TopLevelWindows(app_->id(), "#32768").empty(); })) << "no popup menu";
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
    EXPECT_EQ(StatusPart(bar, 1), "10000 users changed, 0 not changed");

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

}  // namespace
