// The provider's semantics over the in-memory directory: what the tab and the walk see.
#include "admin/directory/directory.h"

#include <gtest/gtest.h>

#include <map>

#include "admin/directory/memory_directory.h"
#include "admin/directory/user_parameters.h"

namespace vela::directory {
namespace {

constexpr char kDomain[] = "DC=example,DC=test";

std::string TsValue(std::string_view path) {
    std::u16string wide(path.begin(), path.end());
    return BlobToWire(WriteTsProfilePath(std::nullopt, path, wide).blob);
}

struct Fixture {
    MemoryDirectory dir{kDomain};
    std::string sales, users, alice, bob, dave, erin, ws;
    Fixture() {
        users = dir.AddContainer(kDomain, "Users");
        sales = dir.AddOu(kDomain, "Sales");
        alice = dir.AddUser(users, "Alice", "alice", "\\\\fs\\alice", TsValue("\\\\ts\\alice"));
        bob = dir.AddUser(users, "Bob", "bob");
        dave = dir.AddUser(users, "Dave", "dave", std::nullopt, "damaged");
        // Only the plain property, with a byte of the ANSI code page.
        std::string blob = std::string(96, ' ') + std::string("P\0\1\0", 4);
        const std::string name = PropertyName("CtxWFProfilePath"), value = HexEncode("\\\\ts\\M\xFCller") + "00";
        blob += std::string{static_cast<char>(name.size()), 0, static_cast<char>(value.size()), 0, 1, 0} + name + value;
        erin = dir.AddUser(users, "Erin", "erin", std::nullopt, BlobToWire(blob));
        dir.AddOu(sales, "Europe");
        dir.AddUser(sales, "Smith, John", "jsmith");
        ws = dir.AddComputer(sales, "WS01");
        dir.AddContainer(sales, "R&D/Lab");
    }
};

std::vector<DirObject> List(Directory& d, std::string_view path, const std::vector<std::string>& filter) {
    std::vector<DirObject> out;
    const Outcome o = d.Enumerate(path, filter, [&](const DirObject& x) {
        out.push_back(x);
        return true;
    });
    EXPECT_TRUE(o) << o.message;
    return out;
}

TEST(Directory, ObjectsCarryNameClassAndPath) {
    Fixture f;
    auto c = f.dir.connector()();
    ASSERT_TRUE(c.outcome);
    Directory d(*c.client);
    std::string domain;
    ASSERT_TRUE(d.DefaultNamingContext(domain));
    EXPECT_EQ(domain, kDomain);
    DirObject root;
    ASSERT_TRUE(d.Bind("LDAP://" + domain, root));
    EXPECT_EQ(root.name, "DC=example");
    EXPECT_EQ(root.className, "domainDNS");

    const auto top = List(d, "LDAP://DC=example,DC=test", {"container", "OrganizationalUnit", "user"});
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0].adsPath, "LDAP://CN=Users,DC=example,DC=test");
    EXPECT_EQ(top[1].name, "OU=Sales");
    EXPECT_EQ(top[1].className, "organizationalUnit");

    const auto sales = List(d, top[1].adsPath, {"container", "OrganizationalUnit", "user"});
    const struct {
        const char* name;
        const char* cls;
        const char* path;
    } expected[] = {
        {"OU=Europe", "organizationalUnit", "LDAP://OU=Europe,OU=Sales,DC=example,DC=test"},
        {"CN=Smith\\, John", "user", "LDAP://CN=Smith\\, John,OU=Sales,DC=example,DC=test"},
        {"CN=WS01", "computer", "LDAP://CN=WS01,OU=Sales,DC=example,DC=test"},  // "user" lets computers through
        {"CN=R&D/Lab", "container", "LDAP://CN=R&D\\/Lab,OU=Sales,DC=example,DC=test"},
    };
    ASSERT_EQ(sales.size(), std::size(expected));
    for (std::size_t i = 0; i < sales.size(); ++i) {
        EXPECT_EQ(sales[i].name, expected[i].name);
        EXPECT_EQ(sales[i].className, expected[i].cls);
        EXPECT_EQ(sales[i].adsPath, expected[i].path);
        DirObject again;  // every path rebinds its object
        ASSERT_TRUE(d.Bind(sales[i].adsPath, again)) << sales[i].adsPath;
        EXPECT_EQ(again.dn, sales[i].dn);
    }
    EXPECT_EQ(List(d, top[1].adsPath, {"OrganizationalUnit"}).size(), 1u);
    DirObject none;
    EXPECT_EQ(d.Bind("LDAP://OU=Nowhere,DC=example,DC=test", none).fault, Fault::NoSuchObject);
    EXPECT_EQ(d.Bind("root", none).fault, Fault::BadPath);
}

// The class of an entry as each kind of server sends it: the domain directory names the whole
// structural chain in structuralObjectClass, in any order; slapd names one class; a server may
// send neither; auxiliary classes may follow the structural one in objectClass.
TEST(Directory, ClassIsTheMostSpecificStructuralClass) {
    using V = std::vector<std::string>;
    const struct {
        V objectClass, structural;
        const char* expected;
    } cases[] = {
        {{"top", "person", "organizationalPerson", "user"}, {"organizationalPerson", "top", "user", "person"}, "user"},
        {{"top", "person", "organizationalPerson", "user", "computer"},
         {"top", "computer", "person", "user", "organizationalPerson"}, "computer"},
        {{"top", "organizationalUnit"}, {"top", "organizationalUnit"}, "organizationalUnit"},
        {{"top", "container"}, {"container", "top"}, "container"},
        {{"top", "person", "organizationalPerson", "user", "msExtraAux"}, {"user", "top", "person", "organizationalPerson"},
         "user"},
        {{"top", "person", "organizationalPerson", "user", "computer"}, {"computer"}, "computer"},
        {{"top", "domain", "domainDNS"}, {}, "domainDNS"},
        {{}, {"user"}, "user"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        LdapEntry e{"CN=x,DC=example,DC=test", {{"objectClass", c.objectClass}}};
        if (!c.structural.empty()) e.attributes.push_back({"structuralObjectClass", c.structural});
        const auto o = MakeObject(e, "");
        ASSERT_TRUE(o);
        EXPECT_EQ(o->className, c.expected);
    }
}

TEST(Directory, ReadsBothProfilePaths) {
    Fixture f;
    auto c = f.dir.connector()();
    Directory d(*c.client);
    std::map<std::string, DirObject> users;
    for (auto& u : List(d, "LDAP://CN=Users,DC=example,DC=test", {"user"})) users[*u.samAccountName] = u;
    EXPECT_EQ(users["alice"].Get("profile"), "\\\\fs\\alice");
    EXPECT_EQ(users["alice"].Get("TerminalServicesProfilePath"), "\\\\ts\\alice");
    EXPECT_FALSE(users["bob"].Get("profile"));
    EXPECT_FALSE(users["bob"].Get("terminalservicesprofilepath"));
    EXPECT_FALSE(users["dave"].tsProfilePath);
    EXPECT_TRUE(users["dave"].userParametersDamaged);
    EXPECT_EQ(users["erin"].tsProfilePath, "\\\\ts\\M\xC3\xBCller");  // ANSI byte read as its character
    EXPECT_EQ(f.dir.searches, 1) << "a listing fetches what it shows in the listing itself";
}

TEST(Directory, SetInfoSendsOneModifyAllOrNothing) {
    Fixture f;
    auto c = f.dir.connector()();
    Directory d(*c.client);
    DirObject bob, dave, alice;
    ASSERT_TRUE(d.Bind("LDAP://CN=Bob,CN=Users,DC=example,DC=test", bob));
    ASSERT_TRUE(d.Bind("LDAP://CN=Dave,CN=Users,DC=example,DC=test", dave));
    ASSERT_TRUE(d.Bind("LDAP://CN=Alice,CN=Users,DC=example,DC=test", alice));

    // Clearing a profile path that is not set does not take the terminal-server path down.
    Changes clear;
    ASSERT_TRUE(clear.PutEx(ADS_PROPERTY_CLEAR, "ProfilePath"));
    clear.Put("TerminalServicesProfilePath", "\\\\ts\\bob");
    const int before = f.dir.modifies;
    ASSERT_TRUE(d.SetInfo(bob, clear));
    EXPECT_EQ(f.dir.modifies, before + 1);
    ASSERT_TRUE(d.Bind(bob.adsPath, bob));
    EXPECT_EQ(bob.tsProfilePath, "\\\\ts\\bob");
    EXPECT_FALSE(bob.profile);

    Changes both;
    both.Put("ProfilePath", "\\\\fs\\new");
    both.Put("TerminalServicesProfilePath", "");
    ASSERT_TRUE(d.SetInfo(alice, both));
    ASSERT_TRUE(d.Bind(alice.adsPath, alice));
    EXPECT_EQ(alice.profile, "\\\\fs\\new");
    EXPECT_EQ(alice.tsProfilePath, "");

    // A damaged userParameters fails the whole user: the profile path is not written either.
    const int modifies = f.dir.modifies;
    const Outcome o = d.SetInfo(dave, both);
    EXPECT_EQ(o.fault, Fault::Damaged);
    EXPECT_EQ(f.dir.modifies, modifies);
    EXPECT_EQ(f.dir.Value(f.dave, "userParameters"), "damaged");
    EXPECT_FALSE(f.dir.Value(f.dave, "profilePath"));

    Changes nothing;
    EXPECT_TRUE(d.SetInfo(alice, nothing));
    EXPECT_FALSE(nothing.PutEx(2, "profilePath"));
}

// A value as a server sends it: reserved data of blanks, then the properties (name, hex digits)
// and `trailing`.
std::string Wire(const std::vector<std::pair<const char*, const char*>>& props, std::string_view trailing = {}) {
    std::string blob = std::string(96, ' ') + "P" + '\0' + static_cast<char>(props.size()) + '\0';
    for (const auto& [name, hex] : props) {
        const std::string n = PropertyName(name), v = hex;
        blob += std::string{static_cast<char>(n.size()), 0, static_cast<char>(v.size()), 0, 1, 0} + n + v;
    }
    return BlobToWire(blob + std::string(trailing));
}

// One rule for every value the codec cannot read exactly: shown as not set and damaged, and a
// change of the user fails whole (Damaged) leaving every byte.  A path with no exact ANSI form
// fails the same way (Lossy) on any value, none included.
TEST(Directory, ValuesNotReadExactlyAndPathsWithoutAnAnsiFormAreLeftByteForByte) {
    const char* yamada = "\\\\srv\\\xE5\xB1\xB1\xE7\x94\xB0";  // the second part in CJK ideographs
    const char* mueller = "\\\\ts\\M\xC3\xBCller";
    const struct {
        const char* what;
        std::optional<std::string> value;
        const char* path;
        Fault fault;
    } cases[] = {
        {"twin not hex", Wire({{"CtxWFProfilePath", "6100"}, {"CtxWFProfilePathW", "zz000000"}}), mueller, Fault::Damaged},
        {"twin of odd length, trailing 07", Wire({{"CtxWFProfilePathW", "610"}}, "\x07"), mueller, Fault::Damaged},
        {"path twice", Wire({{"CtxWFProfilePath", "6100"}, {"CtxWFProfilePath", "6200"}}), mueller, Fault::Damaged},
        {"not UTF-8", std::string("\xC3"), mueller, Fault::Damaged},
        {"no twin, no ANSI form", Wire({{"CtxCfgPresent", "551e0bb0"}, {"CtxWFProfilePath", "6100"}}), yamada, Fault::Lossy},
        {"no value, no ANSI form", std::nullopt, yamada, Fault::Lossy},
        {"no twin, an ANSI form", Wire({{"CtxCfgPresent", "551e0bb0"}, {"CtxWFProfilePath", "6100"}}), mueller, Fault::None},
    };
    MemoryDirectory dir(kDomain);
    const std::string ou = dir.AddOu(kDomain, "Cases");
    for (std::size_t i = 0; i < std::size(cases); ++i)
        dir.AddUser(ou, cases[i].what, std::string("u").append(std::to_string(i)), std::nullopt, cases[i].value);
    auto c = dir.connector()();
    Directory d(*c.client);
    const auto users = List(d, "LDAP://" + ou, {"user"});
    ASSERT_EQ(users.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& k = cases[i];
        SCOPED_TRACE(k.what);
        EXPECT_EQ(users[i].userParametersDamaged, k.fault == Fault::Damaged);
        EXPECT_EQ(users[i].tsProfilePath.has_value(), k.fault != Fault::Damaged && k.value.has_value());
        Changes ch;
        ch.Put("profilePath", "\\\\fs\\new");
        ch.Put("TerminalServicesProfilePath", k.path);
        const int modifies = dir.modifies;
        const Outcome o = d.SetInfo(users[i], ch);
        EXPECT_EQ(o.fault, k.fault) << o.message;
        if (k.fault != Fault::None) {
            EXPECT_EQ(dir.modifies, modifies);
            EXPECT_EQ(dir.Value(users[i].dn, "userParameters"), k.value);
            EXPECT_FALSE(dir.Value(users[i].dn, "profilePath"));
        } else {
            DirObject again;
            ASSERT_TRUE(d.Bind(users[i].adsPath, again));
            EXPECT_EQ(again.tsProfilePath, k.path);
            EXPECT_TRUE(ReadTsProfilePath(*WireToBlob(*again.userParameters)).wide) << "the twin is added";
        }
    }
}

TEST(Directory, ServerGoingAwayMidRunIsCountedAndLeavesNoUserHalfWritten) {
    MemoryDirectory dir(kDomain);
    const std::string ou = dir.AddOu(kDomain, "Many");
    auto name = [](int i) { return std::string("u").append(std::to_string(i)); };  // not "u" + ...: GCC 12 -Wrestrict
    for (int i = 0; i < 20; ++i) dir.AddUser(ou, name(i), name(i), "\\\\old");
    auto run = [&](int& written, int& failed, Fault& last) {
        written = failed = 0;
        auto c = dir.connector()();
        if (!c.outcome) {
            last = c.outcome.fault;
            return;
        }
        Directory d(*c.client);
        std::vector<DirObject> users = List(d, "LDAP://" + ou, {"user"});
        for (const auto& u : users) {
            Changes ch;
            ch.Put("profilePath", "\\\\new");
            ch.Put("TerminalServicesProfilePath", "\\\\ts\\new");
            const Outcome o = d.SetInfo(u, ch);
            (o ? written : failed)++;
            if (!o) last = o.fault;
        }
    };
    int written = 0, failed = 0;
    Fault last = Fault::None;
    dir.FailAfter(1 + 1 + 7);  // connect, list, 7 modifies
    run(written, failed, last);
    EXPECT_EQ(written, 7);
    EXPECT_EQ(failed, 13);
    EXPECT_EQ(last, Fault::Unreachable);
    for (int i = 0; i < 20; ++i) {
        const std::string dn = "CN=" + name(i) + "," + ou;
        const bool newProfile = dir.Value(dn, "profilePath") == "\\\\new";
        EXPECT_EQ(newProfile, dir.Value(dn, "userParameters").has_value()) << dn << " is half-written";
    }
    run(written, failed, last);
    EXPECT_EQ(last, Fault::Unreachable);
    EXPECT_EQ(written, 0);
    dir.SetReachable(true);  // the server is back: a later run does all
    run(written, failed, last);
    EXPECT_EQ(written, 20);
    EXPECT_EQ(failed, 0);
}

}  // namespace
}  // namespace vela::directory
