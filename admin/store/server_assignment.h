// Server-type assignment: which listed servers carry the picked server type, and what a user's
// tick or clear of a server writes.  Plain C++ over two small interfaces, so the native tests can
// hand it any servers and any registry answers.
//
// How the Servers page uses it:
//  - Combo5_Click: shows the hourglass and calls Mark(list) with the page as the ServerList; Mark
//    calls the page's Show for each row, which sets the row's check mark (without that counting as
//    a user toggle) and its "Server Type" column.
//  - ListView2_ItemCheck (a user's toggle only): calls Tick(server, Combo5's text, ticked), sets
//    the check mark to the result's `checked` (again not a user toggle), the "Server Type" column
//    to `serverType`, and, when the server did not take the write (`!taken`), says so in the status
//    bar with TickFailureText.
//  - EnumServers (a refill of the list): calls CancelScan() before the rows go.
//
// Server names are UTF-8 (as server_enum.h delivers them); server types are ANSI text.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vela {

// Where each server keeps its type: HKEY_LOCAL_MACHINE, this key, this REG_SZ value.
inline constexpr char kServerTypeKey[] = "Software\\Orvanta\\Vela Framework\\";
inline constexpr char kServerTypeValue[] = "ServerType";

// The ServerType value of each server.
class ServerRegistry {
public:
    virtual ~ServerRegistry() = default;
    // The value's text; nullopt when it cannot be read (server unreachable, access refused, value
    // missing or unreadable).
    [[nodiscard]] virtual std::optional<std::string> ReadServerType(const std::string& server) = 0;
    // Stores `type` as REG_SZ, creating the key if needed; false when the write visibly failed.
    virtual bool WriteServerType(const std::string& server, const std::string& type) = 0;
};

// What a marking scan sees of the server list.  Every call is made afresh for each row, because
// the user can act between two servers: a later pick in Combo5 is compared from the next row on.
class ServerList {
public:
    virtual ~ServerList() = default;
    [[nodiscard]] virtual std::size_t Count() = 0;
    [[nodiscard]] virtual std::string ServerAt(std::size_t row) = 0;
    // The type picked in Combo5 now.
    [[nodiscard]] virtual std::string PickedType() = 0;
    // Row `row` carries the picked type (`checked`); `serverType` is what the server returned, or
    // "Not Found" when it could not be read.
    virtual void Show(std::size_t row, bool checked, const std::string& serverType) = 0;
};

// The outcome of a user's tick or clear, read back from the server after the write.
struct TickResult {
    bool checked = false;    // the check mark that tells what the server now holds
    std::string serverType;  // the value read back, or "Not Found"
    bool taken = false;      // the server holds what was written
};

// The status-bar text for a server that did not take a tick (`ticked`) or a clear.  Only joins
// text: pass `server` and `type` in one encoding (the page converts both to UTF-16 first, the name
// from UTF-8, the type from the ANSI code page).
[[nodiscard]] std::string TickFailureText(std::string_view server, std::string_view type, bool ticked);

class ServerAssignment {
public:
    // `between` runs before each server of a scan: the page lets pending window events be handled
    // there, so a scan may be re-entered (another pick) or cancelled (a refill) from inside it.
    explicit ServerAssignment(ServerRegistry& registry, std::function<void()> between = [] {});

    // The marking scan: for each row in list order, runs `between`, reads the server's type and
    // shows the row checked when it equals the type picked now, ASCII letter case ignored.  A
    // server that cannot be read is never checked, whatever the picked type is called.  Writes
    // nothing.  Stops early when CancelScan runs or a newer scan starts meanwhile (the newer scan
    // has covered every row with the newest pick), or when the list got shorter.
    void Mark(ServerList& list);

    // Stops a running scan at its next server.
    void CancelScan() noexcept { ++scan_; }

    // A user's toggle of `server`: writes `type` when ticked, the empty text when cleared, then
    // reads the value back.  The check mark follows the user when the server took the write, and
    // otherwise what the server holds, so it never claims a type the server does not carry.
    [[nodiscard]] TickResult Tick(const std::string& server, const std::string& type, bool ticked);

private:
    ServerRegistry& registry_;
    std::function<void()> between_;
    unsigned long scan_ = 0;
};

}  // namespace vela
