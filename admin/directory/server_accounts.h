// The domain's terminal servers as the directory knows them: its enabled computer accounts whose
// operating system is a server release, named the way the registry functions reach them.  The
// Servers tab falls back to them when no browse list answers (server_enum.h ListServers).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "admin/directory/ldap_client.h"
#include "admin/store/server_enum.h"

namespace vela::directory {

// The attributes a computer account is judged by.
[[nodiscard]] const std::vector<std::string>& ServerAccountAttributes();

// The name of a computer account that is an enabled server: `operatingSystem` contains "Server"
// (ASCII letter case ignored), `userAccountControl` lacks the disabled bit 0x2 (an account without
// the attribute counts as enabled), and it has a `dNSHostName`, or else a `sAMAccountName` (its
// trailing "$" removed).  Nullopt for any other entry.
[[nodiscard]] std::optional<std::string> ServerAccountName(const LdapEntry& computer);

// Every such account below the domain's naming context, paged, in the server's order.  Each call
// opens one connection and closes it again.
class DirectoryServers final : public ServerDirectory {
public:
    explicit DirectoryServers(Connector connect) : connect_(std::move(connect)) {}
    [[nodiscard]] std::optional<std::vector<std::string>> Servers() override;
    [[nodiscard]] std::string Failure() const override { return failure_; }

private:
    Connector connect_;
    std::string failure_;
};

}  // namespace vela::directory
