// The pages' wiring in the real window: the "Profile Settings" and "Servers" tabs on a real
// store, the prompts, the shell call of "Permissions", label mnemonics on every tab, resizing
// and the status bar.  The rules themselves are tested natively (admin/store).
#include <cstring>

#include "admin/store/settings_files.h"
#include "admin/window/prompts_win32.h"
#include "admin/window/resource.h"
#include "admin/window/testing/window_test.h"

namespace vela::testing {
namespace {

constexpr int kSettingsTab = 1, kServersTab = 2;

std::vector<std::string> Items(HWND w, bool combo) {
    std::vector<std::string> all;
    const LRESULT n = ::SendMessageA(w, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char text[260] = {};
        ::SendMessageA(w, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        all.push_back(text);
    }
    return all;
}

RECT Placed(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    return r;
}

class Pages : public WindowTest {
protected:
    std::string cfg, store;
    void SetUp() override {
        WindowTest::SetUp();
        cfg = temp / "cfg\\framework.ini";
        store = temp / "cfg\\ProfileSettings";
        WriteBytes(cfg, "[MAIN]\r\n");
    }
    void ShowTab(int tab) {
        ClickTab(tab);
        ASSERT_EQ(ShownTab(), tab);
    }
    std::string EditorText() { return WindowText(Control(kSettingsTab, IDC_TEXT3)); }
};

// What the tabs do to the store is tested natively and end to end; here the controls' wiring:
// the prompt, both boxes filled by one drop-down, the list following Combo1, the editor, Save and
// the record that reaches the shell.
TEST_F(Pages, BothTabsAreWiredToTheirStoreCommands) {
    Start(cfg);  // the load made the store root
    WriteBytes(store + "\\root.INI", "r");
    ::CreateDirectoryA((store + "\\Web").c_str(), nullptr);
    WriteBytes(store + "\\Web\\office.INI", "[Header]\nVersion=1");

    ShowTab(kServersTab);
    inputAnswers = {std::string("Citrix")};
    Press(kServersTab, IDC_COMMAND4);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].title + "|" + prompts[0].text, "New server type|Server type name:");
    EXPECT_TRUE(FolderExists(store + "\\Citrix"));
    DropDownAndPick(kServersTab, IDC_COMBO5, "Web");
    EXPECT_EQ(Items(Control(kSettingsTab, IDC_COMBO1), true).size(), 3u) << "Combo1 was not refilled";

    ShowTab(kSettingsTab);
    HWND list = Control(kSettingsTab, IDC_FILE1);
    DropDownAndPick(kSettingsTab, IDC_COMBO1, "(DEFAULT)");
    EXPECT_EQ(Items(list, false), std::vector<std::string>{"root.INI"});
    DropDownAndPick(kSettingsTab, IDC_COMBO1, "Web");
    EXPECT_EQ(Items(list, false), std::vector<std::string>{"office.INI"});
    PickListEntry(kSettingsTab, IDC_FILE1, "office.INI");
    EXPECT_EQ(EditorText(), "[Header]\r\nVersion=1");
    Press(kSettingsTab, IDC_COMMAND9);  // unchanged: the stored bytes, bare LF and all
    const std::string office = store + "\\Web\\office.INI";
    EXPECT_EQ(ReadBytes(office), "[Header]\nVersion=1");
    HWND editor = Control(kSettingsTab, IDC_TEXT3);
    ::SendMessageA(editor, EM_SETSEL, 0, -1);
    ::SendMessageA(editor, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("[Header]\r\nVersion=2"));
    Press(kSettingsTab, IDC_COMMAND9);
    EXPECT_EQ(ReadBytes(office), "[Header]\r\nVersion=2");

    Press(kSettingsTab, IDC_COMMAND10);
    ASSERT_EQ(shellCalls.size(), 1u);
    const SHELLEXECUTEINFOA& call = shellCalls[0];
    EXPECT_EQ(call.cbSize, sizeof(SHELLEXECUTEINFOA));
    EXPECT_EQ(call.fMask, 0x44Cu);
    EXPECT_EQ(call.hwnd, form->hwnd());
    EXPECT_STREQ(call.lpVerb, "properties");
    EXPECT_EQ(shellFiles[0], office);
    EXPECT_STREQ(call.lpParameters, "");
    EXPECT_STREQ(call.lpDirectory, "");
    EXPECT_EQ(call.nShow, 0);
}

TEST_F(Pages, AFileInAnotherEncodingIsShownReadOnlyAndNotWritten) {
    Start(cfg);
    const std::string utf16("\xFF\xFE[\0a\0]\0\r\0\n\0x\0=\0\xE9\0", 18);
    WriteBytes(store + "\\wide.INI", utf16);
    ShowTab(kSettingsTab);
    DropDownAndPick(kSettingsTab, IDC_COMBO1, "(DEFAULT)");
    PickListEntry(kSettingsTab, IDC_FILE1, "wide.INI");
    HWND editor = Control(kSettingsTab, IDC_TEXT3);
    wchar_t shown[32] = {};
    ::GetWindowTextW(editor, shown, 32);
    EXPECT_STREQ(shown, L"[a]\r\nx=\xE9");
    EXPECT_TRUE(::GetWindowLongPtrA(editor, GWL_STYLE) & ES_READONLY);
    // On a read-only edit's grey, not the tab's texture.
    const auto background = [&] {
        HDC dc = ::GetDC(editor);
        const auto brush = ::SendMessageA(form->Page(kSettingsTab), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                          reinterpret_cast<LPARAM>(editor));
        const COLORREF bk = ::GetBkColor(dc);
        ::ReleaseDC(editor, dc);
        return brush == reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_3DFACE)) && bk == ::GetSysColor(COLOR_3DFACE);
    };
    EXPECT_TRUE(background());
    ::SendMessageA(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("typed"));
    ::SendMessageA(editor, EM_SETMODIFY, TRUE, 0);
    Press(kSettingsTab, IDC_COMMAND9);
    EXPECT_EQ(ReadBytes(store + "\\wide.INI"), utf16);
    EXPECT_EQ(StatusText(), "\"wide.INI\" is not ANSI text: it is shown read-only and not saved.");
    // A file with the read-only attribute: read-only too, and a save says why it wrote nothing.
    WriteBytes(store + "\\plain.INI", "p");
    WriteBytes(store + "\\marked.INI", "m");
    ASSERT_TRUE(::SetFileAttributesA((store + "\\marked.INI").c_str(), FILE_ATTRIBUTE_READONLY));
    DropDownAndPick(kSettingsTab, IDC_COMBO1, "(DEFAULT)");  // lists them
    PickListEntry(kSettingsTab, IDC_FILE1, "marked.INI");
    EXPECT_EQ(EditorText(), "m");
    EXPECT_TRUE(::GetWindowLongPtrA(editor, GWL_STYLE) & ES_READONLY);
    Press(kSettingsTab, IDC_COMMAND9);
    EXPECT_EQ(StatusText(), "\"marked.INI\" is marked read-only: it is not saved.");
    ::SetFileAttributesA((store + "\\marked.INI").c_str(), FILE_ATTRIBUTE_NORMAL);
    // An ANSI file makes the editor writable again, on its usual background.
    PickListEntry(kSettingsTab, IDC_FILE1, "plain.INI");
    EXPECT_FALSE(::GetWindowLongPtrA(editor, GWL_STYLE) & ES_READONLY);
    // A saved file gives the status bar back to the frame.
    Press(kSettingsTab, IDC_COMMAND9);
    EXPECT_EQ(StatusText().find("not saved"), std::string::npos) << StatusText();
    // A name the plain-name rule refuses is said, not dropped.
    inputAnswers = {"a:b"};
    Press(kSettingsTab, IDC_COMMAND1);
    EXPECT_EQ(StatusText(), "No settings file was made: \"a:b.INI\" cannot be a file name: it holds :, which no name "
                            "may hold (\\ / : * ? \" < > |).");
}

TEST_F(Pages, TheEditorHoldsAndTakesMoreThanSeveralMegabytes) {
    Start(cfg);
    std::string big;
    while (big.size() < 3u * 1024 * 1024) big += "HKCU\\Software\\Vela\\Some\\Long\\Key=1234567890\r\n";
    WriteBytes(store + "\\big.INI", big);
    ShowTab(kSettingsTab);
    DropDownAndPick(kSettingsTab, IDC_COMBO1, "(DEFAULT)");
    PickListEntry(kSettingsTab, IDC_FILE1, "big.INI");
    HWND editor = Control(kSettingsTab, IDC_TEXT3);
    EXPECT_EQ(static_cast<size_t>(::GetWindowTextLengthA(editor)), big.size());
    // Typing is not cut off at the edit's default limit either.
    EXPECT_GT(static_cast<size_t>(::SendMessageA(editor, EM_GETLIMITTEXT, 0, 0)), 2 * big.size());
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrA(editor, GWL_STYLE));
    EXPECT_TRUE((style & WS_HSCROLL) && (style & WS_VSCROLL) && (style & ES_AUTOHSCROLL)) << "word wrap or no scroll bars";
}

// Alt and a label's letter moves the focus to the control after the label, on every tab.
TEST_F(Pages, LabelMnemonicsMoveTheFocusOnEveryTab) {
    Start(cfg);
    const struct {
        int tab;
        char key;
        int focused;
    } cases[] = {
        {0, 'p', IDC_COMBO2}, {0, 'd', IDC_TEXT2}, {0, 'r', IDC_COMBO3}, {0, 'i', IDC_COMBO4},
        {1, 't', IDC_COMBO1}, {1, 'p', IDC_FILE1}, {2, 't', IDC_COMBO5}, {2, 'c', IDC_LISTVIEW2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.key) + " on tab " + std::to_string(c.tab));
        if (ShownTab() != c.tab) ShowTab(c.tab);
        ::SetFocus(SSTab1());
        ::PostMessageA(SSTab1(), WM_SYSCHAR, static_cast<WPARAM>(c.key), 0x20000001);
        Pump(form.get());
        EXPECT_EQ(::GetFocus(), Control(c.tab, c.focused));
    }
}

TEST_F(Pages, TheWindowResizesWithItsListsAndEditorsAndKeepsAMinimum) {
    Start(cfg);
    ShowTab(kSettingsTab);
    const RECT window = Placed(form->hwnd());
    const RECT list = Placed(Control(kSettingsTab, IDC_FILE1)), editor = Placed(Control(kSettingsTab, IDC_TEXT3));
    const RECT button = Placed(Control(kSettingsTab, IDC_COMMAND1));
    EXPECT_TRUE(::GetWindowLongPtrA(form->hwnd(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_TRUE(::GetWindowLongPtrA(form->hwnd(), GWL_STYLE) & WS_MAXIMIZEBOX);

    ::SetWindowPos(form->hwnd(), nullptr, 0, 0, window.right - window.left + 200, window.bottom - window.top + 100,
                   SWP_NOMOVE | SWP_NOZORDER);
    Pump(form.get());
    const RECT list2 = Placed(Control(kSettingsTab, IDC_FILE1)), editor2 = Placed(Control(kSettingsTab, IDC_TEXT3));
    EXPECT_EQ(list2.right - list2.left, list.right - list.left);
    EXPECT_EQ((list2.bottom - list2.top) - (list.bottom - list.top), 100);
    EXPECT_EQ((editor2.right - editor2.left) - (editor.right - editor.left), 200);
    EXPECT_EQ((editor2.bottom - editor2.top) - (editor.bottom - editor.top), 100);
    const RECT button2 = Placed(Control(kSettingsTab, IDC_COMMAND1));
    EXPECT_EQ(button2.right - button2.left, button.right - button.left);
    RECT tab = Placed(SSTab1()), page = Placed(form->Page(kSettingsTab));
    ::SendMessageA(SSTab1(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&tab));
    EXPECT_TRUE(::EqualRect(&tab, &page)) << "the page does not fill the tab's display area";

    // Smaller than the pages' template is refused.
    MINMAXINFO info{};
    ::SendMessageA(form->hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, window.right - window.left);
    EXPECT_EQ(info.ptMinTrackSize.y, window.bottom - window.top);
}

TEST_F(Pages, TheStatusBarShortensALongPathInTheMiddleKeepingTheFileName) {
    std::string deep = temp / "cfg";
    for (int i = 0; i < 6; ++i) {
        deep += "\\a-rather-long-folder-name-" + std::to_string(i);
        ::CreateDirectoryA(deep.c_str(), nullptr);
    }
    const std::string path = deep + "\\framework.ini";
    WriteBytes(path, "[MAIN]\r\n");
    Start(path);
    const std::string shown = StatusText();
    EXPECT_LT(shown.size(), path.size());
    EXPECT_EQ(shown.substr(0, 3), path.substr(0, 3));
    EXPECT_TRUE(shown.ends_with("...\\framework.ini") || shown.ends_with("\\framework.ini")) << shown;
    EXPECT_NE(shown.find("..."), std::string::npos) << shown;
    // Wider, more of it shows.
    const RECT window = Placed(form->hwnd());
    ::SetWindowPos(form->hwnd(), nullptr, 0, 0, window.right - window.left + 300, window.bottom - window.top,
                   SWP_NOMOVE | SWP_NOZORDER);
    Pump(form.get());
    EXPECT_GT(StatusText().size(), shown.size());
}

// The real prompt and question, answered by a timer inside their modal loops.
struct PromptScript {
    static inline std::string typed;
    static inline int press = IDOK;
    static inline int defaultButton = 0;
    static void CALLBACK Answer(HWND, UINT, UINT_PTR id, DWORD) {
        HWND dlg = ::GetActiveWindow();
        if (!dlg) return;
        ::KillTimer(nullptr, id);
        if (HWND edit = ::GetDlgItem(dlg, IDC_PROMPT_EDIT)) ::SetWindowTextA(edit, typed.c_str());
        // The default button is the one drawn as default (and holding the focus): Enter presses it.
        defaultButton = 0;
        for (int button : {IDYES, IDNO})
            if (HWND b = ::GetDlgItem(dlg, button); b && (::GetWindowLongPtrA(b, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
                defaultButton = button;
        ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), 0);
    }
};

TEST(Win32Prompts, TheTemplatePromptAndTheQuestionAnswerAsShown) {
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                   nullptr, nullptr);
    Win32Prompts prompts(::GetModuleHandleA(nullptr), [owner] { return owner; });
    const struct {
        std::string typed;
        int press;
        std::optional<std::string> answer;
    } inputs[] = {{" web ", IDOK, " web "}, {"web", IDCANCEL, std::nullopt}};
    for (const auto& c : inputs) {
        PromptScript::typed = c.typed;
        PromptScript::press = c.press;
        ::SetTimer(nullptr, 0, 50, &PromptScript::Answer);
        EXPECT_EQ(prompts.InputBox("Server type name:", "New server type", ""), c.answer);
    }
    for (auto byDefault : {Prompts::Default::Yes, Prompts::Default::No}) {
        PromptScript::press = IDYES;
        ::SetTimer(nullptr, 0, 50, &PromptScript::Answer);
        EXPECT_TRUE(prompts.YesNo("Are you sure?", "Confirm deletion", byDefault));
        EXPECT_EQ(PromptScript::defaultButton, byDefault == Prompts::Default::No ? IDNO : IDYES);
    }
    ::DestroyWindow(owner);
}

}  // namespace
}  // namespace vela::testing
