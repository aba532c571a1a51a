// frmConfig, the main window of the administration program: the frame with the File menu, the
// tab control SSTab1 with its four pages, the status bar that names the current configuration
// file, and the shared state the tabs work on (the editor, the file-system service, the settings
// store location, ImageList1 and the context menus).
//
// How to use it:
//   1. InitCommonControlsEx for the tab, bar, list-view and tree-view classes.
//   2. Construct it with the services (the defaults call the platform), then Create().
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

#include "admin/config/framework_config.h"
#include "admin/store/file_system.h"
#include "admin/store/settings_path.h"
#include "admin/win32/unique.h"
#include "admin/window/config_page.h"
#include "admin/window/dialog_page.h"
#include "admin/window/file_commands.h"
#include "admin/window/open_file32.h"

namespace vela {

struct MenuTraits {
    static HMENU invalid() noexcept { return nullptr; }
    static void close(HMENU m) noexcept { ::DestroyMenu(m); }
};
struct ImageListTraits {
    static HIMAGELIST invalid() noexcept { return nullptr; }
    static void close(HIMAGELIST l) noexcept { ::ImageList_Destroy(l); }
};
struct FontTraits {
    static HFONT invalid() noexcept { return nullptr; }
    static void close(HFONT f) noexcept { ::DeleteObject(f); }
};
using UniqueMenu = win32::Unique<HMENU, MenuTraits>;
using UniqueImageList = win32::Unique<HIMAGELIST, ImageListTraits>;
using UniqueFont = win32::Unique<HFONT, FontTraits>;

// Where the window's commands reach the platform.  The defaults are the real calls; the tests
// script the dialogs and record the exit instead of ending their process.
struct FrameServices {
    FileDialogApi fileDialogs;
    std::function<int(HWND owner, const std::string& text, const std::string& title, UINT type)> messageBox =
        [](HWND owner, const std::string& text, const std::string& title, UINT type) {
            return ::MessageBoxA(owner, text.c_str(), title.c_str(), type);
        };
    // Runs the hive unload; `pump` dispatches the window's pending messages.
    std::function<void(const std::function<void()>& pump)> unloadHive;  // default: vela::unLoadHive
    std::function<void()> endProcess = [] { ::ExitProcess(0); };
    // What happens when the window is destroyed by other means than the exit above.
    std::function<void()> onDestroyed = [] { ::PostQuitMessage(0); };
};

// The work the tabs "Servers" and "User Configuration" start when they are activated (and on F5).
// Empty until those tabs are built; an empty entry is skipped.
struct TabActivation {
    std::function<void()> EnumServers;
    std::function<void()> PopulateInstall;
    std::function<void()> LoadDomain;
};

// The "Profile Settings" page as the settings store location sees it.  Until that tab gets its
// server-type box and file list, no type is picked and the list only remembers its folder.
class SettingsPage final : public DialogPage, public SettingsView {
public:
    [[nodiscard]] std::string PickedSettingsType() override { return {}; }
    void ShowSettingsFolder(const std::string& folder) override { shownFolder_ = folder; }
    [[nodiscard]] const std::string& ShownFolder() const { return shownFolder_; }

private:
    std::string shownFolder_;
};

class frmConfig final : private FileDialogs {
public:
    static constexpr int kTabCount = 4;

    explicit frmConfig(HINSTANCE instance, FrameServices services = {});
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
    [[nodiscard]] HWND SSTab1() const noexcept { return tab_; }
    [[nodiscard]] HWND StatusBar() const noexcept { return status_; }
    [[nodiscard]] HWND Page(int tab) const noexcept;
    [[nodiscard]] int ShownTab() const noexcept { return shownTab_; }
    [[nodiscard]] HIMAGELIST ImageList1() const noexcept { return imageList_.get(); }
    [[nodiscard]] HMENU mnuServer() const noexcept { return ::GetSubMenu(contextMenus_.get(), 0); }
    [[nodiscard]] HMENU mnuUser() const noexcept { return ::GetSubMenu(contextMenus_.get(), 1); }
    [[nodiscard]] ConfigEditor& Editor() noexcept { return editor_; }
    [[nodiscard]] FileSystem& Files() noexcept { return *fs_; }
    [[nodiscard]] SettingsLocation& Settings() noexcept { return settings_; }
    [[nodiscard]] SettingsPage& SettingsTab() noexcept { return settingsPage_; }

    TabActivation tabActivation;

private:
    static LRESULT CALLBACK WindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) noexcept;
    static LRESULT CALLBACK TabSubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                            DWORD_PTR self) noexcept;
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    bool OnCreate();
    void OnCommand(int id);
    void OnNotify(const NMHDR& header);
    bool OnSetCursor();
    void OnActivate(bool active);

    void SSTab1_SelChange();
    void ShowPage(int tab);
    void LayOut();
    void CreateImageList1();
    // Copies the page into the editor's model, runs `command`, shows the model again.
    void RunFileCommand(const std::function<void()>& command);
    void ShowCurrentFile();
    // The unload, then the end of the process; runs once however often it is asked for.
    void EndProgram();
    void PumpMessages();
    [[nodiscard]] std::string Text(UINT id) const;

    // FileDialogs, shown over this window.
    std::string ShowOpenDialog(std::string_view filter, std::string_view title, std::string_view folder) override;
    std::string ShowSaveDialog(std::string_view filter, std::string_view title, std::string_view folder) override;
    bool ConfirmReplace(const std::string& path) override;

    HINSTANCE instance_;
    FrameServices services_;
    // Destroyed after the window and its lists, which only borrow it.
    UniqueImageList imageList_;
    UniqueMenu contextMenus_;
    UniqueFont font_;
    std::unique_ptr<FileSystem> fs_;
    SettingsPage settingsPage_;
    SettingsLocation settings_;
    ConfigEditor editor_;
    FileCommands commands_;
    ConfigPage configPage_;
    DialogPage serversPage_;
    DialogPage usersPage_;

    HWND hwnd_ = nullptr;
    HWND tab_ = nullptr;
    HWND status_ = nullptr;
    HWND focus_ = nullptr;  // the control to give the focus back to on reactivation
    int shownTab_ = 0;
    int busy_ = 0;          // nesting depth of the tab activation: the hourglass is shown while > 0
    bool ending_ = false;
};

// The folder of the running program's executable ("C:\Program Files\Vela"); any length.
[[nodiscard]] std::string ProgramFolder();

}  // namespace vela
