#include "admin/store/settings_files.h"

#include "admin/common/ascii.h"
#include "admin/store/server_types.h"

namespace vela {

TextEncoding DetectEncoding(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return TextEncoding::Utf8Bom;
    if (bytes.starts_with("\xFF\xFE")) return TextEncoding::Utf16LeBom;
    if (bytes.starts_with("\xFE\xFF")) return TextEncoding::Utf16BeBom;
    return bytes.find('\0') == std::string_view::npos ? TextEncoding::Ansi : TextEncoding::Binary;
}

std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<SettingsFile> SettingsFiles::Load(const std::string& folder, const std::string& name) {
    if (!IsPlainName(name)) return std::nullopt;
    SettingsFile file;
    file.path = JoinPath(folder, name);
    std::optional<std::string> bytes = fs_.ReadFile(file.path);
    if (!bytes) return std::nullopt;
    file.bytes = std::move(*bytes);
    file.encoding = DetectEncoding(file.bytes);
    if (!file.ReadOnly()) file.text = WithCrLf(file.bytes);
    return file;
}

bool SettingsFiles::Save(SettingsFile& file, const std::string& editorText) {
    if (file.ReadOnly()) return false;
    std::string bytes = editorText == file.text ? file.bytes : WithCrLf(editorText);
    // A NUL typed or pasted into the editor cannot be there; the text is taken as it is.
    if (!fs_.WriteFile(file.path, bytes)) return false;
    file.text = WithCrLf(bytes);
    file.bytes = std::move(bytes);
    return true;
}

std::optional<std::string> SettingsFiles::New(const std::string& folder) {
    const std::optional<std::string> answer = prompts_.InputBox("File name:", "New settings file", "");
    if (!answer || TrimBlanks(*answer).empty()) return std::nullopt;
    std::string name = *answer;
    if (!AsciiIContains(name, ".ini")) name += ".INI";
    if (!IsPlainName(name)) return std::nullopt;
    std::string text(kSettingsFileTemplate);
    text += "\r\n";
    if (!fs_.WriteFile(JoinPath(folder, name), text)) return std::nullopt;
    return name;
}

bool SettingsFiles::Delete(const std::string& folder, const std::string& name) {
    if (!prompts_.YesNo("Are you sure?", "Confirm deletion", Prompts::Default::Yes)) return false;
    if (!IsPlainName(name)) return false;
    return fs_.RemoveFile(JoinPath(folder, name));
}

std::string SettingsFiles::PropertiesPath(const std::string& folder, const std::string& name) {
    return name.empty() ? folder + "\\" : JoinPath(folder, name);
}

}  // namespace vela
