#include "admin/store/server_types.h"

#include "admin/common/ascii.h"
#include "admin/store/settings_path.h"

namespace vela {
namespace {

bool IsDeviceName(std::string_view name) {
    // "NUL", "nul.txt", "COM1.INI": the part before the first dot decides.
    const std::string stem = AsciiUpper(name.substr(0, name.find('.')));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' &&
           stem[3] <= '9';
}

}  // namespace

bool IsPlainName(std::string_view name) { return PlainNameRefusal(name).empty(); }

std::string PlainNameRefusal(std::string_view name) {
    if (name.empty()) return "it is empty";
    if (name == "." || name == "..") return "it stands for a folder (. or ..)";
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return "it holds a control character";
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return std::string("it holds ") + c + ", which no name may hold (\\ / : * ? \" < > |)";
    }
    if (name.back() == ' ' || name.back() == '.') return "it ends in a blank or a dot, which Windows drops";
    if (IsDeviceName(name)) return "it is the name of a device (" + AsciiUpper(name.substr(0, name.find('.'))) + ")";
    return {};
}

std::string ServerTypes::Folder(const std::string& configFolder, std::string_view name) {
    return JoinPath(SettingsLocation::StoreRoot(configFolder), name);
}

std::vector<std::string> ServerTypes::List(const std::string& configFolder) {
    std::vector<std::string> types{std::string(kDefaultServerType)};
    for (std::string& name : fs_.SubFolders(SettingsLocation::StoreRoot(configFolder)))
        types.push_back(std::move(name));
    return types;
}

bool ServerTypes::New(const std::string& configFolder) {
    const std::optional<std::string> answer = prompts_.InputBox("Server type name:", "New server type", "");
    // The name is used as typed; blanks only (or Cancel) mean no answer.
    if (!answer || TrimBlanks(*answer).empty() || !IsPlainName(*answer)) return false;
    // A folder named as the store root's pseudo type could be neither picked (that name shows the
    // store root) nor deleted.
    if (*answer == kDefaultServerType) return false;
    const std::string folder = Folder(configFolder, *answer);
    if (fs_.FolderExists(folder)) return false;
    return fs_.CreateFolder(folder);
}

bool ServerTypes::Delete(const std::string& configFolder, const std::string& picked) {
    if (picked.empty() || picked == kDefaultServerType || !IsPlainName(picked)) return false;
    if (!prompts_.YesNo("Are you sure you want to delete " + picked + "?", "Confirm deletion",
                        Prompts::Default::Yes))
        return false;
    return fs_.DeleteFolder(Folder(configFolder, picked));
}

}  // namespace vela
