#include "admin/config/profile_engine.h"

#include "admin/common/ascii.h"
#include "admin/store/file_system.h"

namespace vela::profile {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string_view CutAtNul(std::string_view s) noexcept {
    return s.substr(0, s.find('\0'));
}

std::string_view Trim(std::string_view s) noexcept {
    while (!s.empty() && IsProfileBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsProfileBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view TrimName(std::string_view name) noexcept { return Trim(CutAtNul(name)); }

// One line of the file, as offsets into the content.
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;   // end of the text, where the line end (if any) starts
    std::size_t next = 0;  // where the next line starts
};

// Reads the line starting at `pos` (< content.size()).
Line LineAt(std::string_view content, std::size_t pos) noexcept {
    Line line{pos, pos, pos};
    const std::size_t stop = content.find_first_of("\r\n", pos);
    if (stop == std::string_view::npos) {
        line.end = line.next = content.size();
        return line;
    }
    line.end = stop;
    line.next = stop + 1;
    if (content[stop] == '\r' && line.next < content.size() && content[line.next] == '\n')
        ++line.next;
    return line;
}

enum class Kind { Blank, Header, Entry };

// What a line says, with the offsets the writer needs (absolute, into the content).
struct Parsed {
    Kind kind = Kind::Blank;
    std::string_view name;       // section name of a header, key name of an entry
    bool hasValue = false;       // entry: the line holds '='
    std::size_t nameEnd = 0;     // entry: end of the trimmed name
    std::size_t afterEquals = 0; // entry with value: just after the '='
    std::size_t valueBegin = 0;  // entry with value: first byte of the trimmed value
    std::string_view value;      // entry with value: trimmed value
};

Parsed ParseLine(std::string_view content, const Line& line) noexcept {
    Parsed p;
    std::size_t b = line.begin;
    std::size_t e = line.end;
    while (b < e && IsProfileBlank(content[b])) ++b;
    while (e > b && IsProfileBlank(content[e - 1])) --e;
    if (b == e) return p;
    const std::string_view text = content.substr(b, e - b);
    if (text.front() == '[') {
        const std::size_t close = text.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            p.kind = Kind::Header;
            p.name = Trim(text.substr(1, close - 1));
            return p;
        }
        // "[name" without ']' is no header: it reads as an entry of the current section.
    }
    p.kind = Kind::Entry;
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        p.name = text;
        p.nameEnd = e;
        return p;
    }
    const auto offset = [&](std::string_view part) {
        return static_cast<std::size_t>(part.data() - content.data());
    };
    p.name = Trim(text.substr(0, eq));
    p.nameEnd = offset(p.name) + p.name.size();
    p.hasValue = true;
    p.afterEquals = b + eq + 1;
    p.value = Trim(text.substr(eq + 1));
    p.valueBegin = p.value.empty() ? p.afterEquals : offset(p.value);
    return p;
}

// Where a section and a key stand in the content.
struct Location {
    bool sectionFound = false;
    Line lastNonBlank;     // of the section, its header included
    bool keyFound = false;
    Line keyLine;
    Parsed key;
};

Location Locate(std::string_view content, std::string_view section, std::string_view key) {
    Location loc;
    bool inSection = false;
    for (std::size_t pos = 0; pos < content.size();) {
        const Line line = LineAt(content, pos);
        pos = line.next;
        const Parsed p = ParseLine(content, line);
        if (p.kind == Kind::Header) {
            if (inSection) break;  // the first matching section ends here
            if (AsciiIEquals(p.name, section)) {
                inSection = true;
                loc.sectionFound = true;
                loc.lastNonBlank = line;
            }
            continue;
        }
        if (!inSection || p.kind == Kind::Blank) continue;
        loc.lastNonBlank = line;
        if (AsciiIEquals(p.name, key)) {
            loc.keyFound = true;
            loc.keyLine = line;
            loc.key = p;
            break;
        }
    }
    return loc;
}

bool EndsWithLineEnd(std::string_view content) noexcept {
    return !content.empty() && (content.back() == '\n' || content.back() == '\r');
}

}  // namespace

bool IsUsableName(std::string_view name) noexcept { return !TrimName(name).empty(); }

std::optional<std::string_view> FindValue(std::string_view content, std::string_view section,
                                          std::string_view key) {
    section = TrimName(section);
    key = TrimName(key);
    if (section.empty() || key.empty()) return std::nullopt;
    const Location loc = Locate(content, section, key);
    if (!loc.keyFound || !loc.key.hasValue) return std::nullopt;
    return loc.key.value;
}

std::string GetString(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view def, std::size_t bufferChars) {
    if (bufferChars == 0) return {};
    std::string_view text;
    if (const auto value = FindValue(content, section, key)) {
        text = *value;
        if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
            text.back() == text.front())
            text = text.substr(1, text.size() - 2);
    } else {
        text = CutAtNul(def);
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    }
    return std::string(text.substr(0, bufferChars - 1));
}

std::string SetString(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view value) {
    section = TrimName(section);
    key = TrimName(key);
    if (section.empty() || key.empty()) return std::string(content);
    value = CutAtNul(value);
    while (!value.empty() && (IsProfileBlank(value.front()) || value.front() == '\r' ||
                              value.front() == '\n'))
        value.remove_prefix(1);

    const Location loc = Locate(content, section, key);
    std::string out;
    out.reserve(content.size() + section.size() + key.size() + value.size() + 8);

    if (loc.keyFound) {
        std::size_t from = 0;
        std::string insert;
        if (loc.key.hasValue) {
            if (loc.key.value == value) return std::string(content);
            // An empty stored value starts right after '=': blanks there are dropped with it.
            from = loc.key.value.empty() ? loc.key.afterEquals : loc.key.valueBegin;
        } else {
            from = loc.key.nameEnd;
            insert = "=";
        }
        insert += value;
        out.append(content.substr(0, from));
        out.append(insert);
        out.append(content.substr(loc.keyLine.end));
        return out;
    }

    if (loc.sectionFound) {
        const Line& after = loc.lastNonBlank;
        out.append(content.substr(0, after.next));
        if (after.next == after.end) out.append(kLineEnd);  // the file's last line had no end
        out.append(key).append("=").append(value).append(kLineEnd);
        out.append(content.substr(after.next));
        return out;
    }

    out.append(content);
    if (!content.empty() && !EndsWithLineEnd(content)) out.append(kLineEnd);
    out.append("[").append(section).append("]").append(kLineEnd);
    out.append(key).append("=").append(value).append(kLineEnd);
    return out;
}

std::string ReadString(FileSystem& fs, const std::string& path, std::string_view section, std::string_view key,
                       std::string_view def, std::size_t bufferChars) {
    const std::optional<FileContent> file = fs.ReadFile(path);
    return GetString(file ? std::string_view(file->bytes) : std::string_view(), section, key, def,
                     bufferChars);
}

bool WriteString(FileSystem& fs, const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value) {
    if (!IsUsableName(section) || !IsUsableName(key)) return false;
    const std::optional<FileContent> file = fs.ReadFile(path);
    if (!file) return false;  // an unreadable file is not an empty one: keep its content
    std::string updated = SetString(file->bytes, section, key, value);
    if (file->exists && updated == file->bytes) return true;
    return fs.WriteFile(path, updated);
}

}  // namespace vela::profile
