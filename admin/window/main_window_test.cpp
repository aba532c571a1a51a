// The real frmConfig on the display, driven through its controls, menu and tabs.
#include <algorithm>
#include <array>
#include <cstring>

#include "admin/config/config_template.h"
#include "admin/config/inimod.h"
#include "admin/window/resource.h"
#include "admin/window/testing/window_test.h"

namespace vela::testing {
namespace {

using namespace std::string_literals;

constexpr char kTabOnly[] =
    "[MAIN]\r\nREFRESH_MOUSE=2\r\nCOMPRESSION=2\r\n[LOCATIONS]\r\nDISABLE_BACKUP=2\r\nSTOREROOT=1\r\n";

// A caption as it is shown: "&" marks the mnemonic, "&&" is a shown "&".
std::string WithoutMnemonic(const std::string& caption) {
    std::string shown;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && ++i == caption.size()) break;
        shown += caption[i];
    }
    return shown;
}

class FrmConfig : public WindowTest {
protected:
    // A configuration file made from the template, as New writes it.
    std::string TemplateFile(const std::string& name = "framework.ini") {
        const std::string path = temp / ("cfg\\" + name);
        WriteBytes(path, NewConfigFileText());
        return path;
    }
    std::string Ini(const std::string& section, const std::string& key, const std::string& file) {
        return ReadIniValue(section, key, file);
    }
};

TEST_F(FrmConfig, StartUpWithAnArgumentLoadsItWithoutADialogAndOpensOnTabZero) {
    const std::string path = TemplateFile();
    Start(path);
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(WindowText(form->hwnd()), "Vela Profile Administration");
    EXPECT_TRUE(::IsWindowVisible(form->hwnd()));
    EXPECT_EQ(StatusText(), path);

    EXPECT_EQ(::SendMessageA(SSTab1(), TCM_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(::IsWindowVisible(form->Page(0)));
    for (int tab = 1; tab < frmConfig::kTabCount; ++tab) EXPECT_FALSE(::IsWindowVisible(form->Page(tab))) << tab;

    // The template's values, as the controls show them.
    for (int id : {IDC_CHECK1, IDC_CHECK2, IDC_CHECK3, IDC_CHECK7}) EXPECT_EQ(CheckState(id), BST_CHECKED) << id;
    for (int id : {IDC_CHECK4, IDC_CHECK5, IDC_CHECKBACKUP}) EXPECT_EQ(CheckState(id), BST_UNCHECKED) << id;
    EXPECT_EQ(ComboText(IDC_COMBO2), "NORMAL");
    EXPECT_EQ(CheckState(IDC_OPTION1), BST_CHECKED);
    EXPECT_EQ(WindowText(Control(IDC_TEXT2)), "SETTINGS\\VELA");
    EXPECT_EQ(ComboText(IDC_COMBO3), "Disable Vela Framework Error Messages");
    EXPECT_EQ(ComboText(IDC_COMBO4), "Run in quiet mode");
}

TEST_F(FrmConfig, StartUpWithoutAnArgumentAsksInTheProgramFolderAndCancelLeadsToTheUntitledFile) {
    Start("");
    ASSERT_EQ(dialogs.size(), 1u);
    const DialogRecord& d = dialogs[0];
    EXPECT_EQ(d.kind, "open");
    EXPECT_EQ(d.owner, form->hwnd());
    EXPECT_EQ(d.filter, "*.ini\0*.ini\0\0"s);
    EXPECT_EQ(d.title, "Open VelaFramework config file");
    EXPECT_EQ(d.initialFolder, programFolder);
    EXPECT_EQ(d.flags, 0x100Cu);  // OFN_NOCHANGEDIR keeps the current folder
    EXPECT_EQ(d.structSize, sizeof(OPENFILENAMEA));
    EXPECT_GE(d.capacity, 32768u);
    EXPECT_EQ(d.initialName, "");
    EXPECT_FALSE(d.defaultExtension);

    const std::string untitled = programFolder + "\\untitledconfig.ini";
    EXPECT_EQ(StatusText(), untitled);
    EXPECT_FALSE(FileExists(untitled));
    // The start values.
    for (int id : {IDC_CHECK1, IDC_CHECK2, IDC_CHECK3, IDC_CHECK7, IDC_CHECK4, IDC_CHECK5, IDC_CHECKBACKUP})
        EXPECT_EQ(CheckState(id), BST_UNCHECKED) << id;
    EXPECT_EQ(ComboText(IDC_COMBO2), "");
    EXPECT_EQ(CheckState(IDC_OPTION1), BST_CHECKED);
    EXPECT_EQ(WindowText(Control(IDC_TEXT2)), "SETTINGS\\VELA");

    Click(IDC_CHECK5);
    Menu("Save");
    EXPECT_EQ(dialogs.size(), 1u) << "Save asked for a name";
    ASSERT_TRUE(FileExists(untitled));
    EXPECT_EQ(Ini("MAIN", "COMPRESSION", untitled), "1");
    EXPECT_EQ(Ini("LOCATIONS", "STOREFOLDER", untitled), "SETTINGS\\VELA");
    EXPECT_EQ(ReadBytes(untitled).find("DISPLAY_FRAMEWORK_ERROR"), std::string::npos);
}

TEST_F(FrmConfig, StartUpWithABlankArgumentAsksAndLoadsTheChosenFile) {
    const std::string path = TemplateFile();
    dialogAnswers = {path};
    Start("   ");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].initialFolder, programFolder);
    EXPECT_EQ(StatusText(), path);
    EXPECT_EQ(CheckState(IDC_CHECK1), BST_CHECKED);
}

TEST_F(FrmConfig, SwitchesShowTheIndeterminateValueAndAClickSetsOnlyOnOrOff) {
    const std::string path = temp / "cfg\\states.ini";
    WriteBytes(path, kTabOnly);
    Start(path);
    for (int id : {IDC_CHECK3, IDC_CHECK5, IDC_CHECKBACKUP}) EXPECT_EQ(CheckState(id), BST_INDETERMINATE) << id;

    for (int expected : {BST_CHECKED, BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED}) {
        Click(IDC_CHECK3);
        EXPECT_EQ(CheckState(IDC_CHECK3), expected);
    }
    Click(IDC_CHECK1);
    Click(IDC_CHECKBACKUP);
    Menu("Save");
    EXPECT_EQ(Ini("MAIN", "REFRESH_MOUSE", path), "0");
    EXPECT_EQ(Ini("MAIN", "REFRESH_WINDOWS_APPEARANCE", path), "1");
    EXPECT_EQ(Ini("MAIN", "COMPRESSION", path), "2");  // untouched: written back unchanged
    EXPECT_EQ(Ini("LOCATIONS", "DISABLE_BACKUP", path), "1");
    EXPECT_EQ(CheckState(IDC_CHECK5), BST_INDETERMINATE);  // shown again after the save's reload
}

TEST_F(FrmConfig, StoreRootButtonsAreExclusiveAndText1StaysEditable) {
    const std::string path = TemplateFile();
    Start(path);
    HWND text1 = Control(IDC_TEXT1);
    EXPECT_TRUE(::IsWindowEnabled(text1));
    EXPECT_FALSE(::GetWindowLongPtrA(text1, GWL_STYLE) & ES_READONLY);

    Click(IDC_OPTION4);
    Type(IDC_TEXT1, "\\\\srv\\profiles");
    EXPECT_EQ(CheckState(IDC_OPTION4), BST_CHECKED);
    for (int id : {IDC_OPTION1, IDC_OPTION2, IDC_OPTION3}) EXPECT_EQ(CheckState(id), BST_UNCHECKED) << id;
    Click(IDC_OPTION2);
    EXPECT_EQ(CheckState(IDC_OPTION4), BST_UNCHECKED);
    EXPECT_EQ(CheckState(IDC_OPTION2), BST_CHECKED);
    EXPECT_TRUE(::IsWindowEnabled(text1));
    EXPECT_EQ(WindowText(text1), "\\\\srv\\profiles");

    Menu("Save");
    EXPECT_EQ(Ini("LOCATIONS", "STOREROOT", path), "2");
    EXPECT_EQ(WindowText(text1), "\\\\srv\\profiles");  // a load of 1 to 3 leaves the path alone
    Click(IDC_OPTION4);
    Menu("Save");
    EXPECT_EQ(Ini("LOCATIONS", "STOREROOT", path), "\\\\srv\\profiles");

    const std::string drive = temp / "cfg\\drive.ini";
    WriteBytes(drive, "[LOCATIONS]\r\nSTOREROOT=T:\r\n");
    dialogAnswers = {drive};
    Menu("Open");
    EXPECT_EQ(CheckState(IDC_OPTION4), BST_CHECKED);
    EXPECT_EQ(CheckState(IDC_OPTION2), BST_UNCHECKED);
    EXPECT_EQ(WindowText(text1), "T:");
}

TEST_F(FrmConfig, ListsOfferExactlyTheirEntriesAndSaveTheChoice) {
    const std::string path = TemplateFile();
    Start(path);
    const auto entries = [&](int id) {
        HWND combo = Control(id);
        EXPECT_EQ(::GetWindowLongPtrA(combo, GWL_STYLE) & 3, CBS_DROPDOWNLIST) << id;
        std::vector<std::string> all;
        for (int i = 0; i < ::SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
            char text[128] = {};
            ::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            all.push_back(text);
        }
        return all;
    };
    EXPECT_EQ(entries(IDC_COMBO2), (std::vector<std::string>{"LOW", "BELOWNORMAL", "NORMAL", "ABOVENORMAL", "HIGH"}));
    EXPECT_EQ(entries(IDC_COMBO3), (std::vector<std::string>{"Disable Vela Framework Error Messages",
                                                             "Show only error messages during the Logon processes",
                                                             "Show only error messages during Logon and Logoff"}));
    EXPECT_EQ(entries(IDC_COMBO4), (std::vector<std::string>{"Run in quiet mode",
                                                             "Display error messages; suppress progress indicators",
                                                             "Display error messages and progress indicators",
                                                             "Display progress indicators; suppress error messages"}));

    Choose(IDC_COMBO2, 4);
    Choose(IDC_COMBO3, 2);
    Choose(IDC_COMBO4, 3);
    Menu("Save");
    EXPECT_EQ(Ini("MAIN", "COMPRESSION_PRIORITY", path), "HIGH");
    EXPECT_EQ(Ini("ERRORMESSAGES", "DISPLAY_FRAMEWORK_ERROR", path), "2");
    EXPECT_EQ(Ini("ERRORMESSAGES", "DISPLAY_PROFLWIZ_ERROR", path), "3");
    EXPECT_EQ(ComboText(IDC_COMBO4), "Display progress indicators; suppress error messages");
}

TEST_F(FrmConfig, UnselectedErrorListsLeaveTheirKeysOfTheFileAlone) {
    Start("");  // cancelled: the untitled file, nothing selected in the lists
    const std::string untitled = programFolder + "\\untitledconfig.ini";
    WriteBytes(untitled, "[ERRORMESSAGES]\r\nDISPLAY_FRAMEWORK_ERROR=1\r\nDISPLAY_PROFLWIZ_ERROR=2\r\n");
    Menu("Save");
    EXPECT_EQ(Ini("ERRORMESSAGES", "DISPLAY_FRAMEWORK_ERROR", untitled), "1");
    EXPECT_EQ(Ini("ERRORMESSAGES", "DISPLAY_PROFLWIZ_ERROR", untitled), "2");
    EXPECT_EQ(Ini("MAIN", "COMPRESSION_PRIORITY", untitled), "");
    EXPECT_EQ(ComboText(IDC_COMBO3), "Show only error messages during the Logon processes");
}

TEST_F(FrmConfig, NewWithoutAnExtensionWritesTheTemplateLoadsItAndMakesTheStore) {
    const std::string start = temp / "cfg\\start.ini";
    WriteBytes(start, "[MAIN]\r\nCOMPRESSION=1\r\n");
    ::CreateDirectoryA((temp / "new").c_str(), nullptr);
    Start(start);
    dialogAnswers = {temp / "new\\site"};
    Menu("New");
    ASSERT_EQ(dialogs.size(), 1u);
    const DialogRecord& d = dialogs[0];
    EXPECT_EQ(d.kind, "save");
    EXPECT_EQ(d.owner, form->hwnd());
    EXPECT_EQ(d.filter, "*.INI\0*.INI\0\0"s);
    EXPECT_EQ(d.title, "New Vela Configuration file");
    EXPECT_EQ(d.initialFolder, temp / "cfg");
    EXPECT_EQ(d.flags, 0x200Eu);
    EXPECT_GE(d.capacity, 32768u);

    const std::string created = temp / "new\\site.INI";
    EXPECT_EQ(ReadBytes(created), NewConfigFileText());
    EXPECT_FALSE(FileExists(temp / "new\\site"));
    EXPECT_TRUE(FolderExists(temp / "new\\ProfileSettings"));
    EXPECT_EQ(StatusText(), created);
    EXPECT_EQ(CheckState(IDC_CHECK1), BST_CHECKED);
    EXPECT_EQ(CheckState(IDC_CHECK5), BST_UNCHECKED);
    EXPECT_TRUE(prompts.empty());
}

TEST_F(FrmConfig, NewKeepsANameThatHoldsIniAnywhere) {
    ::CreateDirectoryA((temp / "cfg\\x.ini.d").c_str(), nullptr);
    Start(TemplateFile());
    for (const std::string name : {"cfg\\x.ini.d\\cfg", "cfg\\Upper.INI", "cfg\\lower.Ini"}) {
        SCOPED_TRACE(name);
        dialogAnswers = {temp / name};
        Menu("New");
        EXPECT_EQ(ReadBytes(temp / name), NewConfigFileText());
        EXPECT_FALSE(FileExists(temp / (name + ".INI")));
        EXPECT_EQ(StatusText(), temp / name);
    }
    EXPECT_TRUE(prompts.empty());
}

TEST_F(FrmConfig, NewAsksBeforeReplacingAFileNamedOnlyAfterTheExtensionWasAdded) {
    const std::string taken = temp / "cfg\\site.INI";
    WriteBytes(taken, "[MAIN]\r\nCOMPRESSION=1\r\n");
    const std::string start = TemplateFile();
    Start(start);

    dialogAnswers = {temp / "cfg\\site"};
    questionAnswers = {false};
    Menu("New");
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].kind, "yesno");
    EXPECT_EQ(prompts[0].title, "Confirm");
    EXPECT_TRUE(prompts[0].defaultNo);
    EXPECT_NE(prompts[0].text.find(taken), std::string::npos) << prompts[0].text;
    EXPECT_NE(prompts[0].text.find("New will replace its whole content"), std::string::npos) << prompts[0].text;
    EXPECT_EQ(ReadBytes(taken), "[MAIN]\r\nCOMPRESSION=1\r\n");
    EXPECT_EQ(StatusText(), start);

    dialogAnswers = {temp / "cfg\\site"};
    questionAnswers = {true};
    Menu("New");
    EXPECT_EQ(prompts.size(), 2u);
    EXPECT_EQ(ReadBytes(taken), NewConfigFileText());
    EXPECT_EQ(StatusText(), taken);
}

TEST_F(FrmConfig, SaveAsWritesEveryKeyToTheNewFileAndMovesTheFolder) {
    const std::string start = TemplateFile();
    ::CreateDirectoryA((temp / "other").c_str(), nullptr);
    Start(start);
    Click(IDC_CHECK4);
    Type(IDC_TEXT2, "PROFILES\\VELA");
    dialogAnswers = {temp / "other\\copy"};
    Menu("Save As");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].title, "Save VelaFramework config as");
    EXPECT_EQ(dialogs[0].filter, "*.INI\0*.INI\0\0"s);
    EXPECT_EQ(dialogs[0].flags, 0x200Eu);
    EXPECT_EQ(dialogs[0].initialFolder, temp / "cfg");

    const std::string copy = temp / "other\\copy.INI";
    const std::string text = ReadBytes(copy);
    EXPECT_EQ(text.find(';'), std::string::npos) << text;
    for (const char* key : {"REFRESH_WINDOWS_APPEARANCE=1", "REFRESH_KEYBOARD=1", "REFRESH_MOUSE=1",
                            "ENABLE_PASSWORDS=1", "ENABLE_CERTIFICATES=1", "COMPRESSION=0",
                            "COMPRESSION_PRIORITY=NORMAL", "STOREROOT=1", "STOREFOLDER=PROFILES\\VELA",
                            "DISABLE_BACKUP=0", "DISPLAY_FRAMEWORK_ERROR=0", "DISPLAY_PROFLWIZ_ERROR=0"})
        EXPECT_NE(text.find(key), std::string::npos) << key << " in\n" << text;
    EXPECT_EQ(StatusText(), copy);
    EXPECT_EQ(ReadBytes(start), NewConfigFileText());

    Menu("Open");  // cancelled; it shows where the current folder now is
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].initialFolder, temp / "other");
    EXPECT_EQ(StatusText(), copy);
}

TEST_F(FrmConfig, QuitWithUnsavedEditsUnloadsOnceAndEndsWithoutAQuestion) {
    const std::string path = TemplateFile();
    Start(path);
    Click(IDC_CHECK5);
    Type(IDC_TEXT2, "LOST");
    Menu("Quit");
    EXPECT_EQ(events, (std::vector<std::string>{"unload", "end"}));
    EXPECT_TRUE(prompts.empty());
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(ReadBytes(path), NewConfigFileText());
}

TEST_F(FrmConfig, ClosingUnloadsOnceWhileTheWaitServesTheWindow) {
    Start(TemplateFile());
    ClickTab(2);
    ASSERT_EQ(servers->calls, 1);
    duringUnload = [&](const std::function<void()>& pump) {
        // Pending input is served during the wait; a second close or Quit starts nothing more.
        ::PostMessageA(SSTab1(), WM_KEYDOWN, VK_F5, 0x003F0001);
        ::PostMessageA(form->hwnd(), WM_CLOSE, 0, 0);
        ::PostMessageA(form->hwnd(), WM_COMMAND, MAKEWPARAM(IDM_QUIT, 0), 0);
        pump();
    };
    ::SendMessageA(form->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box, Alt+F4
    Pump(form.get());
    EXPECT_EQ(events, (std::vector<std::string>{"unload", "end"}));
    EXPECT_EQ(servers->calls, 2);
    EXPECT_TRUE(prompts.empty());
}

TEST_F(FrmConfig, TheEndOfTheSessionUnloadsTheHiveToo) {
    Start(TemplateFile());
    ::SendMessageA(form->hwnd(), WM_ENDSESSION, FALSE, 0);  // cancelled by another program
    EXPECT_TRUE(events.empty());
    ::SendMessageA(form->hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(events, (std::vector<std::string>{"unload", "end"}));
}

TEST_F(FrmConfig, TabActivationRunsItsWorkUnderTheHourglassOnEveryVisitAndOnF5) {
    std::vector<std::string> calls;
    bool alwaysBusy = true;
    const HCURSOR wait = ::LoadCursorA(nullptr, IDC_WAIT);
    const auto hook = [&](const char* name) {
        return [&, name] {
            calls.push_back(name);
            alwaysBusy = alwaysBusy && ::GetCursor() == wait;
        };
    };
    servers->onCall = hook("EnumServers");
    // The "User Configuration" tab's LoadDomain opens one connection to the directory.
    directory = [loadDomain = hook("LoadDomain")] {
        loadDomain();
        return vela::directory::Connection{nullptr, vela::directory::Failure(vela::directory::Fault::NoServer, "none")};
    };
    Start(TemplateFile());
    const auto shown = [&] {
        int visible = -1;
        for (int tab = 0; tab < frmConfig::kTabCount; ++tab)
            if (::IsWindowVisible(form->Page(tab))) visible = visible == -1 ? tab : -2;
        return visible;
    };
    const std::vector<std::string> enumerated{"EnumServers"}, domain{"LoadDomain"}, none{};

    const struct {
        const char* step;
        int tab;  // -1: F5 on the tab control
        int expectShown;
        std::vector<std::string> expectCalls;
    } steps[] = {
        {"tab 1", 1, 1, none},         {"tab 2", 2, 2, enumerated},  {"F5 on tab 2", -1, 2, enumerated},
        {"back to 0", 0, 0, none},     {"F5 on tab 0", -1, 0, none}, {"tab 2 again", 2, 2, enumerated},
        {"tab 3", 3, 3, domain},       {"F5 on tab 3", -1, 3, domain},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        calls.clear();
        if (s.tab >= 0) {
            ClickTab(s.tab);
        } else {
            PressF5();
        }
        EXPECT_EQ(calls, s.expectCalls);
        EXPECT_EQ(shown(), s.expectShown);
        EXPECT_EQ(ShownTab(), s.expectShown);
        EXPECT_NE(::GetCursor(), wait) << "the pointer stayed an hourglass";
    }
    EXPECT_TRUE(alwaysBusy);
}

TEST_F(FrmConfig, AFailingTabStepDoesNotStopTheNext) {
    Start(TemplateFile());
    WriteBytes(programFolder + "\\Office.msi", "");
    servers->onCall = [] { throw std::runtime_error("no network"); };
    ClickTab(2);
    // The package's column came all the same.
    HWND header = ListView_GetHeader(::GetDlgItem(form->Page(2), IDC_LISTVIEW2));
    EXPECT_EQ(Header_GetItemCount(header), 3);
    EXPECT_NE(::GetCursor(), ::LoadCursorA(nullptr, IDC_WAIT));
}

TEST_F(FrmConfig, CtrlTabTurnsThePagesFromInsideAPage) {
    Start(TemplateFile());
    ::SetFocus(Control(IDC_TEXT2));
    BYTE keys[256] = {};
    ASSERT_TRUE(::GetKeyboardState(keys));
    BYTE pressed[256];
    std::memcpy(pressed, keys, sizeof keys);
    pressed[VK_CONTROL] = pressed[VK_LCONTROL] = 0x80;
    ::SetKeyboardState(pressed);
    ::PostMessageA(Control(IDC_TEXT2), WM_KEYDOWN, VK_TAB, 0x000F0001);
    Pump(form.get());
    pressed[VK_SHIFT] = pressed[VK_LSHIFT] = 0x80;
    ::SetKeyboardState(pressed);
    ::PostMessageA(SSTab1(), WM_KEYDOWN, VK_TAB, 0x000F0001);
    ::PostMessageA(SSTab1(), WM_KEYDOWN, VK_TAB, 0x000F0001);
    Pump(form.get());
    ::SetKeyboardState(keys);
    EXPECT_EQ(ShownTab(), 3);
    EXPECT_TRUE(::IsWindowVisible(form->Page(3)));
    EXPECT_FALSE(::IsWindowVisible(form->Page(0)));
    HWND focus = ::GetFocus();
    EXPECT_TRUE(focus == nullptr || ::IsWindowVisible(focus)) << "the focus stayed on a hidden page";
}

TEST_F(FrmConfig, TheFirstTabHoldsItsFramesWithTheirControlsAndCaptions) {
    Start(TemplateFile());
    const struct {
        int id;
        const char* caption;  // nullptr: no caption to check
        int frame;
    } controls[] = {
        {IDC_CHECK1, "Refresh Appearance", IDC_FRAME1},
        {IDC_CHECK2, "Refresh Keyboard", IDC_FRAME1},
        {IDC_CHECK3, "Refresh Mouse", IDC_FRAME1},
        {IDC_CHECK7, "Enable Passwords", IDC_FRAME1},
        {IDC_CHECK4, "Enable Certificates", IDC_FRAME1},
        {IDC_CHECK5, "Compression", IDC_FRAME1},
        {IDC_COMBO2, nullptr, IDC_FRAME1},
        {IDC_OPTION1, "AUTO (%HOMEDRIVE%)", IDC_FRAME2},
        {IDC_OPTION2, "USER HOMEDRIVE (AD)", IDC_FRAME2},
        {IDC_OPTION3, "TERMINALSERVER HOMEDRIVE (AD)", IDC_FRAME2},
        {IDC_OPTION4, "SPECIFY:", IDC_FRAME2},
        {IDC_TEXT1, nullptr, IDC_FRAME2},
        {IDC_STOREFOLDER_LABEL, "STOREFOLDER:", IDC_FRAME2},
        {IDC_TEXT2, nullptr, IDC_FRAME2},
        {IDC_CHECKBACKUP, "Disable backup", IDC_FRAME2},
        {IDC_FRAMEWORK_ERROR_LABEL, "DISPLAY FRAMEWORK ERROR", IDC_FRAME3},
        {IDC_COMBO3, nullptr, IDC_FRAME3},
        {IDC_PROFLWIZ_ERROR_LABEL, "DISPLAY PROFLWIZ ERROR", IDC_FRAME3},
        {IDC_COMBO4, nullptr, IDC_FRAME3},
    };
    EXPECT_EQ(WindowText(Control(IDC_FRAME1)), "MAIN");
    EXPECT_EQ(WindowText(Control(IDC_FRAME2)), "LOCATIONS");
    EXPECT_EQ(WindowText(Control(IDC_FRAME3)), "ERRORMESSAGES");
    std::vector<RECT> placed;
    for (const auto& c : controls) {
        SCOPED_TRACE(c.id);
        HWND control = Control(c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(::IsWindowVisible(control));
        if (c.caption) {
            EXPECT_EQ(WithoutMnemonic(WindowText(control)), c.caption);
        }
        RECT r{}, frame{}, overlap{};
        ::GetWindowRect(control, &r);
        ::GetWindowRect(Control(c.frame), &frame);
        if (c.id == IDC_COMBO2 || c.id == IDC_COMBO3 || c.id == IDC_COMBO4) r.bottom = r.top + 12;  // the closed box
        EXPECT_TRUE(r.left > frame.left && r.right < frame.right && r.top > frame.top && r.bottom < frame.bottom)
            << "outside its frame";
        for (const RECT& other : placed) EXPECT_FALSE(::IntersectRect(&overlap, &r, &other)) << "overlaps";
        placed.push_back(r);
    }
    // The tab captions.
    const char* const tabs[] = {"FrameWork Configuration", "Profile Settings", "Servers", "User Configuration"};
    ASSERT_EQ(::SendMessageA(SSTab1(), TCM_GETITEMCOUNT, 0, 0), 4);
    for (int i = 0; i < 4; ++i) {
        char text[64] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessageA(SSTab1(), TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, tabs[i]);
    }
}

TEST_F(FrmConfig, TheKeyboardReachesEveryControlInReadingOrder) {
    Start(TemplateFile());
    std::vector<int> order;
    HWND at = SSTab1();
    for (int guard = 0; guard < 40; ++guard) {
        at = ::GetNextDlgTabItem(form->hwnd(), at, FALSE);
        if (!at || at == SSTab1()) break;
        order.push_back(::GetDlgCtrlID(at));
    }
    EXPECT_EQ(order, (std::vector<int>{IDC_CHECK1, IDC_CHECK2, IDC_CHECK3, IDC_CHECK7, IDC_CHECK4, IDC_CHECK5,
                                       IDC_COMBO2, IDC_OPTION1, IDC_TEXT1, IDC_TEXT2, IDC_CHECKBACKUP, IDC_COMBO3,
                                       IDC_COMBO4}));
}

TEST_F(FrmConfig, TheMenusHoldTheFileCommandsAndTheHiddenContextMenus) {
    Start(TemplateFile());
    const auto items = [](HMENU menu) {
        std::vector<std::string> all;
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            char text[64] = {};
            ::GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
            all.push_back(text);
        }
        return all;
    };
    HMENU bar = ::GetMenu(form->hwnd());
    EXPECT_EQ(items(bar), std::vector<std::string>{"&File"});
    // Mnemonics only: no shortcut key text after a tab.
    EXPECT_EQ(items(::GetSubMenu(bar, 0)), (std::vector<std::string>{"&New", "&Open", "&Save", "Save &As", "&Quit"}));
    const UniqueMenu context = LoadContextMenus(::GetModuleHandleA(nullptr));
    HMENU server = ::GetSubMenu(context.get(), 0), user = ::GetSubMenu(context.get(), 1);
    HMENU list = ::GetSubMenu(context.get(), 2);
    EXPECT_EQ(items(server), std::vector<std::string>{"Change Server Type"});
    EXPECT_EQ(items(user), (std::vector<std::string>{"Change profile path", "Undo last change"}));
    EXPECT_EQ(items(list), std::vector<std::string>{"Export list..."});
    EXPECT_EQ(::GetMenuItemID(server, 0), static_cast<UINT>(IDM_CHANGE_SERVER_TYPE));
    EXPECT_EQ(::GetMenuItemID(user, 0), static_cast<UINT>(IDM_CHANGE_PROFILE_PATH));
    EXPECT_EQ(::GetMenuItemID(user, 1), static_cast<UINT>(IDM_UNDO_LAST_CHANGE));
    EXPECT_EQ(::GetMenuItemID(list, 0), static_cast<UINT>(IDM_EXPORT_LIST));
}

TEST_F(FrmConfig, ImageList1HoldsSixDistinctPicturesAtTheirIndices) {
    const UniqueImageList owned = MakeImageList1(::GetModuleHandleA(nullptr));
    HIMAGELIST list = owned.get();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(::ImageList_GetImageCount(list), 8);
    int cx = 0, cy = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);

    // Each picture drawn over magenta: the blanks leave it untouched, the pictures cover it.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP dib = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    HGDIOBJ old = ::SelectObject(dc, dib);
    std::array<std::array<DWORD, 256>, 8> drawn{};
    for (int i = 0; i < 8; ++i) {
        std::fill_n(static_cast<DWORD*>(bits), 256, 0x00FF00FFu);
        ::ImageList_Draw(list, i, dc, 0, 0, ILD_TRANSPARENT);
        ::GdiFlush();
        std::copy_n(static_cast<DWORD*>(bits), 256, drawn[static_cast<size_t>(i)].begin());
    }
    ::SelectObject(dc, old);
    ::DeleteObject(dib);
    ::DeleteDC(dc);
    for (int i = 0; i < 8; ++i) {
        const auto& px = drawn[static_cast<size_t>(i)];
        const auto covered = std::count_if(px.begin(), px.end(), [](DWORD p) { return (p & 0xFFFFFF) != 0xFF00FF; });
        if (i == 0 || i == 6) {
            EXPECT_EQ(covered, 0) << "index " << i << " should be blank";
        } else {
            EXPECT_GT(covered, 60) << "index " << i << " is nearly empty";
        }
    }
    for (int a : {1, 2, 3, 4, 5, 7})
        for (int b : {1, 2, 3, 4, 5, 7})
            if (a < b) {
                EXPECT_NE(drawn[static_cast<size_t>(a)], drawn[static_cast<size_t>(b)]) << a << " and " << b;
            }
}

TEST_F(FrmConfig, TheWindowFitsItsPagesTabsAndStatusBar) {
    Start(TemplateFile());
    RECT client{}, tab{}, bar{}, work{};
    ::GetClientRect(form->hwnd(), &client);
    ::MapWindowPoints(form->hwnd(), nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::GetWindowRect(SSTab1(), &tab);
    ::GetWindowRect(StatusBar(), &bar);
    RECT display = tab;
    ::SendMessageA(SSTab1(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (int i = 0; i < frmConfig::kTabCount; ++i) {
        RECT page{};
        ::GetWindowRect(form->Page(i), &page);
        EXPECT_TRUE(page.left >= display.left && page.top >= display.top && page.right <= display.right &&
                    page.bottom <= display.bottom)
            << "page " << i << " leaves the tab's display area";
    }
    EXPECT_GE(tab.left, client.left);
    EXPECT_LE(tab.right, client.right);
    EXPECT_LE(tab.bottom, bar.top);
    EXPECT_EQ(bar.bottom, client.bottom);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT window{};
    ::GetWindowRect(form->hwnd(), &window);
    EXPECT_LE(window.right - window.left, work.right - work.left);
    EXPECT_LE(window.bottom - window.top, work.bottom - work.top);
}

TEST_F(FrmConfig, TheProgramCarriesItsManifestVersionAndIcon) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    HRSRC manifest = ::FindResourceA(self, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(::LockResource(::LoadResource(self, manifest))),
                           ::SizeofResource(self, manifest));
    for (const char* part : {"Microsoft.Windows.Common-Controls", "6.0.0.0", "<dpiAware", "supportedOS",
                             "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        EXPECT_NE(text.find(part), std::string::npos) << part;

    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(self, path, MAX_PATH);
    DWORD ignored = 0;
    std::vector<char> version(::GetFileVersionInfoSizeA(path, &ignored));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(::GetFileVersionInfoA(path, 0, static_cast<DWORD>(version.size()), version.data()));
    char* description = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(version.data(), "\\StringFileInfo\\040904b0\\FileDescription",
                                 reinterpret_cast<void**>(&description), &length));
    EXPECT_STREQ(description, "Vela Profile Administration");

    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(::LoadImageA(self, MAKEINTRESOURCEA(IDI_VELACONFIG), IMAGE_ICON, size, size, 0));
        EXPECT_NE(icon, nullptr) << size;
        if (icon) ::DestroyIcon(icon);
    }
}

}  // namespace
}  // namespace vela::testing
