// The "Servers" tab's wiring in the real window: a scripted enumeration that lists this computer
// (which Wine's registry connects to by name) and a name that never answers, the real registry
// behind both, the list's check boxes worked by the keyboard, F5 in the list, the context menu and
// the installer package entries.  The rules themselves are tested natively (admin/store,
// admin/packages).
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <utility>

#include "admin/store/server_enum_win32.h"
#include "admin/win32/text.h"
#include "admin/window/resource.h"
#include "admin/window/testing/window_test.h"

namespace vela::testing {
namespace {

constexpr int kServersTab = 2;
// Outside the ANSI code page: the name must survive the list, the registry call and the status bar.
constexpr char kUnreachable[] = "VELA-NOWHERE-\xCE\xA9";

std::string OwnName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    ::GetComputerNameA(name, &size);
    return name;
}

// This computer's ServerType, read and removed directly.
std::optional<std::string> LocalServerType() {
    char data[256] = {};
    DWORD size = sizeof data, type = 0;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, kServerTypeKey, kServerTypeValue, RRF_RT_REG_SZ, &type, data, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::string(data);
}
void SetLocalServerType(const char* type) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyA(HKEY_LOCAL_MACHINE, kServerTypeKey, &key), ERROR_SUCCESS);
    if (type) {
        ::RegSetValueExA(key, kServerTypeValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(type),
                         static_cast<DWORD>(std::strlen(type) + 1));
    } else {
        ::RegDeleteValueA(key, kServerTypeValue);
    }
    ::RegCloseKey(key);
}

// The real registries, with every write recorded: the scan must write nothing.
class RecordingRegistry final : public ServerRegistry {
public:
    std::vector<std::pair<std::string, std::string>> writes;
    int reads = 0;
    std::function<void()> onRead;
    ServerTypeRead ReadServerType(const std::string& server) override {
        ++reads;
        if (onRead) onRead();
        return real_.ReadServerType(server);
    }
    bool WriteServerType(const std::string& server, const std::string& type) override {
        writes.emplace_back(server, type);
        return real_.WriteServerType(server, type);
    }

private:
    RemoteServerRegistry real_;
};

// The popup menu open now: its entries; closes it.  Runs from a timer inside the menu's loop.
struct MenuReader {
    static inline std::vector<std::string> entries;
    static inline bool seen = false;
    static void CALLBACK Read(HWND, UINT, UINT_PTR id, DWORD) {
        HWND popup = ::FindWindowA("#32768", nullptr);
        if (!popup || !::IsWindowVisible(popup)) return;
        ::KillTimer(nullptr, id);
        seen = true;
        entries.clear();
        HMENU menu = reinterpret_cast<HMENU>(::SendMessageA(popup, MN_GETHMENU, 0, 0));
        for (int i = 0; menu && i < ::GetMenuItemCount(menu); ++i) {
            char text[128] = {};
            ::GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
            entries.push_back(text);
        }
        ::EndMenu();
    }
};

class ServersTab : public WindowTest {
protected:
    std::string cfg, own = OwnName();
    std::shared_ptr<RecordingRegistry> registry = std::make_shared<RecordingRegistry>();

    void SetUp() override {
        WindowTest::SetUp();
        cfg = temp / "cfg\\framework.ini";
        WriteBytes(cfg, "[MAIN]\r\n");
        serverRegistry = registry;
        servers->names = {own, kUnreachable};
    }
    void TearDown() override {
        WindowTest::TearDown();
        SetLocalServerType(nullptr);
    }
    HWND List() const { return Control(kServersTab, IDC_LISTVIEW2); }
    void ShowServers() {
        ClickTab(kServersTab);
        ASSERT_EQ(ShownTab(), kServersTab);
    }
    // Each row: name | server type column | "x" when checked.
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        const int n = ListView_GetItemCount(List());
        for (int i = 0; i < n; ++i) {
            wchar_t name[64] = {}, type[64] = {};
            for (auto [column, text] : {std::pair{0, name}, std::pair{1, type}}) {
                LVITEMW item{};
                item.iSubItem = column;
                item.pszText = text;
                item.cchTextMax = 64;
                ::SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            }
            rows.push_back(win32::Utf8(name) + "|" + win32::Ansi(type).value_or("<not ANSI>") +
                           (ListView_GetCheckState(List(), i) ? "|x" : "|"));
        }
        return rows;
    }
    // The status bar's text, UTF-8.
    std::string WideStatusText() const {
        wchar_t text[256] = {};
        ::SendMessageW(StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return win32::Utf8(text);
    }
    void PostF5ToList() {
        ::PostMessageA(List(), WM_KEYDOWN, VK_F5, 0x003F0001);
        ::PostMessageA(List(), WM_KEYUP, VK_F5, static_cast<LPARAM>(0xC03F0001u));
    }
    // The space bar on row `row`, as a user toggles its check box.
    void Toggle(int row) {
        ListView_SetItemState(List(), row, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
        ::SetFocus(List());
        ::PostMessageA(List(), WM_KEYDOWN, VK_SPACE, 0x00390001);
        ::PostMessageA(List(), WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
        Pump(form.get());
    }
    std::vector<std::string> Columns() const {
        std::vector<std::string> headers;
        for (int i = 0; i < Header_GetItemCount(ListView_GetHeader(List())); ++i) {
            wchar_t text[64] = {};
            LVCOLUMNW c{};
            c.mask = LVCF_TEXT;
            c.pszText = text;
            c.cchTextMax = 64;
            ::SendMessageW(List(), LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
            headers.push_back(win32::Ansi(text).value_or("<not ANSI>"));
        }
        return headers;
    }
    // The context menu's entries after a right click on the list.
    std::vector<std::string> ContextMenu() {
        MenuReader::seen = false;
        MenuReader::entries.clear();
        ::SetTimer(nullptr, 0, 50, &MenuReader::Read);
        RECT r{};
        ::GetClientRect(List(), &r);
        const LPARAM at = MAKELPARAM(r.right / 2, r.bottom - 10);
        ::PostMessageA(List(), WM_RBUTTONDOWN, MK_RBUTTON, at);
        ::PostMessageA(List(), WM_RBUTTONUP, 0, at);
        Pump(form.get());
        EXPECT_TRUE(MenuReader::seen) << "no context menu";
        return MenuReader::entries;
    }
};

TEST_F(ServersTab, TheScanMarksTicksWriteAndCheckMarksTellWhatTheServersHold) {
    SetLocalServerType("Web");
    Start(cfg);
    ::CreateDirectoryA((temp / "cfg\\ProfileSettings\\WEB").c_str(), nullptr);
    ShowServers();
    EXPECT_EQ(Rows(), (std::vector<std::string>{own + "||", std::string(kUnreachable) + "||"}));
    EXPECT_EQ(StatusText(), "2 servers from the browse list");

    const std::string down = std::string(kUnreachable) + "|(not reachable)|";
    const char* const listing = "2 servers from the browse list";
    enum Status { Same, Failure, NoPick, Listing };  // the status bar afterwards
    const struct {
        const char* step;
        const char* pick;  // Combo5's entry to pick first, "" to drop it and close it unpicked, or null
        int toggle;        // the row the user toggles, or -1
        bool f5;           // F5 in the list last
        std::vector<std::string> rows;
        std::vector<std::pair<std::string, std::string>> writes;
        std::optional<std::string> held;  // this computer's ServerType afterwards
        Status status;
    } steps[] = {
        {"the scan, another letter case", "WEB", -1, false, {own + "|Web|x", down}, {}, "Web", Same},
        {"cleared", nullptr, 0, false, {own + "||", down}, {{own, ""}}, "", Same},
        {"ticked", nullptr, 0, false, {own + "|WEB|x", down}, {{own, "WEB"}}, "WEB", Same},
        {"an unreachable server keeps no mark", nullptr, 1, false, {own + "|WEB|x", down}, {{kUnreachable, "WEB"}},
         "WEB", Failure},
        {"a new pick replaces the failure", "WEB", -1, false, {own + "|WEB|x", down}, {}, "WEB", Listing},
        {"F5 marks for the type still shown", nullptr, -1, true, {own + "|WEB|x", down}, {}, "WEB", Listing},
        {"the box refilled, nothing picked: no marks", "", -1, false, {own + "|WEB|", down}, {}, "WEB", Listing},
        {"no type picked: a tick writes nothing", nullptr, 0, false, {own + "|WEB|", down}, {}, "WEB", NoPick},
        {"F5 with no type picked marks nothing", nullptr, -1, true, {own + "||", std::string(kUnreachable) + "||"}, {},
         "WEB", Listing},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        registry->writes.clear();
        const std::string status = StatusText();
        if (s.pick && *s.pick) DropDownAndPick(kServersTab, IDC_COMBO5, s.pick);
        if (s.pick && !*s.pick) {
            HWND combo = Control(kServersTab, IDC_COMBO5);
            for (int code : {CBN_DROPDOWN, CBN_CLOSEUP})
                ::SendMessageA(form->Page(kServersTab), WM_COMMAND, MAKEWPARAM(IDC_COMBO5, code),
                               reinterpret_cast<LPARAM>(combo));
            Pump(form.get());
        }
        if (s.toggle >= 0) Toggle(s.toggle);
        if (s.f5) {
            PostF5ToList();
            Pump(form.get());
        }
        EXPECT_EQ(Rows(), s.rows);
        EXPECT_EQ(registry->writes, s.writes);
        EXPECT_EQ(LocalServerType(), s.held);
        switch (s.status) {
        case Same: EXPECT_EQ(StatusText(), status); break;
        case Failure: EXPECT_NE(WideStatusText().find(kUnreachable), std::string::npos) << WideStatusText(); break;
        case NoPick: EXPECT_EQ(StatusText().rfind("No server type is picked", 0), 0u) << StatusText(); break;
        case Listing: EXPECT_EQ(StatusText(), listing); break;
        }
    }
}

// The scan lets the window work between two servers: F5 pressed while the first server is read
// refills the list, and the scan ends there instead of marking the new rows from old answers; the
// refill's own scan marks them for the type still shown.
TEST_F(ServersTab, F5DuringTheScanRefillsTheListAndEndsTheScan) {
    SetLocalServerType("Web");
    Start(cfg);
    ::CreateDirectoryA((temp / "cfg\\ProfileSettings\\Web").c_str(), nullptr);
    ShowServers();
    servers->names = {kUnreachable, own};  // the refill's order differs
    registry->onRead = [&] {
        if (registry->reads == 1) PostF5ToList();
    };
    DropDownAndPick(kServersTab, IDC_COMBO5, "Web");
    EXPECT_EQ(registry->reads, 3);  // the first server, then both again
    EXPECT_EQ(servers->calls, 2);
    EXPECT_EQ(Rows(), (std::vector<std::string>{std::string(kUnreachable) + "|(not reachable)|", own + "|Web|x"}));
    EXPECT_TRUE(registry->writes.empty());
}

// No browse list (NetServerEnum fails with 6118): the directory named by VELA_DIRECTORY lists its
// enabled server accounts, the status bar says so, and ticking this computer writes its type.
TEST_F(ServersTab, WithoutABrowseListTheDirectorysServerAccountsAreListed) {
    const char* folder = std::getenv("VELA_TEST_DIRECTORY");
    ASSERT_TRUE(folder && *folder) << "no test directory: run under ctest";
    std::string url;
    std::getline(std::ifstream("Z:" + std::string(folder) + "/url"), url);
    ASSERT_FALSE(url.empty());
    ASSERT_EQ(::_putenv_s("VELA_DIRECTORY", url.c_str()), 0);
    NetApi noBrowser;
    noBrowser.serverEnum = [](LMCSTR, DWORD, LPBYTE* buffer, DWORD, LPDWORD read, LPDWORD total, DWORD, LMCSTR,
                              LPDWORD) -> NET_API_STATUS {
        *buffer = nullptr;
        *read = *total = 0;
        return ERROR_NO_BROWSER_SERVERS_FOUND;
    };
    browseList = std::make_shared<NetServerEnumerator>(noBrowser);
    Start(cfg);
    ::CreateDirectoryA((temp / "cfg\\ProfileSettings\\Web").c_str(), nullptr);
    ShowServers();
    ::_putenv_s("VELA_DIRECTORY", "");
    EXPECT_EQ(Rows(), (std::vector<std::string>{own + "||", "srv01.example.test||"}));
    EXPECT_EQ(StatusText(), "2 servers from the directory");

    DropDownAndPick(kServersTab, IDC_COMBO5, "Web");
    Toggle(0);
    EXPECT_EQ(Rows(), (std::vector<std::string>{own + "|Web|x", "srv01.example.test|(not reachable)|"}));
    EXPECT_EQ(LocalServerType(), "Web");
}

TEST_F(ServersTab, PackagesOfTheProgramFolderBecomeMenuEntriesAndColumnsOnce) {
    WriteBytes(programFolder + "\\Office.msi", "");
    WriteBytes(programFolder + "\\Tools.MSI", "");
    WriteBytes(programFolder + "\\readme.txt", "");
    Start(cfg);
    const std::vector<std::string> both{"Change Server Type", "Install Office", "Install Tools"};
    const std::vector<std::string> columns{"Server name", "Server Type", "Office", "Tools"};
    ShowServers();
    EXPECT_EQ(ContextMenu(), both);
    ClickTab(0);
    ShowServers();
    EXPECT_EQ(ContextMenu(), both);
    EXPECT_EQ(Columns(), columns);
    for (int i = 2; i < 4; ++i) {  // each package's column shows its whole name
        const std::wstring header = win32::WideFromAnsi(columns[static_cast<std::size_t>(i)]);
        const auto needed = ::SendMessageW(List(), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(header.c_str()));
        EXPECT_GT(ListView_GetColumnWidth(List(), i), needed) << columns[static_cast<std::size_t>(i)];
    }

    // Office gone: Tools takes the first entry; the second entry and both columns stay.
    ::DeleteFileA((programFolder + "\\Office.msi").c_str());
    ClickTab(0);
    ShowServers();
    EXPECT_EQ(ContextMenu(), (std::vector<std::string>{"Change Server Type", "Install Tools", "Install Tools"}));
    EXPECT_EQ(Columns(), columns);
}

}  // namespace
}  // namespace vela::testing
