// Distinguished names and directory paths ("LDAP://" + DN) as the platform's LDAP provider
// writes them.
//
// Servers spell the same DN differently: the domain directory answers "CN=Smith\, John", slapd
// "cn=Smith\2C John"; both may send raw UTF-8.  Everything here parses either style and writes
// one: attribute types in upper case, specials escaped with a backslash before the character,
// non-ASCII as UTF-8.  A path also escapes "/" as "\/", which is not valid in an LDAP DN, so a
// path's DN is re-written before it goes to a server.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vela::directory {

struct Ava {
    std::string type;   // as written ("cn", "OU")
    std::string value;  // unescaped UTF-8 bytes
    friend bool operator==(const Ava&, const Ava&) = default;
};
using Rdn = std::vector<Ava>;  // more than one where the RDN is multi-valued ("CN=a+SN=b")
using Dn = std::vector<Rdn>;   // leaf first

// Nullopt for text that is no DN: an RDN without "=", an empty type, a dangling or bad escape,
// a type or value that is not UTF-8 once unescaped ("CN=a\C3").  The empty string is the empty
// DN (the root DSE).
[[nodiscard]] std::optional<Dn> ParseDn(std::string_view text);

enum class DnStyle {
    Ldap,  // for a server: RFC 4514 escapes
    Path,  // inside an "LDAP://" path: also "/" as "\/"
};
[[nodiscard]] std::string FormatRdn(const Rdn& rdn, DnStyle style);
[[nodiscard]] std::string FormatDn(const Dn& dn, DnStyle style);
// A key that is equal for two spellings of one DN (types and ASCII letters folded).
[[nodiscard]] std::string DnKey(const Dn& dn);

struct DirectoryPath {
    std::string server;  // "host" or "host:port"; empty when serverless
    bool rootDse = false;
    Dn dn;               // empty for the root DSE
};

// "LDAP://[server/]DN" or "LDAP://[server/]rootDSE" (prefix in any letter case).
[[nodiscard]] std::optional<DirectoryPath> ParsePath(std::string_view path);
// "LDAP://" [+ server + "/"] + the DN in path style.
[[nodiscard]] std::string MakePath(std::string_view server, const Dn& dn);

}  // namespace vela::directory
