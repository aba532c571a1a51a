#include "admin/window/testing/window_test.h"

#include <cstring>

#include "admin/directory/server_accounts.h"
#include "admin/store/server_enum_win32.h"
#include "admin/window/resource.h"

namespace vela::testing {

void Pump(frmConfig* form) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (form && form->TranslateDialogMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

class WindowTest::RecordingPrompts final : public Prompts {
public:
    explicit RecordingPrompts(WindowTest& test) : test_(test) {}
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& /*defaultText*/) override {
        test_.prompts.push_back({"input", prompt, title, false});
        if (test_.inputAnswers.empty()) return std::nullopt;
        auto answer = test_.inputAnswers.front();
        test_.inputAnswers.pop_front();
        return answer;
    }
    bool YesNo(const std::string& question, const std::string& title, Default byDefault) override {
        test_.prompts.push_back({"yesno", question, title, byDefault == Default::No});
        if (test_.questionAnswers.empty()) return false;
        const bool yes = test_.questionAnswers.front();
        test_.questionAnswers.pop_front();
        return yes;
    }

private:
    WindowTest& test_;
};

void WindowTest::SetUp() {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                     ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    ASSERT_TRUE(::InitCommonControlsEx(&classes));
    programFolder = temp / "prog";
    ::CreateDirectoryA(programFolder.c_str(), nullptr);
    ::CreateDirectoryA((temp / "cfg").c_str(), nullptr);
}

void WindowTest::TearDown() {
    form.reset();
    Pump();
}

BOOL WindowTest::Answer(const char* kind, OPENFILENAMEA& ofn) {
    DialogRecord r;
    r.kind = kind;
    r.owner = ofn.hwndOwner;
    if (const char* f = ofn.lpstrFilter) {
        size_t n = 0;
        while (f[n] || f[n + 1]) ++n;
        r.filter.assign(f, n + 2);
    }
    r.title = ofn.lpstrTitle ? ofn.lpstrTitle : "";
    r.initialFolder = ofn.lpstrInitialDir ? ofn.lpstrInitialDir : "";
    r.initialName = ofn.lpstrFile ? ofn.lpstrFile : "";
    r.flags = ofn.Flags;
    r.structSize = ofn.lStructSize;
    r.capacity = ofn.nMaxFile;
    r.defaultExtension = ofn.lpstrDefExt != nullptr;
    dialogs.push_back(r);

    if (dialogAnswers.empty()) return FALSE;
    const std::optional<std::string> answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    if (!answer || answer->size() + 1 > ofn.nMaxFile) return FALSE;  // what the platform does for both
    std::memcpy(ofn.lpstrFile, answer->c_str(), answer->size() + 1);
    return TRUE;
}

void WindowTest::Start(const std::string& commandTail) {
    FrameServices services;
    services.fileDialogs.getOpenFileName = [this](OPENFILENAMEA& o) { return Answer("open", o); };
    services.fileDialogs.getSaveFileName = [this](OPENFILENAMEA& o) { return Answer("save", o); };
    services.prompts = std::make_shared<RecordingPrompts>(*this);
    services.shellExecuteEx = [this](SHELLEXECUTEINFOA* info) {
        shellCalls.push_back(*info);
        shellFiles.push_back(info->lpFile ? info->lpFile : "");
        return TRUE;
    };
    services.unloadHive = [this](const std::function<void()>& pump) {
        events.push_back("unload");
        if (duringUnload) duringUnload(pump);
    };
    services.endProcess = [this] { events.push_back("end"); };
    services.onDestroyed = [] {};
    services.files = MakeFileSystem();
    services.servers = browseList ? browseList : servers;
    // The real directory and registries, as the program makes them, unless a test stands in.
    services.serverDirectory = serverDirectory ? serverDirectory
                                               : std::make_shared<vela::directory::DirectoryServers>(
                                                     vela::directory::LdapConnector());
    services.serverRegistry = serverRegistry ? serverRegistry : std::make_shared<RemoteServerRegistry>();
    // No directory unless a test names one: the window tests reach no network.
    services.directory = directory ? directory : [] {
        return vela::directory::Connection{nullptr, vela::directory::Failure(vela::directory::Fault::NoServer, "none")};
    };
    form = std::make_unique<frmConfig>(::GetModuleHandleA(nullptr), std::move(services));
    ASSERT_NE(form->Create(), nullptr);
    form->Form_Load(commandTail, programFolder);
    form->Show(SW_SHOWNORMAL);
    Pump(form.get());
}

void WindowTest::Click(int id) {
    ::SendMessageA(Control(id), BM_CLICK, 0, 0);
    Pump(form.get());
}

void WindowTest::Choose(int id, int index) {
    HWND combo = Control(id);
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageA(form->Page(0), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void WindowTest::Type(int id, const std::string& text) {
    HWND edit = Control(id);
    ::SendMessageA(edit, EM_SETSEL, 0, -1);
    ::SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

void WindowTest::Menu(const std::string& caption) {
    HMENU file = ::GetSubMenu(::GetMenu(form->hwnd()), 0);
    ASSERT_NE(file, nullptr);
    for (int i = 0; i < ::GetMenuItemCount(file); ++i) {
        char text[64] = {};
        ::GetMenuStringA(file, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        std::string plain;
        for (const char* c = text; *c; ++c)
            if (*c != '&') plain += *c;
        if (plain == caption) {
            ::SendMessageA(form->hwnd(), WM_COMMAND, MAKEWPARAM(::GetMenuItemID(file, i), 0), 0);
            Pump(form.get());
            return;
        }
    }
    ADD_FAILURE() << "no File menu item " << caption;
}

void WindowTest::ClickTab(int index) {
    HWND tab = SSTab1();
    RECT item{};
    ASSERT_TRUE(::SendMessageA(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    ::SendMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageA(tab, WM_LBUTTONUP, 0, at);
    Pump(form.get());
}

void WindowTest::PressF5() {
    ::SetFocus(SSTab1());
    ::PostMessageA(SSTab1(), WM_KEYDOWN, VK_F5, 0x003F0001);
    ::PostMessageA(SSTab1(), WM_KEYUP, VK_F5, static_cast<LPARAM>(0xC03F0001u));
    Pump(form.get());
}

void WindowTest::Press(int tab, int id) {
    ::SendMessageA(Control(tab, id), BM_CLICK, 0, 0);
    Pump(form.get());
}

void WindowTest::DropDownAndPick(int tab, int id, const std::string& text) {
    HWND combo = Control(tab, id);
    ::SendMessageA(form->Page(tab), WM_COMMAND, MAKEWPARAM(id, CBN_DROPDOWN), reinterpret_cast<LPARAM>(combo));
    const LRESULT at = ::SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_NE(at, CB_ERR) << text << " is not listed";
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    ::SendMessageA(form->Page(tab), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    Pump(form.get());
}

void WindowTest::PickListEntry(int tab, int id, const std::string& text) {
    HWND list = Control(tab, id);
    const LRESULT at = ::SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_NE(at, LB_ERR) << text << " is not listed";
    ::SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    ::SendMessageA(form->Page(tab), WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    Pump(form.get());
}

int WindowTest::CheckState(int id) const { return static_cast<int>(::SendMessageA(Control(id), BM_GETCHECK, 0, 0)); }

std::string WindowTest::ComboText(int id) const {
    HWND combo = Control(id);
    const LRESULT i = ::SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (i == CB_ERR) return {};
    std::string text(static_cast<size_t>(::SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)) + 1, '\0');
    ::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string WindowTest::StatusText() const {
    HWND bar = StatusBar();
    std::string text(LOWORD(::SendMessageA(bar, SB_GETTEXTLENGTHA, 0, 0)) + 1u, '\0');
    ::SendMessageA(bar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::strlen(text.c_str()));
    return text;
}

}  // namespace vela::testing
