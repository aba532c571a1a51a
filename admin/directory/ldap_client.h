// The few LDAP operations the directory layer is built on, behind one interface: the real client
// (libldap natively, wldap32 on Windows: ldap_client.cpp) and an in-memory directory for tests
// (memory_directory.h) implement it.  A client is one open connection; it is made for one
// operation (a listing, a walk) and closed when that returns.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vela::directory {

// Why something did not happen, in terms a caller can count and report.
enum class Fault {
    None,
    NoServer,       // no server named and no domain to find one in
    Unreachable,    // connection failed, or the server went away during the operation
    Untrusted,      // the server's certificate is not trusted here
    BindRefused,    // the server refused the credentials (wrong user name or password)
    LogonFailed,    // the bind failed for another reason the server gave
    LogonNeeded,    // the server refuses anonymous reads
    SealRefused,    // the server refuses a signed and sealed logon inside TLS
    NoAnswer,       // the server stopped answering: no answer within the time limit
    Insecure,       // credentials were given but no encrypted connection could be had
    NoSuchObject,   // the path names nothing
    Rejected,       // the server refused the operation (rights, schema, syntax, ...)
    Truncated,      // the server stopped a listing early (size limit without paging)
    BadPath,        // not an "LDAP://" path
    Damaged,        // the user's userParameters cannot be read exactly; it is left as it is
    TooLong,        // the value does not fit the attribute
    Lossy,          // the terminal-server path cannot be stored exactly (not in the ANSI code page)
};

struct Outcome {
    Fault fault = Fault::None;
    int code = 0;         // the LDAP result code where there was one
    std::string message;  // for a log or a tool tip; callers decide on `fault`
    [[nodiscard]] explicit operator bool() const noexcept { return fault == Fault::None; }
};

[[nodiscard]] Outcome Failure(Fault fault, std::string message, int code = 0);
// A readable name of a fault ("unreachable"), for messages and test output.
[[nodiscard]] const char* FaultName(Fault fault) noexcept;
// The name of an LDAP result code in words ("constraint violation"); "result N" for a code
// without one.  The same on every platform, whatever the library's own texts.
[[nodiscard]] std::string ResultName(int code);
// Why a step failed, in words an administrator can act on: "the logon was refused: wrong user
// name or password ...".  `what` names the step a server refused ("the change", "the listing").
[[nodiscard]] std::string FailureReason(const Outcome& outcome, std::string_view what);

struct Attribute {
    std::string name;
    std::vector<std::string> values;  // raw bytes as the server sent them (UTF-8 for strings)
};

struct LdapEntry {
    std::string dn;  // as the server spelled it
    std::vector<Attribute> attributes;
    // The values of an attribute (name compared ignoring ASCII case), or nullptr.
    [[nodiscard]] const std::vector<std::string>* Find(std::string_view name) const;
};

// Base: the object itself; OneLevel: its children; Subtree: the object and all below it.
enum class Scope { Base, OneLevel, Subtree };

struct SearchRequest {
    std::string base;                     // DN in LDAP style
    Scope scope = Scope::Base;
    std::vector<std::string> classes;     // entries with any of these in objectClass; empty: all
    std::vector<std::string> attributes;  // what to fetch with each entry
};

struct Modification {
    enum class Op { Replace, Delete, Add } op = Op::Replace;
    std::string attribute;
    // Replace: the new values; Delete: these values, empty = the whole attribute; Add: the values
    // added (a single-valued attribute that holds another value then refuses the whole modify).
    std::vector<std::string> values;
    friend bool operator==(const Modification&, const Modification&) = default;
};

class LdapClient {
public:
    virtual ~LdapClient() = default;
    // Calls `each` for every entry, in the server's order, fetching pages of at most 1000 so a
    // container of any size is listed whole.  `each` returning false ends the listing early
    // (not a failure).  A listing the server cut short fails with Fault::Truncated.
    virtual Outcome Search(const SearchRequest& request, const std::function<bool(LdapEntry&&)>& each) = 0;
    // One modify operation, all changes or none, sent with the permissive-modify control so a
    // delete of an absent attribute succeeds.  It waits for the answer as a listing does.
    virtual Outcome Modify(std::string_view dn, const std::vector<Modification>& changes) = 0;
    // Called every 20 ms or so while a listing waits on the server (a page of 1000 entries
    // takes about a second under Wine), so a window serves its events meanwhile.  Unset: the
    // client waits for each page in one piece.
    void SetWaiting(std::function<void()> waiting) { waiting_ = std::move(waiting); }
    // How long one operation may wait for the server's answer (30 s unless set).  A server
    // silent that long fails the operation with Fault::NoAnswer, and every later one on this
    // connection at once.
    void SetTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }

protected:
    std::function<void()> waiting_;
    std::chrono::milliseconds timeLimit_{30'000};
};

struct Connection {
    std::unique_ptr<LdapClient> client;  // null when `outcome` is a failure
    Outcome outcome;
};

// Opens one connection; what the tab and the walk are handed, so tests can give them the
// in-memory directory.
using Connector = std::function<Connection()>;

// Where the real client connects.  No url: serverless, as the logged-on user with signing and
// sealing (Windows domain members).  A url (ldap://host:port or ldaps://host:port) names a
// server, bound anonymously unless `user` is given; a password is sent only over ldaps:// or
// after StartTLS.
struct ConnectionSettings {
    std::string url;
    std::string user;
    std::string password;
};

// VELA_DIRECTORY=ldap://host:port, with VELA_DIRECTORY_USER and VELA_DIRECTORY_PASSWORD for
// credentials.  The password is the one TakePasswordFromEnvironment took.
[[nodiscard]] ConnectionSettings SettingsFromEnvironment();
// Takes VELA_DIRECTORY_PASSWORD out of the process environment (and the C runtime's copy of it)
// and keeps it for SettingsFromEnvironment: no program started from here inherits it.  The first
// call takes it; the program makes that call before anything else.
void TakePasswordFromEnvironment();
// Overwrites the text's characters before it goes: a password's copy is not left in freed memory.
void Wipe(std::string& secret) noexcept;
// The real client (ldap_client.cpp).
[[nodiscard]] Connection ConnectLdap(const ConnectionSettings& settings);
// A connector that reads the environment each time it connects.
[[nodiscard]] Connector LdapConnector();

}  // namespace vela::directory
