// VelaConfig.exe: the administration program of the Vela Framework.  The platform's services are
// made here and handed to the window; the tests hand it stand-ins instead.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "admin/commands/shell32bit.h"
#include "admin/directory/ldap_client.h"
#include "admin/directory/server_accounts.h"
#include "admin/store/server_enum_win32.h"
#include "admin/window/file_commands.h"
#include "admin/window/main_window.h"
#include "admin/window/prompts_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // Before anything can start a program: none inherits the directory password.
    vela::directory::TakePasswordFromEnvironment();
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                     ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    ::InitCommonControlsEx(&classes);

    // The prompts are shown over the window, which exists only after the services.
    const vela::frmConfig* window = nullptr;
    vela::FrameServices services;
    services.files = vela::MakeFileSystem();
    services.prompts =
        std::make_shared<vela::Win32Prompts>(instance, [&window] { return window ? window->hwnd() : nullptr; });
    services.servers = std::make_shared<vela::NetServerEnumerator>();
    services.serverRegistry = std::make_shared<vela::RemoteServerRegistry>();
    // The directory named by VELA_DIRECTORY, else the domain's.
    services.directory = vela::directory::LdapConnector();
    services.serverDirectory = std::make_shared<vela::directory::DirectoryServers>(vela::directory::LdapConnector());
    services.unloadHive = [](const std::function<void()>& pump) { vela::unLoadHive(pump); };
    services.endProcess = [] { ::ExitProcess(0); };
    services.onDestroyed = [] { ::PostQuitMessage(0); };

    vela::frmConfig form(instance, std::move(services));
    window = &form;
    if (!form.Create()) return 1;
    // The whole tail, untrimmed: a path with blanks needs no quotation marks.
    form.Form_Load(vela::CommandLineTail(::GetCommandLineA()), vela::ProgramFolder());
    form.Show(showCommand);

    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (form.TranslateDialogMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}
