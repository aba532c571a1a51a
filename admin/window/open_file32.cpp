#include "admin/window/open_file32.h"

#include <vector>

#include "admin/common/ascii.h"
#include "admin/window/file_commands.h"

namespace vela {
namespace {

std::string ShowFileDialog(const std::function<BOOL(OPENFILENAMEA&)>& show, DWORD flags, HWND owner,
                           std::string_view filter, std::string_view title, std::string_view initialFolder) {
    const std::string platformFilter = FilterToPlatform(filter);
    const std::string titleText(title);
    const std::string folder(initialFolder);
    // Zero-filled: no initial file name is offered.
    std::vector<char> file(kFileNameCapacity, '\0');
    std::vector<char> fileTitle(MAX_PATH, '\0');

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.hInstance = ::GetModuleHandleA(nullptr);
    ofn.lpstrFilter = platformFilter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrFileTitle = fileTitle.data();
    ofn.nMaxFileTitle = static_cast<DWORD>(fileTitle.size());
    ofn.lpstrInitialDir = folder.c_str();
    ofn.lpstrTitle = titleText.c_str();
    ofn.Flags = flags;
    if (!show || !show(ofn)) return {};
    file.back() = '\0';  // a scripted or faulty dialog may fill the whole buffer
    return std::string(TrimBlanks(file.data()));
}

}  // namespace

std::string ShowOpenDialog(HWND owner, std::string_view filter, std::string_view title,
                           std::string_view initialFolder, const FileDialogApi& api) {
    return ShowFileDialog(api.getOpenFileName, kOpenDialogFlags, owner, filter, title, initialFolder);
}

std::string ShowSaveDialog(HWND owner, std::string_view filter, std::string_view title,
                           std::string_view initialFolder, const FileDialogApi& api) {
    return ShowFileDialog(api.getSaveFileName, kSaveDialogFlags, owner, filter, title, initialFolder);
}

}  // namespace vela
