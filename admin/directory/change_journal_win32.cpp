#include <windows.h>
#include <shlobj.h>

#include "admin/directory/change_journal.h"

namespace vela::directory {

// The folder is the user's own and not roaming: a journal belongs to the computer it was made on.
std::optional<std::filesystem::path> JournalFolder() {
    wchar_t local[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, local)))
        return std::nullopt;
    return std::filesystem::path(local) / L"Vela" / L"Changes";
}

}  // namespace vela::directory
