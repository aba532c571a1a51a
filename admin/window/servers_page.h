// The "Servers" tab: the assignment server-type box Combo5 with the buttons "New server type" and
// "Delete server type", and the server list ListView2 with its context menu mnuServer.
//
// Each activation (the tab shown, F5 on the tab control or in the list) refills the list from the
// browse list or, when that names no server, the directory (EnumServers; the status bar says
// which), adds the installer package entries (PopulateInstall), and marks the servers that carry
// the type Combo5 still shows.  Picking a type marks the servers that carry it (Combo5_Click); a
// user's tick or clear writes the server's type and the check mark then tells what the server
// holds (ListView2_ItemCheck).  Refilling Combo5 (either tab's drop-down) leaves nothing picked:
// the marks go, and toggles are refused until a type is picked.  The rules live in
// ServerAssignment, EnumServers and InstallEntries; this page reads its controls, calls them and
// shows their answers.
//
// A failure said in the status bar stays until the next listing, pick or toggle that works; the
// listing's own text then comes back.
//
// Server names are UTF-8 and reach the list through its wide messages; server types and package
// names are ANSI text.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "admin/packages/install_entries.h"
#include "admin/store/server_assignment.h"
#include "admin/store/server_enum.h"
#include "admin/store/server_types.h"
#include "admin/window/dialog_page.h"

namespace vela {

struct ServersPageLinks {
    // The folder of the current configuration file, where the store lies.
    std::function<std::string()> ConfigFolder;
    // The program's own folder, where the installer packages lie.
    std::function<std::string()> ProgramFolder;
    // Combo5_DropDown lists the types in both boxes; this fills the "Profile Settings" tab's.
    std::function<void(const std::vector<std::string>& types)> FillSettingsTypes;
};

class ServersPage final : public DialogPage, private ServerList {
public:
    // `host` (the frame: status bar, hourglass, pump, F5), `imageList` (ImageList1), `serverMenu`
    // (the "Server" context menu), `servers` (the browse list), `directory` (asked when the
    // browse list names no server; may be null) and `registry` are borrowed for the page's life.
    ServersPage(HINSTANCE instance, PageHost& host, FileSystem& fs, Prompts& prompts, HIMAGELIST imageList,
                HMENU serverMenu, ServerEnumerator& servers, ServerDirectory* directory, ServerRegistry& registry,
                ServersPageLinks links);
    ~ServersPage() override;

    // Refills Combo5 and then the settings box: "(DEFAULT)" and the store's type folders.  Nothing
    // is picked in Combo5 afterwards, so every row's check mark goes.
    void Combo5_DropDown();
    // EnumServers, PopulateInstall, then the marking scan when Combo5 shows a type; a step that
    // fails does not stop the next.
    void OnActivate() override;

    void EnumServers();
    void PopulateInstall();
    void Combo5_Click();
    void ListView2_ItemCheck(int row, bool ticked);
    void ListView2_KeyUp(WPARAM keyCode);
    // The right button was released over the list at `screen`: mnuServer pops up there.
    void ListView2_MouseUp(POINT screen);

protected:
    void OnInit() override;
    void OnCommand(int id, int code) override;
    LRESULT OnNotify(const NMHDR& header) override;

private:
    // The scan's view of the list (ServerList).
    std::size_t Count() override;
    std::string ServerAt(std::size_t row) override;
    std::string PickedType() override;
    void Show(std::size_t row, bool checked, const std::string& serverType) override;
    void Uncheck(std::size_t row) override;

    void Command3_Click();
    void Command4_Click();
    // Sets a row's check mark without that counting as a user's toggle.
    void SetCheck(int row, bool checked);
    void SetServerType(int row, const std::string& serverType);
    // The status bar: a failure (UTF-8), or, when one is shown, the listing's text again.
    void ShowFailure(const std::string& text);
    void ForgetFailure();
    static LRESULT CALLBACK ListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self) noexcept;

    PageHost& host_;
    ServerTypes types_;
    FileSystem& fs_;
    HIMAGELIST imageList_;
    HMENU serverMenu_;
    ServerEnumerator& servers_;
    ServerDirectory* directory_;
    ServerAssignment assignment_;
    InstallEntries installs_;
    ServersPageLinks links_;
    int ownChecks_ = 0;  // > 0 while the page itself sets check marks
    std::string listingText_;  // what the last listing said in the status bar
    bool failureShown_ = false;
};

}  // namespace vela
