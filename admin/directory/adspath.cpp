#include "admin/directory/adspath.h"

#include "admin/common/ascii.h"
#include "admin/directory/user_parameters.h"

namespace vela::directory {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSpecial(char c) {
    return c == ',' || c == '\\' || c == '#' || c == '+' || c == '<' || c == '>' || c == ';' || c == '"' ||
           c == '=';
}

std::string EscapeValue(std::string_view v, DnStyle style) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const char c = v[i];
        const auto b = static_cast<unsigned char>(c);
        const bool edgeSpace = c == ' ' && (i == 0 || i + 1 == v.size());
        if (IsSpecial(c) || edgeSpace || (c == '/' && style == DnStyle::Path)) {
            out.push_back('\\');
            out.push_back(c);
        } else if (b < 0x20 || b == 0x7F) {
            out.push_back('\\');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0x0F]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<Dn> ParseDn(std::string_view text) {
    Dn dn;
    if (TrimSpaces(text).empty()) return dn;
    Rdn rdn;
    bool inValue = false;
    // A small state machine: type "=" value, where value holds escapes; "," ends an RDN and
    // "+" an AVA.  Unescaped spaces around separators are dropped.
    std::string value;
    std::size_t valueEscapedEnd = 0;  // value[0, valueEscapedEnd) may not be trimmed at the end
    bool valueStarted = false;
    std::string type;
    auto finishAva = [&]() -> bool {
        const auto t = TrimSpaces(type);
        if (!inValue || t.empty()) return false;
        // "\C3" alone is no character: the DN would reach a server, or the wide API, as
        // something else (on Windows the conversion yields nothing, and "" is the root DSE).
        if (!IsUtf8(t) || !IsUtf8(value)) return false;
        while (value.size() > valueEscapedEnd && value.back() == ' ') value.pop_back();
        rdn.push_back(Ava{std::string(t), value});
        type.clear();
        value.clear();
        valueEscapedEnd = 0;
        valueStarted = false;
        inValue = false;
        return true;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!inValue) {
            if (c == '=') {
                inValue = true;
            } else if (c == ',' || c == '+' || c == '\\' || c == ';') {
                return std::nullopt;
            } else {
                type.push_back(c);
            }
            continue;
        }
        if (c == '\\') {
            if (i + 1 >= text.size()) return std::nullopt;
            const int hi = HexValue(text[i + 1]);
            if (hi >= 0 && i + 2 < text.size() && HexValue(text[i + 2]) >= 0) {
                value.push_back(static_cast<char>(hi * 16 + HexValue(text[i + 2])));
                i += 2;
            } else {
                value.push_back(text[i + 1]);
                i += 1;
            }
            valueStarted = true;
            valueEscapedEnd = value.size();
        } else if (c == ',' || c == ';' || c == '+') {
            if (!finishAva()) return std::nullopt;
            if (c != '+') {
                dn.push_back(std::move(rdn));
                rdn.clear();
            }
        } else if (c == ' ' && !valueStarted) {
            // leading blank before the value
        } else {
            value.push_back(c);
            valueStarted = true;
        }
    }
    if (!finishAva()) return std::nullopt;
    dn.push_back(std::move(rdn));
    return dn;
}

std::string FormatRdn(const Rdn& rdn, DnStyle style) {
    std::string out;
    for (std::size_t i = 0; i < rdn.size(); ++i) {
        if (i) out.push_back('+');
        out += AsciiUpper(rdn[i].type);
        out.push_back('=');
        out += EscapeValue(rdn[i].value, style);
    }
    return out;
}

std::string FormatDn(const Dn& dn, DnStyle style) {
    std::string out;
    for (std::size_t i = 0; i < dn.size(); ++i) {
        if (i) out.push_back(',');
        out += FormatRdn(dn[i], style);
    }
    return out;
}

std::string DnKey(const Dn& dn) { return AsciiLower(FormatDn(dn, DnStyle::Ldap)); }

std::optional<DirectoryPath> ParsePath(std::string_view path) {
    constexpr std::string_view kPrefix = "LDAP://";
    if (path.size() < kPrefix.size() || !AsciiIEquals(path.substr(0, kPrefix.size()), kPrefix)) return std::nullopt;
    std::string_view rest = path.substr(kPrefix.size());
    DirectoryPath p;
    // A server part ends at the first "/" that no backslash escapes, before any "=".
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '\\' || rest[i] == '=') break;
        if (rest[i] == '/') {
            p.server.assign(rest.substr(0, i));
            rest.remove_prefix(i + 1);
            if (p.server.empty()) return std::nullopt;
            break;
        }
    }
    if (AsciiIEquals(rest, "rootDSE")) {
        p.rootDse = true;
        return p;
    }
    auto dn = ParseDn(rest);
    if (!dn || dn->empty()) return std::nullopt;
    p.dn = std::move(*dn);
    return p;
}

std::string MakePath(std::string_view server, const Dn& dn) {
    std::string out = "LDAP://";
    if (!server.empty()) {
        out += server;
        out.push_back('/');
    }
    out += FormatDn(dn, DnStyle::Path);
    return out;
}

}  // namespace vela::directory
