// PublicMod: the shell's property sheet of a file or folder, where the administrator sets its
// permissions.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

namespace vela {

// The call that reaches the shell; tests put a recorder in its place.
using ShellExecuteExCall = std::function<BOOL(SHELLEXECUTEINFOA*)>;

// Opens the property sheet of `path` over `owner`: ShellExecuteExA with the verb "properties",
// mask SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI (0x44C), empty
// parameters and folder, nShow 0.  The outcome is not examined; a process handle the call hands
// back is closed.
void ShowFileProperties(const std::string& path, HWND owner, const ShellExecuteExCall& call = {});

}  // namespace vela
