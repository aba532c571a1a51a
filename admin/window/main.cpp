// VelaConfig.exe: the administration program of the Vela Framework.
#include <windows.h>
#include <commctrl.h>

#include "admin/directory/ldap_client.h"
#include "admin/window/file_commands.h"
#include "admin/window/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // Before anything can start a program: none inherits the directory password.
    vela::directory::TakePasswordFromEnvironment();
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                     ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    ::InitCommonControlsEx(&classes);

    vela::frmConfig form(instance);
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
