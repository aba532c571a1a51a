// The layer against the real test directory (tools/test-directory): libldap natively, wldap32
// under Wine, the same server and seed.  CTest starts the server for these tests and stops it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <ldap.h>
#include <unistd.h>
#endif

#include "admin/directory/change_journal.h"
#include "admin/directory/directory.h"
#include "admin/directory/path_changer.h"
#include "admin/directory/server_accounts.h"
#include "admin/directory/user_parameters.h"

namespace vela::directory {
namespace {

constexpr char kDomain[] = "DC=example,DC=test";

// The server's folder as tools/test-directory made it: a Unix path, under Wine through Z:.
std::string UnixFolder() {
    const char* f = std::getenv("VELA_TEST_DIRECTORY");
    return f ? f : "";
}
std::string Folder() {
#ifdef _WIN32
    return UnixFolder().empty() ? std::string() : "Z:" + UnixFolder();
#else
    return UnixFolder();
#endif
}

// Starts a /bin/sh script on the host.  Under Wine a Unix program starts through CreateProcess
// but gives no process handle to wait on, so callers poll for the script's effect.
bool Shell(const std::string& script) {
#ifdef _WIN32
    std::string cmd = "Z:\\bin\\sh -c \"" + script + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    return true;
#else
    return std::system(script.c_str()) == 0;
#endif
}

// Polls `done` for up to ten seconds.
bool Eventually(const std::function<bool()>& done) {
    for (int k = 0; k < 100; ++k) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

std::string ReadLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// "slapd", or "samba" for the domain controller (tools/test-directory start --samba).
bool Samba() { return ReadLine(Folder() + "/kind") == "samba"; }

// The users in OU=Big: 10,000 on slapd, fewer on the domain controller.
std::size_t BigUsers() {
    const std::string n = ReadLine(Folder() + "/big-users");
    return n.empty() ? 10000u : static_cast<std::size_t>(std::stoul(n));
}

// The test directory's server; the domain controller is bound as its domain user (it refuses
// anonymous reads), over StartTLS natively.
ConnectionSettings Server() {
    ConnectionSettings s = SettingsFromEnvironment();
    if (!Folder().empty()) s.url = ReadLine(Folder() + "/url");
    if (Samba()) {
        s.user = ReadLine(Folder() + "/user");
        s.password = ReadLine(Folder() + "/password");
    }
    return s;
}

class DirectoryServer : public ::testing::Test {
protected:
    void SetUp() override {
        const auto s = Server();
        ASSERT_FALSE(s.url.empty()) << "no test directory: run under ctest or tools/test-directory run";
        conn_ = ConnectLdap(s);
        ASSERT_TRUE(conn_.outcome) << conn_.outcome.message;
        dir_ = std::make_unique<Directory>(*conn_.client);
    }
    std::vector<DirObject> List(std::string_view path, const std::vector<std::string>& filter) {
        std::vector<DirObject> out;
        const Outcome o = dir_->Enumerate(path, filter, [&](const DirObject& x) {
            out.push_back(x);
            return true;
        });
        EXPECT_TRUE(o) << o.message;
        return out;
    }
    // The attribute's bytes exactly as the server stores them.
    std::optional<std::string> Stored(const std::string& dn, const char* attribute) {
        std::optional<std::string> v;
        const Outcome o = conn_.client->Search(SearchRequest{dn, Scope::Base, {}, {attribute}}, [&](LdapEntry&& e) {
            if (const auto* vals = e.Find(attribute); vals && !vals->empty()) v = vals->front();
            return true;
        });
        EXPECT_TRUE(o) << o.message;
        return v;
    }
    // The first `n` users of OU=Big.
    void FirstBigUsers(std::size_t n, std::vector<DirObject>& users) {
        ASSERT_TRUE(dir_->Enumerate("LDAP://OU=Big," + std::string(kDomain), {"user"}, [&](const DirObject& o) {
            users.push_back(o);
            return users.size() < n;
        }));
    }
    // Both paths of `u` to \\fs\<where>\<sam> and \\ts\<where>\<sam>, in one commit.
    static Outcome MoveBoth(Directory& d, const DirObject& u, const std::string& where) {
        Changes ch;
        ch.Put("profilePath", "\\\\fs\\" + where + "\\" + *u.samAccountName);
        ch.Put("TerminalServicesProfilePath", "\\\\ts\\" + where + "\\" + *u.samAccountName);
        return d.SetInfo(u, ch);
    }
    Connection conn_;
    std::unique_ptr<Directory> dir_;
};

TEST_F(DirectoryServer, RootDseNamesAndClassesOfEachKind) {
    std::string domain;
    ASSERT_TRUE(dir_->DefaultNamingContext(domain));
    EXPECT_EQ(domain, kDomain);
    DirObject root;
    ASSERT_TRUE(dir_->Bind("LDAP://" + domain, root));
    EXPECT_EQ(root.name, "DC=example");

    std::map<std::string, DirObject> byName;
    for (auto& o : List("LDAP://OU=Sales,DC=example,DC=test", {"container", "OrganizationalUnit", "user"}))
        byName[o.name] = o;
    const struct {
        const char* name;
        const char* cls;
        const char* path;
    } expected[] = {
        {"CN=M\xC3\xBCller", "user", "LDAP://CN=M\xC3\xBCller,OU=Sales,DC=example,DC=test"},
        {"CN=A\\+B", "user", "LDAP://CN=A\\+B,OU=Sales,DC=example,DC=test"},
        {"CN=\\\"Quoted\\\"", "user", "LDAP://CN=\\\"Quoted\\\",OU=Sales,DC=example,DC=test"},
        {"CN=Slash/Name", "user", "LDAP://CN=Slash\\/Name,OU=Sales,DC=example,DC=test"},
        {"CN=WS01", "computer", "LDAP://CN=WS01,OU=Sales,DC=example,DC=test"},
        {"CN=Archive", "container", "LDAP://CN=Archive,OU=Sales,DC=example,DC=test"},
        {"OU=Europe", "organizationalUnit", "LDAP://OU=Europe,OU=Sales,DC=example,DC=test"},
        {"OU=R&D/Lab", "organizationalUnit", "LDAP://OU=R&D\\/Lab,OU=Sales,DC=example,DC=test"},
    };
    EXPECT_EQ(byName.size(), std::size(expected));
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        ASSERT_TRUE(byName.count(e.name));
        const DirObject& o = byName[e.name];
        EXPECT_EQ(o.className, e.cls);
        EXPECT_EQ(o.adsPath, e.path);
        DirObject again;
        ASSERT_TRUE(dir_->Bind(o.adsPath, again));
        EXPECT_EQ(again.name, o.name);
        // Escaped the other way: the server's own hex spelling binds the same object.
        DirObject viaHex;
        if (o.name == "CN=A\\+B") {
            ASSERT_TRUE(dir_->Bind("LDAP://cn=A\\2BB,ou=Sales,dc=example,dc=test", viaHex));
            EXPECT_EQ(viaHex.adsPath, o.adsPath);
        }
    }
    EXPECT_EQ(List("LDAP://OU=R&D\\/Lab,OU=Sales,DC=example,DC=test", {"user"}).size(), 1u);
    DirObject none;
    EXPECT_EQ(dir_->Bind("LDAP://OU=Nowhere,DC=example,DC=test", none).fault, Fault::NoSuchObject);
}

TEST_F(DirectoryServer, ListsPastTheServersCapInPages) {
    std::set<std::string> names;
    int withProfile = 0;
    const auto all = List("LDAP://OU=Big,DC=example,DC=test", {"user"});
    for (const auto& u : all) {
        names.insert(u.name);
        withProfile += u.profile.has_value();
    }
    EXPECT_EQ(names.size(), BigUsers());
    EXPECT_EQ(withProfile, static_cast<int>(BigUsers() / 2));
    // Waiting in slices for the window's sake loses, repeats and reorders nothing.
    conn_.client->SetWaiting([] {});
    const auto sliced = List("LDAP://OU=Big,DC=example,DC=test", {"user"});
    conn_.client->SetWaiting(nullptr);
    ASSERT_EQ(sliced.size(), all.size());
    EXPECT_TRUE(std::equal(all.begin(), all.end(), sliced.begin(),
                           [](const DirObject& a, const DirObject& b) { return a.dn == b.dn; }));
    // Stopping early is no failure, and the connection serves the next operation.
    int seen = 0;
    EXPECT_TRUE(dir_->Enumerate("LDAP://OU=Big,DC=example,DC=test", {"user"},
                                [&](const DirObject&) { return ++seen < 1200; }));
    EXPECT_EQ(seen, 1200);
    std::string domain;
    EXPECT_TRUE(dir_->DefaultNamingContext(domain));
}

TEST_F(DirectoryServer, TerminalServerPathTravelsAsTheServersExpect) {
    const std::string users = std::string("CN=Users,") + kDomain;
    std::map<std::string, DirObject> u;
    for (auto& o : List("LDAP://" + users, {"user"})) u[*o.samAccountName] = o;
    EXPECT_EQ(u["alice"].tsProfilePath, "\\\\ts\\profiles\\alice");
    EXPECT_EQ(u["frank"].tsProfilePath, "\\\\ts\\M\xC3\xBCller");
    EXPECT_FALSE(u["carol"].tsProfilePath);
    EXPECT_TRUE(u["dave"].userParametersDamaged);

    if (Samba()) {
        // The domain controller takes userParameters only from its own tools: the change is
        // refused whole, the profile path with it, and the reason is one an administrator can
        // read.
        Changes ch;
        ch.Put("profilePath", "\\\\fs\\bob");
        ch.Put("TerminalServicesProfilePath", "\\\\ts\\bob");
        const Outcome refused = dir_->SetInfo(u["bob"], ch);
        EXPECT_EQ(refused.fault, Fault::Rejected) << refused.message;
        EXPECT_EQ(FailureReason(refused, "the change"), "the directory refused the change (constraint violation)");
        EXPECT_FALSE(Stored("CN=Bob," + users, "profilePath"));
        EXPECT_FALSE(Stored("CN=Bob," + users, "userParameters"));
        return;
    }

    // Bob has no value: he gets what Windows writes, byte for byte the value seeded for Alice
    // (made by the seed script's own encoder), and clearing his unset profile path is no error.
    Changes ch;
    ASSERT_TRUE(ch.PutEx(ADS_PROPERTY_CLEAR, "profilePath"));
    ch.Put("TerminalServicesProfilePath", "\\\\ts\\profiles\\alice");
    const Outcome o = dir_->SetInfo(u["bob"], ch);
    ASSERT_TRUE(o) << o.message;
    EXPECT_EQ(Stored("CN=Bob," + users, "userParameters"), Stored("CN=Alice," + users, "userParameters"));

    // Erin's other properties, their letter case and the bytes after them stay as they were;
    // Carol's dial-in data stays in front of the new part.
    const auto erinBefore = WireToBlob(*Stored("CN=Erin," + users, "userParameters"));
    const auto carolBefore = WireToBlob(*Stored("CN=Carol," + users, "userParameters"));
    Changes ts;
    ts.Put("TerminalServicesProfilePath", std::string(200, 'p'));
    ASSERT_TRUE(dir_->SetInfo(u["erin"], ts));
    ASSERT_TRUE(dir_->SetInfo(u["carol"], ts));
    const auto erinAfter = WireToBlob(*Stored("CN=Erin," + users, "userParameters"));
    const auto carolAfter = WireToBlob(*Stored("CN=Carol," + users, "userParameters"));
    ASSERT_TRUE(erinBefore && erinAfter && carolBefore && carolAfter);
    const auto pb = ParseUserParameters(*erinBefore), pa = ParseUserParameters(*erinAfter);
    ASSERT_TRUE(pb && pa);
    EXPECT_EQ(pa->trailing, pb->trailing);
    // The path and its twin go in after CtxCfgPresent.
    EXPECT_EQ(pa->properties.size(), pb->properties.size() + 2);
    for (std::size_t i = 0; i < pb->properties.size(); ++i) EXPECT_EQ(pa->properties[i + 2 * (i > 0)].value, pb->properties[i].value);
    EXPECT_EQ(carolAfter->substr(0, 96), *carolBefore);
    DirObject carol;
    ASSERT_TRUE(dir_->Bind("LDAP://CN=Carol," + users, carol));
    EXPECT_EQ(carol.tsProfilePath, std::string(200, 'p'));
    EXPECT_EQ(carol.profile, "\\\\fs\\profiles\\carol");

    // Another tool replaces Carol's value after the listing: a write from the listing's object
    // lands on the value the server holds, it does not bring back the one listed.
    const auto bobValue = Stored("CN=Bob," + users, "userParameters");
    ASSERT_TRUE(bobValue);
    ASSERT_TRUE(conn_.client->Modify("CN=Carol," + users, {{Modification::Op::Replace, "userParameters", {*bobValue}}}));
    Changes late;
    late.Put("TerminalServicesProfilePath", "\\\\ts\\late");
    ASSERT_TRUE(dir_->SetInfo(u["carol"], late));
    ASSERT_TRUE(dir_->Bind("LDAP://CN=Carol," + users, carol));
    EXPECT_EQ(carol.tsProfilePath, "\\\\ts\\late");
    EXPECT_EQ(WireToBlob(*carol.userParameters)->substr(0, 96), WireToBlob(*bobValue)->substr(0, 96));

    // A damaged value is left alone, and so is the rest of that user.
    Changes both;
    both.Put("profilePath", "\\\\fs\\dave");
    both.Put("TerminalServicesProfilePath", "\\\\ts\\dave");
    EXPECT_EQ(dir_->SetInfo(u["dave"], both).fault, Fault::Damaged);
    EXPECT_EQ(Stored("CN=Dave," + users, "userParameters"), "damaged");
    EXPECT_FALSE(Stored("CN=Dave," + users, "profilePath"));
}

// Text the API cannot be handed (not UTF-8) fails the operation: it does not go out empty, as
// a search of the root DSE or a modify of nothing.
TEST_F(DirectoryServer, TextThatIsNotUtf8FailsTheOperation) {
    const std::string bad = std::string("CN=a\xC3,") + kDomain, bob = std::string("CN=Bob,CN=Users,") + kDomain;
    const auto before = Stored(bob, "profilePath");
    int entries = 0;
    auto search = [&](SearchRequest r) {
        return conn_.client->Search(r, [&](LdapEntry&&) { return ++entries > 0; });
    };
    const struct {
        const char* what;
        std::function<Outcome()> op;
    } cases[] = {
        {"search base", [&] { return search(SearchRequest{bad, Scope::Base, {}, {"cn"}}); }},
        {"class in the filter", [&] { return search(SearchRequest{kDomain, Scope::OneLevel, {"user\xC3"}, {"cn"}}); }},
        {"attribute asked for", [&] { return search(SearchRequest{"", Scope::Base, {}, {"defaultNamingContext\xC3"}}); }},
        {"modify target", [&] { return conn_.client->Modify(bad, {{Modification::Op::Replace, "profilePath", {"x"}}}); }},
        {"attribute modified",
         [&] { return conn_.client->Modify(bob, {{Modification::Op::Replace, "profilePath\xC3", {"x"}}}); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = c.op();
        EXPECT_EQ(o.fault, Fault::BadPath) << o.message;
    }
    EXPECT_EQ(entries, 0);
    EXPECT_EQ(Stored(bob, "profilePath"), before);
}

TEST(DirectoryConnection, FailuresSayWhy) {
    const struct {
        ConnectionSettings settings;
        Fault fault;
    } cases[] = {
        {{}, Fault::NoServer},  // no domain here, and no server named
        {{"http://127.0.0.1:1", "", ""}, Fault::NoServer},
        {{"ldap://127.0.0.1:99999", "", ""}, Fault::NoServer},
        {{"ldap://127.0.0.1:1", "", ""}, Fault::Unreachable},
        {{"ldaps://127.0.0.1:1", "", ""}, Fault::Unreachable},  // a closed port is no certificate problem
#ifndef _WIN32
        // The test slapd offers no StartTLS: the password must not go out in clear.
        {{Samba() ? std::string("ldap://127.0.0.1:1") : Server().url, "CN=admin,DC=example,DC=test", "admin"},
         Samba() ? Fault::Unreachable : Fault::Insecure},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings.url);
        const Connection conn = ConnectLdap(c.settings);
        EXPECT_EQ(conn.outcome.fault, c.fault) << conn.outcome.message;
        EXPECT_EQ(conn.client == nullptr, c.fault != Fault::None);
    }
}

#ifndef _WIN32
// Sets the certificates libldap trusts for the connections made from now on.
void TrustOnly(const std::string& caFile) {
    int fresh = 0;
    ldap_set_option(nullptr, LDAP_OPT_X_TLS_CACERTFILE, caFile.c_str());
    ldap_set_option(nullptr, LDAP_OPT_X_TLS_NEWCTX, &fresh);
}

// What the domain controller refuses, each told apart: a wrong password, an anonymous connection
// where a logon is needed, a certificate this computer does not trust (over ldaps:// and
// StartTLS alike).
TEST(DirectoryConnection, DomainControllerRefusalsSayWhy) {
    if (!Samba()) GTEST_SKIP() << "needs the domain controller (tools/test-directory start --samba)";
    const ConnectionSettings server = Server();
    ConnectionSettings wrong = server;
    wrong.password += "x";
    const Outcome refused = ConnectLdap(wrong).outcome;
    EXPECT_EQ(refused.fault, Fault::BindRefused) << refused.message;

    const Connection anonymous = ConnectLdap(ConnectionSettings{server.url, "", ""});
    ASSERT_TRUE(anonymous.outcome) << anonymous.outcome.message;
    Directory d(*anonymous.client);
    std::string domain;
    ASSERT_TRUE(d.DefaultNamingContext(domain)) << "the root DSE is open to all";
    DirObject object;
    const Outcome needed = d.Bind("LDAP://" + domain, object);
    EXPECT_EQ(needed.fault, Fault::LogonNeeded) << needed.message;
    EXPECT_EQ(FailureReason(needed, "the listing"),
              "the directory wants a logon: set VELA_DIRECTORY_USER and VELA_DIRECTORY_PASSWORD");

    const ConnectionSettings secure{ReadLine(Folder() + "/ldaps-url"), server.user, server.password};
    const Outcome trusted = ConnectLdap(secure).outcome;
    EXPECT_TRUE(trusted) << trusted.message;
    TrustOnly(Folder() + "/other-ca.pem");
    const Outcome overLdaps = ConnectLdap(secure).outcome, overStartTls = ConnectLdap(server).outcome;
    TrustOnly(Folder() + "/ca.pem");
    EXPECT_EQ(overLdaps.fault, Fault::Untrusted) << overLdaps.message;
    EXPECT_EQ(overStartTls.fault, Fault::Untrusted) << overStartTls.message;
    EXPECT_TRUE(ConnectLdap(secure).outcome) << "trusted again";
}
#endif

#ifndef _WIN32
// What ldapsearch reads back is the same value: the stored bytes are UTF-8 of the code units.
// The seed's enabled server accounts, found through the whole domain: the one named after this
// machine has no dNSHostName; the disabled server and the client are left out.
TEST_F(DirectoryServer, ServerAccountsOfTheWholeDomain) {
    auto servers = DirectoryServers([] { return ConnectLdap(Server()); }).Servers();
    ASSERT_TRUE(servers);
    ASSERT_EQ(servers->size(), 2u);
    std::sort(servers->begin(), servers->end(), [](const std::string& a, const std::string& b) {
        return (a.find('.') == std::string::npos) > (b.find('.') == std::string::npos);
    });
    EXPECT_EQ((*servers)[1], "srv01.example.test");
    EXPECT_FALSE((*servers)[0].empty());
    EXPECT_EQ((*servers)[0].find('.'), std::string::npos);
}

TEST_F(DirectoryServer, LdapsearchReadsTheSameBytes) {
    const std::string users = std::string("CN=Users,") + kDomain;
    // On the domain controller, Frank's value as its own tools stored it; elsewhere Bob's as
    // this layer writes it.
    const std::string who = Samba() ? "Frank" : "Bob";
    if (!Samba()) {
        DirObject bob;
        ASSERT_TRUE(dir_->Bind("LDAP://CN=Bob," + users, bob));
        Changes ch;
        ch.Put("TerminalServicesProfilePath", "\\\\ts\\M\xC3\xBCller");
        ASSERT_TRUE(dir_->SetInfo(bob, ch));
    }
    const std::string tmp = ::testing::TempDir() + "ldapsearch-" + std::to_string(getpid());
    const ConnectionSettings server = Server();
    const std::string logon = Samba() ? " -ZZ -D '" + server.user + "' -w '" + server.password + "'" : "";
    const std::string cmd = "mkdir -p " + tmp + " && ldapsearch -x -LLL -tt -T " + tmp + " -H " + server.url + logon +
                            " -b 'CN=" + who + "," + users + "' -s base userParameters >/dev/null && cat " + tmp + "/*";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    std::system(("rm -rf " + tmp).c_str());
    const auto blob = WireToBlob(out);
    ASSERT_TRUE(blob) << "not UTF-8: " << out.size() << " bytes";
    const auto read = ReadTsProfilePath(*blob);
    EXPECT_EQ(read.ansi, "\\\\ts\\M\xFCller");
    if (!Samba()) {  // Frank's value has the plain property alone
        EXPECT_EQ(read.wide, u"\\\\ts\\M\u00FCller");
    }
    // "00" of the terminator is U+3030 on the wire: three bytes E3 80 B0, never the raw "0000".
    EXPECT_NE(out.find("\xE3\x80\xB0"), std::string::npos);
}
#endif

#ifndef _WIN32
// The server freezes (SIGSTOP) during a run of changes: the first change ends at the time limit
// with the window served all along, the rest fail at once, nothing is half-written, and once the
// server runs again a new connection does everything.
TEST_F(DirectoryServer, FrozenServerEndsAtTheTimeLimit) {
    if (Samba()) GTEST_SKIP() << "slapd's process is the one to freeze";
    std::vector<DirObject> users;
    ASSERT_NO_FATAL_FAILURE(FirstBigUsers(20, users));
    const auto change = [](Directory& d, const DirObject& u) { return MoveBoth(d, u, "frozen"); };
    int served = 0;
    conn_.client->SetWaiting([&] { ++served; });
    conn_.client->SetTimeLimit(std::chrono::milliseconds(1500));
    const std::string pid = "$(cat " + UnixFolder() + "/slapd.pid)";
    ASSERT_TRUE(Shell("kill -STOP " + pid));
    struct Resume {
        std::string pid;
        ~Resume() { Shell("kill -CONT " + pid); }
    } resume{pid};
    const auto start = std::chrono::steady_clock::now();
    int silent = 0;
    for (const auto& u : users) silent += change(*dir_, u).fault == Fault::NoAnswer;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(silent, 20);
    EXPECT_GE(seconds, 1.4);
    EXPECT_LT(seconds, 5.0) << "only the first change waits";
    EXPECT_GE(served, 20) << "the window is served every 20 ms or so while it waits";

    ASSERT_TRUE(Shell("kill -CONT " + pid));
    Connection again;
    ASSERT_TRUE(Eventually([&] { return static_cast<bool>((again = ConnectLdap(Server())).outcome); }));
    Directory d(*again.client);
    for (const auto& u : users) {
        DirObject now;
        ASSERT_TRUE(d.Bind(u.adsPath, now));
        // The first change may land once the server runs again; whole or not at all.
        EXPECT_EQ(now.profile == "\\\\fs\\frozen\\" + *u.samAccountName, now.tsProfilePath.has_value()) << u.name;
        EXPECT_TRUE(change(d, now));
    }
}
#endif

// The server stops during a run of changes: no crash, each user all or nothing, failures
// counted; after it is back a new run does everything.
TEST_F(DirectoryServer, ServerStoppedMidRun) {
    if (Samba()) GTEST_SKIP() << "the domain controller takes too long to start again; slapd shows the client's rule";
    const std::string folder = UnixFolder();
    ASSERT_FALSE(folder.empty());
    std::vector<DirObject> users;
    ASSERT_NO_FATAL_FAILURE(FirstBigUsers(100, users));
    const auto change = [](Directory& d, const DirObject& u) { return MoveBoth(d, u, "moved"); };
    int written = 0, unreachable = 0;
    for (std::size_t i = 0; i < users.size(); ++i) {
        if (i == 40) {
            ASSERT_TRUE(Shell("kill $(cat " + folder + "/slapd.pid)"));
            ASSERT_TRUE(Eventually([] { return !ConnectLdap(Server()).outcome; }));
        }
        const Outcome o = change(*dir_, users[i]);
        written += static_cast<bool>(o);
        unreachable += o.fault == Fault::Unreachable;
    }
    EXPECT_EQ(written, 40);
    EXPECT_EQ(unreachable, 60);
    EXPECT_EQ(ConnectLdap(Server()).outcome.fault, Fault::Unreachable);

    const std::string url = Server().url;
    ASSERT_TRUE(Shell("/usr/sbin/slapd -f " + folder + "/slapd.conf -h " + url + "/"));
    Connection again;
    ASSERT_TRUE(Eventually([&] { return static_cast<bool>((again = ConnectLdap(Server())).outcome); }));
    Directory d(*again.client);
    written = 0;
    for (const auto& u : users) {
        DirObject now;
        ASSERT_TRUE(d.Bind(u.adsPath, now));
        // Never half-written: the profile path moved exactly where the terminal-server path did.
        EXPECT_EQ(now.profile == "\\\\fs\\moved\\" + *u.samAccountName, now.tsProfilePath.has_value()) << u.name;
        written += static_cast<bool>(change(d, now));
    }
    EXPECT_EQ(written, 100);
}

#ifndef _WIN32
// A change of CN=Users (a full Windows value, a dial-in value, none, a damaged one, a name with a
// comma), with another tool writing one user in between: the undo through the layer and the
// journal replayed by ldapmodify each leave the container as it was, but for that user.  The
// domain controller refuses userParameters over LDAP, so there only the profile path changes (of
// its own accounts too); what it keeps of every write (when, update numbers) and of every logon
// is left out of the comparison, and each entry's attributes are compared in sorted order.
TEST_F(DirectoryServer, ChangeUndoneLeavesTheDirectoryAsItWas) {
    const bool samba = Samba();
    struct Form : ChangerForm {
        bool samba = false;
        bool writeProfilePath() const override { return true; }
        std::string profilePath() const override { return "\\\\fs\\undo"; }
        bool writeTsProfilePath() const override { return !samba; }
        std::string tsProfilePath() const override { return "\\\\ts\\M\xC3\xBCller\\undo"; }
        bool recursive() const override { return false; }
    } form;
    form.samba = samba;
    const std::string users = std::string("CN=Users,") + kDomain;
    const ConnectionSettings server = Server();
    const std::string url = server.url;
    const std::string logon = samba ? " -ZZ -D '" + server.user + "' -w '" + server.password + "'" : "";
    const auto run = [](const std::string& cmd) {
        std::string out;
        if (FILE* p = popen(cmd.c_str(), "r")) {
            char buf[4096];
            for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
            pclose(p);
        }
        return out;
    };
    // Everything but Carol, whom the other tool writes, and the account the test logs on as.
    const auto dump = [&] {
        return run("ldapsearch -x -LLL -o ldif-wrap=no -H " + url + logon + " -b '" + users +
                   "' '(!(|(sAMAccountName=carol)(sAMAccountName=Administrator)))'" +
                   " | grep -Eiv '^(whenChanged|uSNChanged|lastLogon|lastLogonTimestamp|logonCount|badPwdCount|badPasswordTime):'" +
                   // the domain controller returns an attribute written again after the others
                   " | perl -00 -ne 'print join(\"\\n\", sort split /\\n/), \"\\n\\n\"'");
    };
    const std::string carolDn = "CN=Carol," + users;
    const auto carolProfile = Stored(carolDn, "profilePath");
    const auto carolParameters = Stored(carolDn, "userParameters");
    ASSERT_TRUE(carolProfile && carolParameters);
    const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / ("journals-" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    const Connector connector = [] { return ConnectLdap(Server()); };
    const std::string before = dump();
    ASSERT_NE(before.find("sAMAccountName: alice"), std::string::npos) << before;

    for (const bool withLdapmodify : {false, true}) {
        SCOPED_TRACE(withLdapmodify ? "ldapmodify -c -f" : "through the layer");
        const ChangeCount count = PathChanger(connector, form, {}, folder,
                                              std::chrono::system_clock::now() + std::chrono::minutes(withLdapmodify))
                                      .Run("LDAP://" + users);
        EXPECT_EQ(count.notChanged, samba ? 0 : 1) << StatusText(count);  // Dave's damaged value
        ASSERT_GE(count.changed, 5) << StatusText(count);
        ASSERT_NE(dump(), before);
        // Another tool writes Carol's profile path after the change.
        DirObject carol;
        ASSERT_TRUE(dir_->Bind("LDAP://CN=Carol," + users, carol));
        Changes other;
        other.Put("profilePath", "\\\\other\\carol");
        ASSERT_TRUE(dir_->SetInfo(carol, other));
        if (withLdapmodify) {
            run("ldapmodify -x -c -H " + url + logon + " -f '" + count.journal + "' >/dev/null 2>&1");
        } else {
            const UndoResult undone = UndoLastChange(connector, folder);
            EXPECT_EQ(UndoStatusText(undone), std::to_string(count.changed - 1) + " users restored, 1 not restored: changed since");
        }
        EXPECT_EQ(dump(), before);
        // Carol keeps the other tool's value and the change's userParameters: nothing of hers is undone.
        EXPECT_EQ(Stored(carolDn, "profilePath"), "\\\\other\\carol");
        if (samba) {
            EXPECT_EQ(Stored(carolDn, "userParameters"), carolParameters);
            ASSERT_TRUE(dir_->Modify(carolDn, {{Modification::Op::Replace, "profilePath", {*carolProfile}}}));
            continue;
        }
        EXPECT_NE(Stored(carolDn, "userParameters"), carolParameters);
        ASSERT_TRUE(dir_->Modify(carolDn, {{Modification::Op::Replace, "profilePath", {*carolProfile}},
                                           {Modification::Op::Replace, "userParameters", {*carolParameters}}}));
    }
    std::filesystem::remove_all(folder);
}
#endif

}  // namespace
}  // namespace vela::directory
