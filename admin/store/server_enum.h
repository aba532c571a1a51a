// ServerEnum: the rows of the server list ListView2 on the Servers tab.
//
// How the Servers page uses it: on every activation of the tab (and F5 in the list) it calls
// ServerAssignment::CancelScan, then ListServers with the platform's enumerator
// (NetServerEnumerator, server_enum_win32.h) and the directory's server accounts
// (admin/directory/server_accounts.h), shows ServerSourceText in the status bar, deletes all rows
// and inserts the returned ones in order: text `name`, key `key`, picture `picture` of the shared image list, unchecked (the
// insertion must not count as a user toggle).  An empty result leaves the list empty, without a
// message.
//
// Names are UTF-8, so a name outside the ANSI code page survives; the page shows them through
// the wide list-view messages.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vela {

// The terminal servers of the primary domain, in the order the platform returns them; empty
// when the enumeration fails.
class ServerEnumerator {
public:
    virtual ~ServerEnumerator() = default;
    [[nodiscard]] virtual std::vector<std::string> TerminalServers() = 0;
};

// Picture 5 of the main window's image list: a computer.
inline constexpr int kServerPicture = 5;

struct ServerRow {
    std::string key;   // "A" and the 0-based position: A0, A1, ...
    std::string name;  // the server's name, UTF-8
    int picture = kServerPicture;
    bool checked = false;

    friend bool operator==(const ServerRow&, const ServerRow&) = default;
};

// One unchecked row per server, keyed by position.
[[nodiscard]] std::vector<ServerRow> MakeServerRows(const std::vector<std::string>& names);

// The list's new rows: the enumeration's servers as MakeServerRows makes them.
[[nodiscard]] std::vector<ServerRow> EnumServers(ServerEnumerator& enumerator);

// The domain's servers as the directory knows them: where the browse list is not kept (current
// Windows releases ship without its service), it is the only source that names them.
class ServerDirectory {
public:
    virtual ~ServerDirectory() = default;
    // The names of the enabled server accounts, as the registry functions reach them; nullopt
    // when the directory could not be asked.
    [[nodiscard]] virtual std::optional<std::vector<std::string>> Servers() = 0;
    // Why the last Servers() could not ask the directory, in words for the status bar; empty
    // when it could or when nothing more is known.
    [[nodiscard]] virtual std::string Failure() const { return {}; }
};

enum class ServerSource { BrowseList, Directory, None };

struct ServerListing {
    std::vector<ServerRow> rows;
    ServerSource source = ServerSource::None;  // None: neither source answered
    std::string directoryFailure;              // with None: why the directory could not be asked
};

// The browse list; when it fails or names no server, the directory (when there is one).  Rows as
// MakeServerRows makes them, whatever the source.
[[nodiscard]] ServerListing ListServers(ServerEnumerator& browseList, ServerDirectory* directory);

// The status bar's account of a listing: "12 servers from the browse list", "1 server from the
// directory", or that neither source answered, and why the directory did not.
[[nodiscard]] std::string ServerSourceText(const ServerListing& listing);

}  // namespace vela
