// The "Servers" tab: the assignment server-type box Combo5 with the buttons "New server type"
// and "Delete server type".  The server list goes below them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "admin/store/server_types.h"
#include <windows.h>
#include <commctrl.h>

#include "admin/window/dialog_page.h"

namespace vela {

struct ServersPageLinks {
    // The folder of the current configuration file, where the store lies.
    std::function<std::string()> ConfigFolder;
    // Combo5_DropDown lists the types in both boxes; this fills the "Profile Settings" tab's.
    std::function<void(const std::vector<std::string>& types)> FillSettingsTypes;
    // The tab activation's work (server enumeration, install entries); empty entries do nothing.
    std::function<void()> Activate;
    // Runs the tab activation again under the frame's hourglass: F5 in the server list.
    std::function<void()> Reactivate;
};

class ServersPage final : public DialogPage {
public:
    // `imageList` (ImageList1) and `serverMenu` (the "Server" context menu) are borrowed.
    ServersPage(HINSTANCE instance, FileSystem& fs, Prompts& prompts, HIMAGELIST imageList, HMENU serverMenu,
                ServersPageLinks links);

    // Refills Combo5 and then the settings box: "(DEFAULT)" and the store's type folders.
    void Combo5_DropDown();

    void OnActivate() override;

protected:
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void Command3_Click();
    void Command4_Click();

    ServerTypes types_;
    HIMAGELIST imageList_;
    HMENU serverMenu_;
    ServersPageLinks links_;
};

}  // namespace vela
