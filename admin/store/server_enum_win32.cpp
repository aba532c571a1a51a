#include "admin/store/server_enum_win32.h"

#include <memory>

#include "admin/store/ell_reg_win32.h"
#include "admin/win32/text.h"

namespace vela {

std::vector<std::string> NetServerEnumerator::TerminalServers() {
    BYTE* raw = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    const NET_API_STATUS rc = api_.serverEnum(nullptr, 100, &raw, MAX_PREFERRED_LENGTH, &read, &total,
                                              SV_TYPE_TERMINALSERVER, nullptr, &resume);
    const auto release = [this](BYTE* p) { api_.bufferFree(p); };  // not called for no buffer
    const std::unique_ptr<BYTE, decltype(release)> buffer(raw, release);
    std::vector<std::string> names;
    if (rc != NERR_Success || raw == nullptr) return names;
    const auto* records = reinterpret_cast<const SERVER_INFO_100*>(raw);
    names.reserve(read);
    for (DWORD i = 0; i < read; ++i) {
        const wchar_t* name = records[i].sv100_name;
        names.push_back(name == nullptr ? std::string() : win32::Utf8(name));
    }
    return names;
}

ServerTypeRead RemoteServerRegistry::ReadServerType(const std::string& server) {
    using enum ServerTypeRead::Outcome;
    if (server.empty()) return {Unreachable, {}};
    ellreg::LookUpResult r = ellreg::LookUpRegValue(HKEY_LOCAL_MACHINE, kServerTypeKey, kServerTypeValue,
                                                    win32::Wide(server));
    switch (r.outcome) {
    case ellreg::LookUp::Read: return {Held, std::move(r.text)};
    case ellreg::LookUp::NotThere: return {Unset, {}};
    case ellreg::LookUp::Unreadable: return {Unreadable, {}};
    case ellreg::LookUp::NoConnection: break;
    }
    return {Unreachable, {}};
}

bool RemoteServerRegistry::WriteServerType(const std::string& server, const std::string& type) {
    if (server.empty()) return false;
    return ellreg::WriteRegValue(HKEY_LOCAL_MACHINE, kServerTypeKey, kServerTypeValue, REG_SZ, type,
                                 win32::Wide(server));
}

}  // namespace vela
