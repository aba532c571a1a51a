#include "admin/store/settings_path.h"

#include <string_view>

#include "admin/common/ascii.h"

namespace vela {
namespace {

constexpr std::string_view kStoreFolderName = "ProfileSettings";
constexpr std::string_view kDefaultType = "(DEFAULT)";

}  // namespace

std::string SettingsLocation::StoreRoot(const std::string& configFolder) {
    return JoinPath(configFolder, kStoreFolderName);
}

void SettingsLocation::GetSettingsPath(const std::string& configFolder) {
    const std::string root = StoreRoot(configFolder);
    // Usually it exists already; a folder that cannot be made shows up below as a list that
    // stays where it was.
    static_cast<void>(fs_.CreateFolder(root));

    // The pseudo type is matched exactly: "(default)" is an ordinary type name.  A real type is
    // used as picked, blanks included, since it names a folder.
    const std::string picked = view_.PickedSettingsType();
    current_ = TrimBlanks(picked).empty() || picked == kDefaultType ? root : JoinPath(root, picked);
    ShowCurrentFolder();
}

void SettingsLocation::ShowCurrentFolder() {
    if (!current_.empty() && fs_.FolderExists(current_)) view_.ShowSettingsFolder(current_);
}

}  // namespace vela
