#include "admin/store/server_types.h"

#include "admin/common/ascii.h"
#include "admin/store/settings_path.h"

namespace vela {
namespace {

// The digits Windows takes after COM and LPT: 1-9, and the superscripts 1, 2 and 3 (U+00B9,
// U+00B2, U+00B3), as the bytes of Western code pages or as UTF-8 where that is the code page.
// Elsewhere those bytes are other letters ("COM" + 0xB9 is "COM" + a-ogonek in 1250); refusing
// such a name too costs little and does not depend on the code page.
bool IsDeviceDigit(std::string_view d) {
    if (d.size() == 1) return (d[0] >= '1' && d[0] <= '9') || d == "\xB9" || d == "\xB2" || d == "\xB3";
    return d == "\xC2\xB9" || d == "\xC2\xB2" || d == "\xC2\xB3";
}

bool IsDeviceName(std::string_view name) {
    // "NUL", "nul.txt", "COM1.INI", "NUL .ini": the part before the first dot decides, with the
    // blanks at its end dropped as Windows drops them.
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    const std::string upper = AsciiUpper(stem);
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
    return (upper.starts_with("COM") || upper.starts_with("LPT")) && IsDeviceDigit(stem.substr(3));
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
