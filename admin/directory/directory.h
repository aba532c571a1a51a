// The directory as the "User Configuration" tab and the "Change profile path" walk use it: the
// objects, properties and methods of the platform's LDAP provider (bind by path, Get, Filter and
// child enumeration, Put, PutEx, SetInfo), built on one LdapClient connection.
//
// Text is UTF-8 throughout (names, paths, profile paths); the window converts where it shows it.
//
//   auto c = connector();                 // one connection for the operation
//   if (!c.outcome) ...                   // count it, say why
//   Directory dir(*c.client);
//   std::string domain;  dir.DefaultNamingContext(domain);
//   dir.Enumerate("LDAP://" + domain, {"container", "organizationalUnit", "user"},
//                 [&](const DirObject& child) { ...; return true; });
//   Changes ch;  ch.Put("profilePath", "\\\\fs\\p");  ch.Put("TerminalServicesProfilePath", "");
//   Outcome written = dir.SetInfo(user, ch);   // one modify: all of the user's changes or none
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "admin/directory/ldap_client.h"

namespace vela::directory {

inline constexpr int ADS_PROPERTY_CLEAR = 1;

// One directory object with what a listing shows of it, fetched with the listing itself.
struct DirObject {
    std::string name;       // relative name with its prefix: "OU=Sales", "CN=Users", "DC=example"
    std::string className;  // most specific class: "user", "computer", "organizationalUnit", ...
    std::string adsPath;    // "LDAP://" + DN; rebinds the object
    std::string dn;         // in LDAP style, for the server
    std::optional<std::string> samAccountName;
    std::optional<std::string> profile;                 // profilePath
    std::optional<std::string> tsProfilePath;           // from userParameters; nullopt when not set
    bool userParametersDamaged = false;                 // then tsProfilePath reads as not set
    std::optional<std::string> userParameters;          // the raw value as read, for SetInfo

    // The provider's property names, letter case ignored: "Name", "Class", "adspath",
    // "samaccountname", "profile" (also "profilePath"), "TerminalServicesProfilePath".
    // Nullopt when the property is not set or unknown.
    [[nodiscard]] std::optional<std::string> Get(std::string_view property) const;
};

// The changes cached on one object until SetInfo.
class Changes {
public:
    // "profile"/"profilePath", "TerminalServicesProfilePath", or any attribute (replaced).
    void Put(std::string_view property, std::string value);
    // ADS_PROPERTY_CLEAR removes the attribute (TerminalServicesProfilePath: sets it empty).
    // Other control codes are not supported and return false.
    [[nodiscard]] bool PutEx(int control, std::string_view property);
    [[nodiscard]] bool empty() const noexcept { return items_.empty(); }

private:
    friend class Directory;
    struct Item {
        std::string attribute;             // LDAP name, or "" for the terminal-server path
        std::optional<std::string> value;  // nullopt: clear
    };
    std::vector<Item> items_;
};

// What a commit sent: the object as it was when the modify was built (read again when another
// tool had changed its userParameters meanwhile) and the modify itself.
struct Written {
    DirObject basis;
    std::vector<Modification> modifications;
};

class Directory {
public:
    // `server` ("host:port"), when given, is put into every path made, as the provider does for
    // objects found through a path that named a server.
    explicit Directory(LdapClient& client, std::string server = {}) : client_(client), server_(std::move(server)) {}

    // Get("defaultNamingContext") of "LDAP://rootDSE".
    [[nodiscard]] Outcome DefaultNamingContext(std::string& out);
    // Binds an object by its path ("LDAP://rootDSE" is not an object here).
    [[nodiscard]] Outcome Bind(std::string_view path, DirObject& out);
    // The children of the container at `path` whose objectClass holds any of `filter` (empty:
    // all), one-level, in the server's order, paged so that nothing is left out.  `each`
    // returning false stops the listing.  The next page is already asked for while `each`
    // runs; a walk that writes is faster collecting a container's children first and writing
    // after the listing has returned (measured on slapd: 10-15% for 10,000 users).
    [[nodiscard]] Outcome Enumerate(std::string_view path, const std::vector<std::string>& filter,
                                    const std::function<bool(const DirObject&)>& each);
    // Commits `changes` to `object` in one modify operation.  The terminal-server path is
    // re-encoded into the userParameters value read with the object, keeping all its other
    // bytes; a damaged value (Fault::Damaged), or a path that has no exact form in the ANSI code
    // page (Fault::Lossy), fails the whole commit and nothing is written.
    // When another tool changed the value since it was read, the server refuses the modify; the
    // object is then read again and the commit made once more on the value it holds now.
    // `written`, when given, receives what the commit sent (also when the server refused it).
    [[nodiscard]] Outcome SetInfo(const DirObject& object, const Changes& changes, Written* written = nullptr);
    // The modify SetInfo would send for `changes` on `object` as read, or why it would send none;
    // sends nothing.
    [[nodiscard]] Outcome Plan(const DirObject& object, const Changes& changes, std::vector<Modification>& out) const;
    // The attributes named of the object with LDAP-style DN `dn`, as the server holds them.
    [[nodiscard]] Outcome Read(std::string_view dn, const std::vector<std::string>& attributes, LdapEntry& out);
    // One modify of the object with LDAP-style DN `dn`, sent as given (an undo's guarded records).
    [[nodiscard]] Outcome Modify(std::string_view dn, const std::vector<Modification>& modifications);

private:
    [[nodiscard]] Outcome Commit(const DirObject& object, const Changes& changes, Written* written);

    LdapClient& client_;
    std::string server_;
};

// The attributes fetched with every object.
[[nodiscard]] const std::vector<std::string>& ObjectAttributes();
// The children of one container share the server's spelling of the parent's DN; a listing keeps
// it written once in both styles rather than once a child.
struct DnSuffixCache {
    std::string raw, ldap, path;
};
// Builds a DirObject from an entry as the server sent it; nullopt when its DN does not parse.
[[nodiscard]] std::optional<DirObject> MakeObject(const LdapEntry& entry, std::string_view server,
                                                  DnSuffixCache* cache = nullptr);

}  // namespace vela::directory
