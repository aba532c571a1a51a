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
//    to `serverType` unless the toggle was `refused`, and, when the server did not take the write
//    (`!taken`), says why in the status bar with TickFailureText.
//  - Combo5_DropDown (the box refilled, nothing picked in it): calls ClearMarks(list).
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

// What a read of one server's ServerType found.
struct ServerTypeRead {
    enum class Outcome {
        Held,         // the value is there: `type` (which may be empty)
        Unset,        // the server answered; it has no such key or value
        Unreadable,   // the server answered but refused the read, or the value is not text we can show
        Unreachable,  // no connection to the server's registry
    };
    Outcome outcome = Outcome::Unreachable;
    std::string type;  // Held only

    friend bool operator==(const ServerTypeRead&, const ServerTypeRead&) = default;
};

// The "Server Type" column for a read: the type held, an empty cell for none, and the two
// failures in parentheses ("(not reachable)", "(not readable)"), which no plain type name can be.
[[nodiscard]] std::string ServerTypeColumn(const ServerTypeRead& read);

// The ServerType value of each server.
class ServerRegistry {
public:
    virtual ~ServerRegistry() = default;
    [[nodiscard]] virtual ServerTypeRead ReadServerType(const std::string& server) = 0;
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
    // Row `row` carries the picked type (`checked`); `serverType` is its "Server Type" column
    // (ServerTypeColumn).
    virtual void Show(std::size_t row, bool checked, const std::string& serverType) = 0;
    // Row `row` loses its check mark; its "Server Type" column stays.
    virtual void Uncheck(std::size_t row) = 0;
};

// The outcome of a user's tick or clear, read back from the server after the write.
struct TickResult {
    bool checked = false;    // the check mark that tells what the server now holds
    std::string serverType;  // the "Server Type" column for the value read back
    bool taken = false;      // the server holds what was written
    bool refused = false;    // no type was picked: nothing was written or read, the column stays
    ServerTypeRead::Outcome read = ServerTypeRead::Outcome::Held;  // how the read-back went
};

// The status-bar text for a toggle that did not take: `ticked` or cleared on `server`, with
// `type` picked, and what the read-back found (`result`).  Only joins text: pass `server` and
// `type` in one encoding (the page converts both to UTF-16 first, the name from UTF-8, the type
// from the ANSI code page).
[[nodiscard]] std::string TickFailureText(std::string_view server, std::string_view type, bool ticked,
                                          const TickResult& result);

class ServerAssignment {
public:
    // `between` runs before each server of a scan: the page lets pending window events be handled
    // there, so a scan may be re-entered (another pick) or cancelled (a refill) from inside it.
    explicit ServerAssignment(ServerRegistry& registry, std::function<void()> between = [] {});

    // The marking scan: for each row in list order, runs `between`, reads the server's type and
    // shows the row checked when it equals the type picked now, letter case ignored as Windows
    // ignores it in names (NamesEqualIgnoringCase).  A server that cannot be read, or holds no
    // value, is never checked, and with nothing picked no row is.  Writes nothing.  Stops early
    // when CancelScan runs or a newer scan starts meanwhile (the newer scan has covered every row
    // with the newest pick), or when the list got shorter.
    void Mark(ServerList& list);

    // No type is picked any more: stops a running scan and takes every row's check mark away
    // without reading anything; the "Server Type" columns stay.
    void ClearMarks(ServerList& list);

    // Stops a running scan at its next server.
    void CancelScan() noexcept { ++scan_; }

    // A user's toggle of `server`: writes `type` when ticked, the empty text when cleared, then
    // reads the value back.  The check mark follows the user when the server took the write, and
    // otherwise what the server holds, so it never claims a type the server does not carry.
    // With no type picked (`type` empty) the toggle is refused: nothing is written or read, and
    // the check mark goes back to what it was before the toggle.
    [[nodiscard]] TickResult Tick(const std::string& server, const std::string& type, bool ticked);

private:
    ServerRegistry& registry_;
    std::function<void()> between_;
    unsigned long scan_ = 0;
};

}  // namespace vela
