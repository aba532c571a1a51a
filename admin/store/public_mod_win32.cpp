#include "admin/store/public_mod_win32.h"

#include "admin/win32/unique.h"

namespace vela {

void ShowFileProperties(const std::string& path, HWND owner, const ShellExecuteExCall& call) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = "properties";
    info.lpFile = path.c_str();
    info.lpParameters = "";
    info.lpDirectory = "";
    info.nShow = 0;
    if (call)
        call(&info);
    else
        ::ShellExecuteExA(&info);
    // SEE_MASK_NOCLOSEPROCESS hands back a handle when a process was started; nobody waits on it.
    const win32::UniqueHandle process(info.hProcess);
}

}  // namespace vela
