// The Wine harness's in-process part (support.h tells the whole): a real frmConfig on the
// display, whose file dialogs, message box and exit are scripted and recorded, whose network is
// stood in for, in a folder of its own.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "admin/store/test_temp_folder.h"
#include "admin/window/main_window.h"
#include "admin/window/testing/support.h"
#include "admin/window/window_text.h"

namespace vela::testing {

// What one file dialog received from the window, as the platform would have seen it.
struct DialogRecord {
    std::string kind;  // "open" or "save"
    HWND owner = nullptr;
    std::string filter;  // the platform list, up to and including its closing two NULs
    std::string title;
    std::string initialFolder;
    std::string initialName;
    DWORD flags = 0;
    DWORD structSize = 0;
    DWORD capacity = 0;
    bool defaultExtension = false;
};

// One prompt or question the window showed: "input" or "yesno".
struct PromptRecord {
    std::string kind;
    std::string text, title;
    bool defaultNo = false;  // for questions: No is the default button
};

// Dispatches what is queued for this thread the way the program's message loop does.
void Pump(frmConfig* form = nullptr);

// The Servers tab's enumeration as a test scripts it: the names it returns, how often it was
// asked, and what runs (or throws) while it is asked.
class ScriptedServers final : public ServerEnumerator {
public:
    std::vector<std::string> names;
    int calls = 0;
    std::function<void()> onCall;
    std::vector<std::string> TerminalServers() override {
        ++calls;
        if (onCall) onCall();
        return names;
    }
};

// The frame's own state that the tests look into and that is no part of its public face.
class FrameProbe {
public:
    [[nodiscard]] static HWND Tab(const frmConfig& form) { return form.tab_; }
    [[nodiscard]] static HWND StatusBar(const frmConfig& form) { return form.status_; }
    [[nodiscard]] static int ShownTab(const frmConfig& form) { return form.shownTab_; }
    [[nodiscard]] static UsersPage& Users(const frmConfig& form) { return *form.usersPage_; }
    // Form1, once the "User Configuration" tab made it; null until then.
    [[nodiscard]] static HWND Form1(const frmConfig& form) {
        const auto& dialog = form.usersPage_->form1_;
        return dialog ? dialog->hwnd() : nullptr;
    }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window with the recording services, runs start-up and shows it.
    void Start(const std::string& commandTail);

    HWND Control(int id) const { return ::GetDlgItem(form->Page(0), id); }
    // The frame's tab control SSTab1 and status bar, and the tab it shows.
    HWND SSTab1() const { return FrameProbe::Tab(*form); }
    HWND StatusBar() const { return FrameProbe::StatusBar(*form); }
    int ShownTab() const { return FrameProbe::ShownTab(*form); }
    HWND Control(int tab, int id) const { return ::GetDlgItem(form->Page(tab), id); }
    // A click on a push button of tab `tab`, as the button reports it.
    void Press(int tab, int id);
    // A mouse click on a check box or option button, through the button's own handling.
    void Click(int id);
    // Picks entry `index` of a drop-down list and tells the page, as a user's choice does.
    void Choose(int id, int index);
    // Drops down combo box `id` of tab `tab` (as a click on it does) and picks the entry `text`.
    void DropDownAndPick(int tab, int id, const std::string& text);
    // Picks the entry `text` of list box `id` of tab `tab`, as a click on it does.
    void PickListEntry(int tab, int id, const std::string& text);
    void Type(int id, const std::string& text);
    // The File menu command captioned `caption` (mnemonic marks ignored), from the real menu bar.
    void Menu(const std::string& caption);
    // A mouse click on tab `index` of SSTab1.
    void ClickTab(int index);
    // F5 on the tab control, through the message loop.
    void PressF5();
    [[nodiscard]] int CheckState(int id) const;
    [[nodiscard]] std::string ComboText(int id) const;
    [[nodiscard]] std::string StatusText() const;

    TempFolder temp;
    std::string programFolder;
    // Scripted answers: a path for Open/OK, nullopt for Cancel; none left means Cancel.
    std::deque<std::optional<std::string>> dialogAnswers;
    std::deque<bool> questionAnswers;                  // Yes/No questions; none left: No
    std::deque<std::optional<std::string>> inputAnswers;  // text prompts; nullopt or none left: Cancel
    std::vector<DialogRecord> dialogs;
    std::vector<PromptRecord> prompts;
    // What ShellExecuteEx received: verb, file, mask, nShow, owner.
    std::vector<SHELLEXECUTEINFOA> shellCalls;
    std::vector<std::string> shellFiles;
    std::vector<std::string> events;  // "unload", "end", in the order they happened
    // Runs inside the recorded unload, with the pump the window handed over.
    std::function<void(const std::function<void()>& pump)> duringUnload;
    // The Servers tab's network: scripted servers (none by default), the real directory and
    // registries unless a test puts its own here before Start.
    std::shared_ptr<ScriptedServers> servers = std::make_shared<ScriptedServers>();
    std::shared_ptr<ServerEnumerator> browseList;  // when set, stands in for `servers`
    std::shared_ptr<ServerDirectory> serverDirectory;  // null: the real one (VELA_DIRECTORY)
    std::shared_ptr<ServerRegistry> serverRegistry;
    // The window's directory; empty: none reachable.
    vela::directory::Connector directory;
    std::unique_ptr<frmConfig> form;

private:
    class RecordingPrompts;
    BOOL Answer(const char* kind, OPENFILENAMEA& ofn);
};

}  // namespace vela::testing
