// The platform side of the Servers tab: the terminal servers from NetServerEnum, and each
// server's ServerType value through EllReg.  Calls and conversions only; the rules live in
// server_enum.h and server_assignment.h.
//
// The page owns one of each for the window's life and hands them to EnumServers and to its
// ServerAssignment.
#pragma once

#include <windows.h>
#include <lm.h>

#include <optional>
#include <string>
#include <vector>

#include "admin/store/server_assignment.h"
#include "admin/store/server_enum.h"

namespace vela {

// The two netapi32 calls, replaceable so that tests can hand the enumerator a buffer of their own.
struct NetApi {
    decltype(&::NetServerEnum) serverEnum = &::NetServerEnum;
    decltype(&::NetApiBufferFree) bufferFree = &::NetApiBufferFree;
};

// NetServerEnum at level 100 for SV_TYPE_TERMINALSERVER in the primary domain, called once with
// the platform allocating the buffer.  Anything but success gives no servers (even a partial
// answer).  The buffer is freed on every path.  Names are converted from UTF-16 to UTF-8; a record
// without a name gives the empty name.
class NetServerEnumerator final : public ServerEnumerator {
public:
    explicit NetServerEnumerator(NetApi api = {}) : api_(api) {}
    [[nodiscard]] std::vector<std::string> TerminalServers() override;

private:
    NetApi api_;
};

// Each server's ServerType value in its own registry (HKEY_LOCAL_MACHINE), one connection per call.
// An empty server name is refused: EllReg would take it for the local machine.
class RemoteServerRegistry final : public ServerRegistry {
public:
    [[nodiscard]] ServerTypeRead ReadServerType(const std::string& server) override;
    bool WriteServerType(const std::string& server, const std::string& type) override;
};

}  // namespace vela
