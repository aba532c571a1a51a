// OpenFile32: the modal file dialogs of the main window.
//
// Both dialogs hand the platform a buffer of 32768 characters, room for any path it returns (a
// 255-character buffer made longer valid paths fail as if the user had cancelled).  The call
// that shows the dialog goes through FileDialogApi, so tests can script it and see exactly what
// would reach the platform.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <functional>
#include <string>
#include <string_view>

namespace vela {

// OFN_NOCHANGEDIR: the dialogs leave the process's current folder where it was.  Moved into the
// configuration's folder (a share, a copied folder), it is where the executable search looks
// before the system folders, and where the settings-file list starts.
inline constexpr DWORD kOpenDialogFlags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;  // 0x100C
inline constexpr DWORD kSaveDialogFlags =
    OFN_OVERWRITEPROMPT | OFN_CREATEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;  // 0x200E
inline constexpr DWORD kFileNameCapacity = 32768;

struct FileDialogApi {
    std::function<BOOL(OPENFILENAMEA&)> getOpenFileName = [](OPENFILENAMEA& ofn) { return ::GetOpenFileNameA(&ofn); };
    std::function<BOOL(OPENFILENAMEA&)> getSaveFileName = [](OPENFILENAMEA& ofn) { return ::GetSaveFileNameA(&ofn); };
};

// The full path of the chosen existing file, blanks around it removed; empty text when the user
// cancels or the dialog fails.  `filter` is "description|pattern|...".
[[nodiscard]] std::string ShowOpenDialog(HWND owner, std::string_view filter, std::string_view title,
                                         std::string_view initialFolder, const FileDialogApi& api = {});
// The same with the save dialog, which asks before replacing or creating a file.
[[nodiscard]] std::string ShowSaveDialog(HWND owner, std::string_view filter, std::string_view title,
                                         std::string_view initialFolder, const FileDialogApi& api = {});

}  // namespace vela
