// The directory's server accounts: which computer accounts count as enabled servers and by what
// name the registry functions reach them, over the in-memory directory.
#include "admin/directory/server_accounts.h"

#include <gtest/gtest.h>

#include "admin/directory/memory_directory.h"

namespace vela::directory {
namespace {

constexpr char kDomain[] = "DC=example,DC=test";

TEST(ServerAccounts, EnabledServerAccountsByTheirHostOrAccountName) {
    const struct {
        const char* name;
        std::vector<Attribute> attributes;
        std::optional<std::string> listedAs;
    } cases[] = {
        {"server with host name", {{"operatingSystem", {"Windows Server 2019 Standard"}}, {"userAccountControl", {"4096"}},
                                   {"dNSHostName", {"ts1.example.test"}}, {"sAMAccountName", {"TS1$"}}}, "ts1.example.test"},
        {"no host name", {{"operatingSystem", {"Windows Server 2022"}}, {"sAMAccountName", {"TS2$"}}}, "TS2"},
        {"empty host name", {{"operatingSystem", {"windows server"}}, {"dNSHostName", {""}}, {"sAMAccountName", {"TS3$"}}}, "TS3"},
        {"client", {{"operatingSystem", {"Windows 11 Enterprise"}}, {"sAMAccountName", {"WS1$"}}}, std::nullopt},
        {"no operating system", {{"sAMAccountName", {"X$"}}}, std::nullopt},
        {"disabled", {{"operatingSystem", {"Windows Server 2016"}}, {"userAccountControl", {"4098"}},
                      {"sAMAccountName", {"OLD$"}}}, std::nullopt},
        {"flags sent as a negative number", {{"operatingSystem", {"Windows Server 2016"}}, {"userAccountControl", {"-2147479550"}},
                                             {"sAMAccountName", {"NEG$"}}}, std::nullopt},
        {"no name at all", {{"operatingSystem", {"Windows Server 2016"}}, {"sAMAccountName", {"$"}}}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ServerAccountName(LdapEntry{"CN=X," + std::string(kDomain), c.attributes}), c.listedAs);
    }
}

TEST(ServerAccounts, TheWholeDomainIsSearchedAndAFailureIsNoAnswer) {
    MemoryDirectory dir(kDomain);
    const std::string computers = dir.AddContainer(kDomain, "Computers");
    const std::string deep = dir.AddOu(dir.AddOu(kDomain, "Sites"), "Berlin");
    const auto server = [&](const std::string& parent, const std::string& name, const char* os) {
        dir.Add("CN=" + name + "," + parent, {"top", "person", "organizationalPerson", "user", "computer"},
                {{"operatingSystem", {os}}, {"sAMAccountName", {name + "$"}}});
    };
    server(computers, "TS1", "Windows Server 2019");
    server(deep, "TS2", "Windows Server 2022");
    server(deep, "WS1", "Windows 10");
    // A user whose operating-system attribute would pass is not a computer.
    dir.Add("CN=U1," + deep, {"top", "person", "organizationalPerson", "user"},
            {{"operatingSystem", {"Windows Server"}}, {"sAMAccountName", {"U1"}}});

    DirectoryServers servers(dir.connector());
    EXPECT_EQ(servers.Servers(), (std::vector<std::string>{"TS1", "TS2"}));
    dir.FailAfter(1);  // the root DSE answers, the listing does not
    EXPECT_EQ(servers.Servers(), std::nullopt);
    dir.SetReachable(false);
    EXPECT_EQ(servers.Servers(), std::nullopt);
    EXPECT_EQ(DirectoryServers(Connector()).Servers(), std::nullopt);
}

}  // namespace
}  // namespace vela::directory
