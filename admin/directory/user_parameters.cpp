#include "admin/directory/user_parameters.h"

#include <algorithm>

namespace vela::directory {

namespace {

constexpr std::size_t kHeaderSize = kReservedSize + 4;  // reserved data, signature, count
constexpr std::size_t kPropertyHeader = 6;              // name length, value length, type
constexpr std::size_t kMaxUnits = 32767;                // the attribute's range

std::uint16_t ReadU16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}

void AppendU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

std::string Utf16Le(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (char16_t c : s) AppendU16(out, static_cast<std::uint16_t>(c));
    return out;
}

std::string U32Le(std::uint32_t v) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
}

// "CtxCfgPresent" and 35 spaces: the reserved data Windows writes into a new value.
std::string NewReserved() {
    std::u16string r = u"CtxCfgPresent";
    r.append(kReservedSize / 2 - r.size(), u' ');
    return Utf16Le(r);
}

TsProperty Property(std::string_view name, std::string_view valueBytes) {
    return TsProperty{PropertyName(name), HexEncode(valueBytes), 1};
}

std::string AnsiValue(std::string_view ansi) {
    std::string v(ansi);
    v.push_back('\0');
    return v;
}

std::string WideValue(std::u16string_view wide) {
    std::string v = Utf16Le(wide);
    v.append(2, '\0');
    return v;
}

// The property set a new terminal-server part carries, in the order Windows writes it.
std::vector<TsProperty> DefaultProperties(std::string_view ansi, std::u16string_view wide) {
    const std::string empty(1, '\0'), emptyW(2, '\0');
    return {
        Property("CtxCfgPresent", U32Le(0xB00B1E55)),
        Property("CtxWFProfilePath", AnsiValue(ansi)),
        Property("CtxWFProfilePathW", WideValue(wide)),
        Property("CtxWFHomeDir", empty),
        Property("CtxWFHomeDirW", emptyW),
        Property("CtxWFHomeDirDrive", empty),
        Property("CtxWFHomeDirDriveW", emptyW),
        Property("CtxShadow", U32Le(1)),
        Property("CtxMaxDisconnectionTime", U32Le(0)),
        Property("CtxMaxConnectionTime", U32Le(0)),
        Property("CtxMaxIdleTime", U32Le(0)),
        Property("CtxWorkDirectory", empty),
        Property("CtxWorkDirectoryW", emptyW),
        Property("CtxCfgFlags1", U32Le(0x9020F000)),
        Property("CtxInitialProgram", empty),
        Property("CtxInitialProgramW", emptyW),
    };
}

// The names looked up on every read and write, in their stored (UTF-16LE) form.
const std::string& kPresent() {
    static const std::string name = PropertyName("CtxCfgPresent");
    return name;
}
const std::string& kPath() {
    static const std::string name = PropertyName("CtxWFProfilePath");
    return name;
}
const std::string& kPathW() {
    static const std::string name = PropertyName("CtxWFProfilePathW");
    return name;
}

std::vector<TsProperty>::iterator Find(std::vector<TsProperty>& props, const std::string& name) {
    return std::find_if(props.begin(), props.end(), [&](const TsProperty& p) { return p.name == name; });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> WireToBlob(std::string_view wire) {
    const std::optional<std::u16string> units = Utf8ToUtf16(wire);
    if (!units) return std::nullopt;
    return Utf16Le(*units);
}

std::string BlobToWire(std::string_view blob) {
    std::u16string units((blob.size() + 1) / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto lo = static_cast<unsigned char>(blob[2 * i]);
        const auto hi = 2 * i + 1 < blob.size() ? static_cast<unsigned char>(blob[2 * i + 1]) : 0u;
        units[i] = static_cast<char16_t>(lo | (hi << 8));
    }
    return Utf16ToUtf8(units);
}

std::optional<UserParameters> ParseUserParameters(std::string_view b) {
    if (b.size() < kReservedSize) return std::nullopt;
    UserParameters p;
    p.reserved.assign(b.substr(0, kReservedSize));
    if (b.size() == kReservedSize) return p;
    if (b.size() < kHeaderSize || ReadU16(b, kReservedSize) != u'P') return std::nullopt;
    p.hasTsPart = true;
    const std::size_t count = ReadU16(b, kReservedSize + 2);
    std::size_t at = kHeaderSize;
    p.properties.reserve(std::min<std::size_t>(count, b.size() / kPropertyHeader));
    for (std::size_t n = 0; n < count; ++n) {
        if (b.size() - at < kPropertyHeader) return std::nullopt;
        const std::size_t nameLen = ReadU16(b, at), valueLen = ReadU16(b, at + 2);
        const std::uint16_t type = ReadU16(b, at + 4);
        at += kPropertyHeader;
        if (b.size() - at < nameLen + valueLen) return std::nullopt;
        p.properties.push_back(TsProperty{std::string(b.substr(at, nameLen)),
                                          std::string(b.substr(at + nameLen, valueLen)), type});
        at += nameLen + valueLen;
    }
    p.trailing.assign(b.substr(at));
    return p;
}

std::string SerializeUserParameters(const UserParameters& p) {
    std::string out = p.reserved;
    if (!p.hasTsPart) return out;
    AppendU16(out, u'P');
    AppendU16(out, static_cast<std::uint16_t>(p.properties.size()));
    for (const auto& prop : p.properties) {
        AppendU16(out, static_cast<std::uint16_t>(prop.name.size()));
        AppendU16(out, static_cast<std::uint16_t>(prop.value.size()));
        AppendU16(out, prop.type);
        out += prop.name;
        out += prop.value;
    }
    out += p.trailing;
    return out;
}

std::string PropertyName(std::string_view ascii) {
    std::string out;
    for (char c : ascii) AppendU16(out, static_cast<unsigned char>(c));
    return out;
}

std::string HexEncode(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

std::optional<std::string> HexDecode(std::string_view d) {
    if (d.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(d.size() / 2);
    for (std::size_t i = 0; i < d.size(); i += 2) {
        const int hi = HexDigit(d[i]), lo = HexDigit(d[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return out;
}

namespace {

// The path a parsed value holds; nullopt when it cannot be read exactly (see ReadTsProfilePath).
std::optional<TsProfilePath> FindPath(const UserParameters& p) {
    std::optional<std::size_t> plain, wide;  // their places in the property list
    for (std::size_t i = 0; i < p.properties.size(); ++i) {
        const std::string& name = p.properties[i].name;
        if (name != kPath() && name != kPathW()) continue;
        auto& slot = name == kPath() ? plain : wide;
        if (slot) return std::nullopt;  // twice
        slot = i;
    }
    TsProfilePath found;
    if (plain) {
        const auto bytes = HexDecode(p.properties[*plain].value);
        if (!bytes) return std::nullopt;
        found.ansi = bytes->substr(0, bytes->find('\0'));
    }
    if (wide) {
        const auto bytes = HexDecode(p.properties[*wide].value);
        if (!bytes || bytes->size() % 2 != 0) return std::nullopt;
        std::u16string text;
        for (std::size_t i = 0; i < bytes->size(); i += 2) {
            const auto unit = static_cast<char16_t>(ReadU16(*bytes, i));
            if (unit == 0) break;
            text.push_back(unit);
        }
        found.wide = std::move(text);
    }
    found.state = plain || wide ? TsProfilePath::State::Set : TsProfilePath::State::NotSet;
    return found;
}

// The parsed value and its path, or nullopt when it is damaged (the blob is not empty).
struct Reading {
    UserParameters value;
    TsProfilePath path;
};
std::optional<Reading> Read(std::string_view blob) {
    if (blob.size() % 2 != 0) return std::nullopt;
    auto parsed = ParseUserParameters(blob);
    if (!parsed) return std::nullopt;
    auto path = FindPath(*parsed);
    if (!path) return std::nullopt;
    return Reading{std::move(*parsed), std::move(*path)};
}

}  // namespace

TsProfilePath ReadTsProfilePath(std::optional<std::string_view> blob) {
    if (!blob || blob->empty()) return {};
    auto r = Read(*blob);
    if (!r) return TsProfilePath{TsProfilePath::State::Damaged, {}, {}};
    return std::move(r->path);
}

TsWrite WriteTsProfilePath(std::optional<std::string_view> blob, std::optional<std::string_view> ansi,
                           std::u16string_view wide) {
    TsWrite w;
    Reading r;
    if (!blob || blob->empty()) {
        r.value.reserved = NewReserved();
    } else if (auto read = Read(*blob)) {
        r = std::move(*read);
    } else {
        w.result = TsWrite::Result::Damaged;
        return w;
    }
    // A NUL would end either text early: the value would read back as another path.
    if (!ansi || ansi->find('\0') != std::string_view::npos || wide.find(u'\0') != std::u16string_view::npos) {
        w.result = TsWrite::Result::Lossy;
        return w;
    }
    UserParameters& p = r.value;
    if (!p.hasTsPart) {
        p.hasTsPart = true;
        p.properties = DefaultProperties(*ansi, wide);
    } else {
        // Each path property is there at most once (FindPath): Find gives the one.
        auto& props = p.properties;
        if (Find(props, kPresent()) == props.end())
            props.insert(props.begin(), Property("CtxCfgPresent", U32Le(0xB00B1E55)));
        if (auto plain = Find(props, kPath()); plain != props.end()) {
            plain->value = HexEncode(AnsiValue(*ansi));
        } else {
            // In front of its twin where there is one, else after CtxCfgPresent: Windows' order.
            const auto twin = Find(props, kPathW());
            props.insert(twin != props.end() ? twin : Find(props, kPresent()) + 1,
                         Property("CtxWFProfilePath", AnsiValue(*ansi)));
        }
        // Terminal servers since 2008 read the wide twin, and it holds the path whatever the
        // reader's code page: the two always say the same.
        if (auto twin = Find(props, kPathW()); twin != props.end()) {
            twin->value = HexEncode(WideValue(wide));
        } else {
            props.insert(Find(props, kPath()) + 1, Property("CtxWFProfilePathW", WideValue(wide)));
        }
    }
    if (p.properties.size() > 0xFFFF) {
        w.result = TsWrite::Result::TooLong;
        return w;
    }
    for (const auto& prop : p.properties) {
        if (prop.value.size() > 0xFFFF) {
            w.result = TsWrite::Result::TooLong;
            return w;
        }
    }
    w.blob = SerializeUserParameters(p);
    if ((w.blob.size() + 1) / 2 > kMaxUnits) {
        w.result = TsWrite::Result::TooLong;
        w.blob.clear();
    }
    return w;
}

}  // namespace vela::directory
