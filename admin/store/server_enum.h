// ServerEnum: the rows of the server list ListView2 on the Servers tab.
//
// How the Servers page uses it: on every activation of the tab (and F5 in the list) it calls
// ServerAssignment::CancelScan, then EnumServers(enumerator) with the platform's enumerator
// (NetServerEnumerator, server_enum_win32.h), deletes all rows and inserts the returned ones in
// order: text `name`, key `key`, picture `picture` of the shared image list, unchecked (the
// insertion must not count as a user toggle).  An empty result leaves the list empty, without a
// message.
//
// Names are UTF-8, so a name outside the ANSI code page survives; the page shows them through
// the wide list-view messages.
#pragma once

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

}  // namespace vela
