#include "admin/store/settings_files.h"

#include "admin/common/ascii.h"
#include "admin/common/text.h"
#include "admin/store/server_types.h"

namespace vela {

TextEncoding DetectEncoding(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return TextEncoding::Utf8Bom;
    if (bytes.starts_with("\xFF\xFE")) return TextEncoding::Utf16LeBom;
    if (bytes.starts_with("\xFE\xFF")) return TextEncoding::Utf16BeBom;
    return bytes.find('\0') == std::string_view::npos ? TextEncoding::Ansi : TextEncoding::Binary;
}

namespace {

// `text` with every line end made CR LF; with `nulAsSpace` a NUL shows as a space (it would end
// an edit control's text).
template <typename Char>
std::basic_string<Char> CrLfText(std::basic_string_view<Char> text, bool nulAsSpace) {
    std::basic_string<Char> out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const Char c = text[i];
        if (c == Char('\r') || c == Char('\n')) {
            if (c == Char('\r') && i + 1 < text.size() && text[i + 1] == Char('\n')) ++i;
            out += Char('\r');
            out += Char('\n');
        } else {
            out += nulAsSpace && c == Char('\0') ? Char(' ') : c;
        }
    }
    return out;
}

}  // namespace

std::string WithCrLf(std::string_view text) { return CrLfText(text, false); }

std::u16string ShownText(const SettingsFile& file) {
    const std::string_view b = file.bytes;
    std::u16string text;
    switch (file.encoding) {
    case TextEncoding::Utf8Bom:
        // Not UTF-8 after all: shown as ANSI text rather than guessed at (it is never written).
        if (std::optional<std::u16string> utf16 = Utf8ToUtf16(b.substr(3)))
            text = std::move(*utf16);
        else
            text = AnsiToUtf16(b.substr(3));
        break;
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom: {
        const bool le = file.encoding == TextEncoding::Utf16LeBom;
        for (size_t i = 2; i + 1 < b.size(); i += 2) {  // an odd last byte holds no character
            const auto first = static_cast<unsigned char>(b[i]), second = static_cast<unsigned char>(b[i + 1]);
            text += static_cast<char16_t>(le ? first | second << 8 : second | first << 8);
        }
        break;
    }
    case TextEncoding::Ansi:
    case TextEncoding::Binary:
        text = AnsiToUtf16(b);
        break;
    }
    return CrLfText(std::u16string_view(text), true);
}

std::optional<SettingsFile> SettingsFiles::Load(const std::string& folder, const std::string& name) {
    if (!IsPlainName(name)) return std::nullopt;
    SettingsFile file;
    file.path = JoinPath(folder, name);
    std::optional<FileContent> content = fs_.ReadFile(file.path);
    if (!content || !content->exists) return std::nullopt;
    file.bytes = std::move(content->bytes);
    file.encoding = DetectEncoding(file.bytes);
    file.readOnlyFile = fs_.IsReadOnlyFile(file.path);
    if (file.AnsiText()) file.text = WithCrLf(file.bytes);
    return file;
}

bool SettingsFiles::Save(SettingsFile& file, const std::string& editorText) {
    std::string name = "\"";
    (name += std::string_view(file.path).substr(file.path.find_last_of("\\/") + 1)) += '"';
    refusal_.clear();
    if (!file.AnsiText()) {
        refusal_ = name + (file.encoding == TextEncoding::Binary ? " holds NUL bytes" : " is not ANSI text") +
                   ": it is shown read-only and not saved.";
        return false;
    }
    file.readOnlyFile = fs_.IsReadOnlyFile(file.path);  // marked or unmarked since the load
    if (file.readOnlyFile) {
        refusal_ = name + " is marked read-only: it is not saved.";
        return false;
    }
    std::string bytes = editorText == file.text ? file.bytes : WithCrLf(editorText);
    // A NUL typed or pasted into the editor cannot be there; the text is taken as it is.
    if (!fs_.WriteFile(file.path, bytes)) {
        refusal_ = name + " could not be saved: the file or its folder cannot be written.";
        return false;
    }
    file.text = WithCrLf(bytes);
    file.bytes = std::move(bytes);
    return true;
}

std::optional<std::string> SettingsFiles::New(const std::string& folder) {
    refusal_.clear();
    const std::optional<std::string> answer = prompts_.InputBox("File name:", "New settings file", "");
    if (!answer || TrimBlanks(*answer).empty()) return std::nullopt;
    std::string name = *answer;
    if (!AsciiIContains(name, ".ini")) name += ".INI";
    if (const std::string why = PlainNameRefusal(name); !why.empty()) {
        refusal_ = "No settings file was made: \"" + name + "\" cannot be a file name: " + why + ".";
        return std::nullopt;
    }
    std::string text(kSettingsFileTemplate);
    text += "\r\n";
    if (!fs_.WriteFile(JoinPath(folder, name), text)) {
        refusal_ = "\"" + name + "\" could not be written: the folder cannot be written, or a read-only file has "
                   "that name.";
        return std::nullopt;
    }
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
