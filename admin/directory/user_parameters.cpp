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

std::vector<TsProperty>::iterator Find(std::vector<TsProperty>& props, std::string_view ascii) {
    const std::string name = PropertyName(ascii);
    return std::find_if(props.begin(), props.end(), [&](const TsProperty& p) { return p.name == name; });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::u16string> Utf8ToUnits(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        std::size_t len;
        std::uint32_t cp;
        if (b0 < 0x80) {
            len = 1, cp = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2, cp = b0 & 0x1Fu;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3, cp = b0 & 0x0Fu;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4, cp = b0 & 0x07u;
        } else {
            return std::nullopt;
        }
        if (i + len > s.size()) return std::nullopt;
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));  // lone surrogates pass: blobs contain them
        }
        i += len;
    }
    return out;
}

std::string UnitsToUtf8(std::u16string_view u) {
    std::string out;
    out.reserve(u.size() * 3);
    for (std::size_t i = 0; i < u.size(); ++i) {
        std::uint32_t cp = u[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i + 1] - 0xDC00u);
            ++i;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::optional<std::string> WireToBlob(std::string_view wire) {
    auto units = Utf8ToUnits(wire);
    if (!units) return std::nullopt;
    return Utf16Le(*units);
}

std::string BlobToWire(std::string_view blob) {
    std::u16string units;
    units.reserve(blob.size() / 2 + 1);
    for (std::size_t i = 0; i < blob.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(blob[i]);
        const auto hi = i + 1 < blob.size() ? static_cast<unsigned char>(blob[i + 1]) : 0u;
        units.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    return UnitsToUtf8(units);
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

TsProfilePath ReadTsProfilePath(std::optional<std::string_view> blob) {
    TsProfilePath r;
    if (!blob || blob->empty()) return r;
    auto parsed = ParseUserParameters(*blob);
    if (!parsed) {
        r.state = TsProfilePath::State::Damaged;
        return r;
    }
    auto& props = parsed->properties;
    const auto plain = Find(props, "CtxWFProfilePath");
    if (plain == props.end()) return r;
    auto bytes = HexDecode(plain->value);
    if (!bytes) {
        r.state = TsProfilePath::State::Damaged;
        return r;
    }
    r.state = TsProfilePath::State::Set;
    r.ansi = bytes->substr(0, bytes->find('\0'));
    const auto wideProp = Find(props, "CtxWFProfilePathW");
    if (wideProp != props.end()) {
        if (auto w = HexDecode(wideProp->value); w && w->size() % 2 == 0) {
            std::u16string text;
            for (std::size_t i = 0; i < w->size(); i += 2) {
                const auto unit = static_cast<char16_t>(ReadU16(*w, i));
                if (unit == 0) break;
                text.push_back(unit);
            }
            r.wide = std::move(text);
        }
    }
    return r;
}

TsWrite WriteTsProfilePath(std::optional<std::string_view> blob, std::string_view ansi, std::u16string_view wide) {
    TsWrite w;
    UserParameters p;
    if (!blob || blob->empty()) {
        p.reserved = NewReserved();
    } else if (auto parsed = ParseUserParameters(*blob)) {
        p = std::move(*parsed);
    } else {
        w.result = TsWrite::Result::Damaged;
        return w;
    }
    if (!p.hasTsPart) {
        p.hasTsPart = true;
        p.properties = DefaultProperties(ansi, wide);
    } else {
        // A plain value that does not decode is damaged; never write over it.
        auto plain = Find(p.properties, "CtxWFProfilePath");
        if (plain != p.properties.end() && !HexDecode(plain->value)) {
            w.result = TsWrite::Result::Damaged;
            return w;
        }
        if (Find(p.properties, "CtxCfgPresent") == p.properties.end())
            p.properties.insert(p.properties.begin(), Property("CtxCfgPresent", U32Le(0xB00B1E55)));
        plain = Find(p.properties, "CtxWFProfilePath");
        if (plain != p.properties.end()) {
            plain->value = HexEncode(AnsiValue(ansi));
        } else {
            const auto present = Find(p.properties, "CtxCfgPresent");
            p.properties.insert(present + 1, Property("CtxWFProfilePath", AnsiValue(ansi)));
        }
        // Terminal servers since 2008 also write the wide twin; keep the two saying the same.
        if (auto twin = Find(p.properties, "CtxWFProfilePathW"); twin != p.properties.end())
            twin->value = HexEncode(WideValue(wide));
    }
    for (const auto& prop : p.properties) {
        if (prop.value.size() > 0xFFFF || p.properties.size() > 0xFFFF) {
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
