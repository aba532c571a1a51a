// The platform side of the Servers tab under Wine: NetServerEnumerator handed real netapi32
// buffers, and RemoteServerRegistry through the computer's own name.
#include "admin/store/server_enum_win32.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "admin/store/ell_reg_win32.h"
#include "admin/store/test_temp_folder.h"
#include "admin/win32/text.h"

namespace vela {
namespace {

// What the stand-in NetServerEnum answers, and what the enumerator did.
struct Script {
    NET_API_STATUS status = NERR_Success;
    std::vector<const wchar_t*> names;
    bool rightArguments = false;
    void* handedOut = nullptr;
    int freed = 0;
} script;

NET_API_STATUS WINAPI StandInEnum(LMCSTR server, DWORD level, LPBYTE* buffer, DWORD maxLength, LPDWORD read,
                                  LPDWORD total, DWORD type, LMCSTR domain, LPDWORD resume) {
    script.rightArguments = !server && level == 100 && maxLength == MAX_PREFERRED_LENGTH &&
                            type == SV_TYPE_TERMINALSERVER && !domain && resume && *resume == 0;
    // One block, as the platform returns it: the records, then the names they point to.
    const DWORD n = static_cast<DWORD>(script.names.size());
    DWORD size = 1 + n * sizeof(SERVER_INFO_100);
    for (const wchar_t* name : script.names) size += name ? (std::wcslen(name) + 1) * sizeof(wchar_t) : 0;
    if (::NetApiBufferAllocate(size, reinterpret_cast<void**>(buffer)) != NERR_Success) return ERROR_OUTOFMEMORY;
    auto* records = reinterpret_cast<SERVER_INFO_100*>(*buffer);
    auto* text = reinterpret_cast<wchar_t*>(records + n);
    for (DWORD i = 0; i < n; ++i) {
        records[i] = {PLATFORM_ID_NT, script.names[i] ? std::wcscpy(text, script.names[i]) : nullptr};
        if (script.names[i]) text += std::wcslen(script.names[i]) + 1;
    }
    *read = *total = n;
    script.handedOut = *buffer;
    return script.status;
}

NET_API_STATUS WINAPI CountingFree(LPVOID buffer) {
    script.freed += buffer == script.handedOut;
    return ::NetApiBufferFree(buffer);
}

TEST(NetServerEnumerator, ReadsTheRecordsAndFreesTheBufferOnEveryPath) {
    NetServerEnumerator enumerator(NetApi{&StandInEnum, &CountingFree});
    script = Script{NERR_Success, {L"TS01", nullptr, L"S\x00FC" L"d-\x4E2D"}};
    EXPECT_EQ(enumerator.TerminalServers(), (std::vector<std::string>{"TS01", "", "S\xC3\xBC" "d-\xE4\xB8\xAD"}));
    EXPECT_TRUE(script.rightArguments);
    EXPECT_EQ(script.freed, 1);
    script = Script{ERROR_MORE_DATA, {L"TS01"}};  // a partial answer counts as a failure
    EXPECT_TRUE(enumerator.TerminalServers().empty());
    EXPECT_EQ(script.freed, 1);
    // Wine's own NetServerEnum has no browser to ask and fails (6118): no servers.
    if (testing::RunningUnderWine()) {
        EXPECT_TRUE(NetServerEnumerator().TerminalServers().empty());
    }
}

TEST(RemoteServerRegistry, WritesAndReadsTheServerTypeOnTheNamedServer) {
    wchar_t own[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(::GetComputerNameW(own, &size));
    const std::string server = win32::Utf8(own);
    RemoteServerRegistry registry;
    EXPECT_TRUE(registry.WriteServerType(server, "Web"));
    EXPECT_EQ(ellreg::ReadRegValue(HKEY_LOCAL_MACHINE, kServerTypeKey, kServerTypeValue, L""), "Web");
    // An empty name would be the local machine: a row without a name reaches nothing.
    EXPECT_FALSE(registry.WriteServerType("", "Office"));
    using enum ServerTypeRead::Outcome;
    EXPECT_EQ(registry.ReadServerType(""), (ServerTypeRead{Unreachable, ""}));
    EXPECT_EQ(registry.ReadServerType(server), (ServerTypeRead{Held, "Web"}));
    ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kServerTypeKey, kServerTypeValue);
    EXPECT_EQ(registry.ReadServerType(server), (ServerTypeRead{Unset, ""}));
    EXPECT_EQ(registry.ReadServerType("VELA-NO-SUCH-HOST"), (ServerTypeRead{Unreachable, ""}));
}

}  // namespace
}  // namespace vela
