// An in-memory directory behind the LdapClient interface, for tests of the logic built on the
// directory layer (the tab's listing, the walk).  It behaves as the servers do where the layer
// relies on it: one-level and subtree searches in insertion order matching any objectClass value (a computer,
// which lists "user" in its chain, matches "user"), DNs in any escaping and letter case, a modify
// that applies all its changes or none, and a delete of an absent attribute that succeeds (the
// permissive-modify control the real client always sends).  It can also fail like a network:
// unreachable from the start, or going away after a number of operations.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "admin/directory/ldap_client.h"

namespace vela::directory {

class MemoryDirectory {
public:
    // `domain`: the defaultNamingContext, e.g. "DC=example,DC=test"; the domain entry is added.
    explicit MemoryDirectory(std::string domain);
    ~MemoryDirectory();
    MemoryDirectory(const MemoryDirectory&) = delete;
    MemoryDirectory& operator=(const MemoryDirectory&) = delete;

    // Adds an entry below an existing parent (or replaces the entry with that DN).
    // `classes` in the domain directory's order, most specific last.
    void Add(std::string_view dn, std::vector<std::string> classes, std::vector<Attribute> attributes = {});
    // Shorthands; each returns the new entry's DN.  `name` is unescaped.
    std::string AddOu(std::string_view parent, std::string_view name);
    std::string AddContainer(std::string_view parent, std::string_view name);
    std::string AddUser(std::string_view parent, std::string_view name, std::string_view sam,
                        std::optional<std::string> profile = std::nullopt,
                        std::optional<std::string> userParameters = std::nullopt);
    std::string AddComputer(std::string_view parent, std::string_view name);

    // The stored entry, or nullptr.
    [[nodiscard]] const LdapEntry* Find(std::string_view dn) const;
    // One attribute's first value, or nullopt.
    [[nodiscard]] std::optional<std::string> Value(std::string_view dn, std::string_view attribute) const;

    // Connections to this directory.  The directory must outlive them.
    [[nodiscard]] Connector connector();

    // Network conditions: unreachable refuses new connections and fails every operation;
    // FailAfter(n) lets n more operations through and then behaves as unreachable.
    void SetReachable(bool reachable);
    void FailAfter(int operations);
    // A server that refuses every modify touching `attribute` with result `code` (the domain
    // directory's implementation on Linux refuses userParameters over LDAP with 19).
    void RefuseWrites(std::string attribute, int code) {
        refusedAttribute_ = std::move(attribute);
        refusedCode_ = code;
    }

    // What the clients sent, for tests that count round trips.
    int connections = 0;
    int searches = 0;
    int modifies = 0;

private:
    class Client;
    struct Node;
    bool Operate();
    Node* Lookup(std::string_view dn);
    const Node* Lookup(std::string_view dn) const;

    std::string domain_;
    std::vector<std::unique_ptr<Node>> nodes_;  // in insertion order
    std::unordered_map<std::string, Node*> index_;
    bool reachable_ = true;
    int budget_ = -1;  // operations left before going away; -1: no limit
    std::string refusedAttribute_;
    int refusedCode_ = 0;
};

}  // namespace vela::directory
