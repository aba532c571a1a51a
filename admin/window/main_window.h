// frmConfig, the main window of the administration program: the frame with the File menu, the
// tab control SSTab1 with its four pages, and the status bar that names the current configuration
// file.  The frame routes: it creates the pages (page.h) with their services, shows the picked
// one, runs its activation, sizes it, and links the pages where one tab reaches another.  What a
// tab decides lives in its page and the page's core object.
//
// How to use it:
//   1. InitCommonControlsEx for the tab, bar, list-view and tree-view classes.
//   2. Construct it with the services (main.cpp builds the platform's; the tests their
//      stand-ins), then Create().
//   3. Form_Load() with the command-line tail and the program folder, then Show().
//   4. Run the message loop through TranslateDialogMessage(), which gives the keyboard its way
//      between the controls of the pages.
// The program ends in Form_Unload or mnuQuit_Click: services.endProcess never returns in the
// real program.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "admin/common/prompts.h"
#include "admin/config/framework_config.h"
#include "admin/directory/ldap_client.h"
#include "admin/store/file_system.h"
#include "admin/store/public_mod_win32.h"
#include "admin/store/settings_path.h"
#include "admin/win32/unique.h"
#include "admin/window/config_page.h"
#include "admin/window/file_commands.h"
#include "admin/window/open_file32.h"
#include "admin/window/servers_page.h"
#include "admin/window/settings_page.h"
#include "admin/window/users_page.h"

namespace vela {

using win32::UniqueFont;
using win32::UniqueImageList;
using win32::UniqueMenu;

// Where the window and its pages reach the platform.  The program (main.cpp) hands in the real
// ones; the tests script the dialogs and prompts, stand in for the network and record the exit
// instead of ending their process.  The frame shares the pointers with its pages for its life.
struct FrameServices {
    // Required: the constructor throws std::invalid_argument without them.
    std::shared_ptr<FileSystem> files;
    // The text prompts and Yes/No questions of every tab.
    std::shared_ptr<Prompts> prompts;
    // The Servers tab's network: the terminal servers of the domain (the browse list), the
    // directory's server accounts when the browse list names none, and their ServerType values.
    std::shared_ptr<ServerEnumerator> servers;
    std::shared_ptr<ServerRegistry> serverRegistry;

    // Optional.
    std::shared_ptr<ServerDirectory> serverDirectory;  // null: the browse list only
    // Opens a connection to the directory; empty: none is reachable.
    directory::Connector directory;
    FileDialogApi fileDialogs;  // empty members: the common dialogs
    // PublicMod's call into the shell; empty: ShellExecuteExA.
    ShellExecuteExCall shellExecuteEx;
    // Runs the hive unload; `pump` dispatches the window's pending messages.  Empty: none.
    std::function<void(const std::function<void()>& pump)> unloadHive;
    // Ends the program after the unload; never returns in the real program.
    std::function<void()> endProcess;
    // What happens when the window is destroyed by other means than the exit above.
    std::function<void()> onDestroyed;
};

namespace testing {
class FrameProbe;
}

// ImageList1: 16 x 16 pictures; index 0 and 6 blank, 1 organisational unit, 2 domain, 3 directory
// root, 4 container, 5 computer, 7 user.
[[nodiscard]] UniqueImageList MakeImageList1(HINSTANCE instance);
// The context menus that are never on the menu bar: sub-menu 0 "Server", sub-menu 1 "User".
[[nodiscard]] UniqueMenu LoadContextMenus(HINSTANCE instance);

class frmConfig final : private FileDialogs, private PageHost {
public:
    static constexpr int kTabCount = 4;

    frmConfig(HINSTANCE instance, FrameServices services);
    frmConfig(const frmConfig&) = delete;
    frmConfig& operator=(const frmConfig&) = delete;
    ~frmConfig() override;

    // Creates the window, hidden, with all its children; null when that fails.
    HWND Create();
    // Start-up: decides and loads the first configuration file; runs before Show.
    void Form_Load(std::string_view commandTail, const std::string& programFolder);
    // Shows the window on tab 0.
    void Show(int showCommand);
    // For the message loop: true when `msg` was a navigation key of the window and is handled.
    bool TranslateDialogMessage(MSG& msg);

    void mnuNew_Click();
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuSaveAs_Click();
    void mnuQuit_Click();
    void Form_Unload();
    void SSTab1_Click(int previousTab);
    void SSTab1_KeyDown(WPARAM keyCode);

    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }
    // The window of tab `tab`'s page; null outside 0 .. kTabCount - 1.
    [[nodiscard]] HWND Page(int tab) const noexcept;

private:
    // The window tests reach the pages' own state through it (testing/window_test.h).
    friend class testing::FrameProbe;

    static LRESULT CALLBACK WindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) noexcept;
    static LRESULT CALLBACK TabSubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                            DWORD_PTR self) noexcept;
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    bool OnCreate();
    void OnCommand(int id);
    void OnNotify(const NMHDR& header);
    bool OnSetCursor();
    void OnActivate(bool active);
    // The dialog manager's focus moves (label mnemonics, Tab): the frame stands in for a dialog.
    void OnNextDlgCtl(WPARAM wp, LPARAM lp);

    void SSTab1_SelChange();
    void ShowPage(int tab);
    // The first size: the window around the pages' template size, which is also its minimum.
    void FitToPages();
    // Tab control, pages and status bar over the client area.
    void LayOut();
    // Copies the page into the editor's model, runs `command`, shows the model again.
    void RunFileCommand(const std::function<void()>& command);
    void ShowCurrentFile();
    [[nodiscard]] std::string StatusOfFile() const;
    // Splits the status bar for the count when there is one; the width left to the file's part.
    int LayOutStatusParts();
    // The unload, then the end of the process; runs once however often it is asked for.
    void EndProgram();
    // Dispatches the pending messages as the message loop would; `keepQuit`: a quit stops the
    // dispatch and stays for the message loop.
    void PumpMessages(bool keepQuit);

    // PageHost, for the pages and Form1.
    PageHost& Host() noexcept { return *this; }
    void ShowStatus(const std::string& utf8) override;
    void ShowCount(const std::string& text) override;
    void PumpMessages() override { PumpMessages(true); }
    void Reactivate() override { SSTab1_Click(shownTab_); }
    void BeginBusy() override;
    void EndBusy() override;
    [[nodiscard]] std::string Text(UINT id) const;

    // FileDialogs, shown over this window.
    std::string ShowOpenDialog(std::string_view filter, std::string_view title, std::string_view folder) override;
    std::string ShowSaveDialog(std::string_view filter, std::string_view title, std::string_view folder) override;
    bool ConfirmOverwrite(const std::string& path, Overwrite what) override;

    HINSTANCE instance_;
    FrameServices services_;
    // Destroyed after the window and its lists, which only borrow them.
    UniqueImageList imageList_;
    UniqueMenu contextMenus_;
    UniqueFont font_;
    // The pages, in tab order; the settings page first, the store location shows through it.
    std::unique_ptr<SettingsPage> settingsPage_;
    SettingsLocation settings_;
    ConfigEditor editor_;
    FileCommands commands_;
    std::unique_ptr<ConfigPage> configPage_;
    std::unique_ptr<ServersPage> serversPage_;
    std::unique_ptr<UsersPage> usersPage_;
    std::array<vela::Page*, kTabCount> pages_{};

    HWND hwnd_ = nullptr;
    HWND tab_ = nullptr;
    HWND status_ = nullptr;
    HWND focus_ = nullptr;  // the control to give the focus back to on reactivation
    SIZE minimum_{};        // the smallest window size: the pages at their template size
    std::string statusText_;  // the status bar's text before it is shortened to fit
    std::string programFolder_;  // from Form_Load: where the installer packages lie
    std::string countText_;   // the status bar's second part; empty: one part only
    int shownTab_ = 0;
    int busy_ = 0;          // nesting depth of the busy scopes: the hourglass is shown while > 0
    HCURSOR beforeBusy_ = nullptr;  // the pointer the outermost busy scope puts back
    bool ending_ = false;
};

// The folder of the running program's executable ("C:\Program Files\Vela"); any length.
[[nodiscard]] std::string ProgramFolder();

}  // namespace vela
