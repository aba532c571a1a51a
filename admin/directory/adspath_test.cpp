#include "admin/directory/adspath.h"

#include <gtest/gtest.h>

namespace vela::directory {
namespace {

TEST(ParseDn, ReadsBothServersSpellings) {
    const struct {
        std::string_view text;
        std::string_view firstValue;
        std::string_view ldap;  // how we write it back
    } cases[] = {
        {"CN=Smith\\, John,CN=Users,DC=x", "Smith, John", "CN=Smith\\, John,CN=Users,DC=x"},
        {"cn=Smith\\2C John,cn=Users,dc=x", "Smith, John", "CN=Smith\\, John,CN=Users,DC=x"},
        {"cn=A\\2BB,ou=Sales", "A+B", "CN=A\\+B,OU=Sales"},
        {"cn=\\22Quoted\\22,ou=S", "\"Quoted\"", "CN=\\\"Quoted\\\",OU=S"},
        {"CN=M\xC3\xBCller,OU=S", "M\xC3\xBCller", "CN=M\xC3\xBCller,OU=S"},
        {"cn=M\\C3\\BCller,ou=S", "M\xC3\xBCller", "CN=M\xC3\xBCller,OU=S"},
        {"CN=Slash/Name,OU=S", "Slash/Name", "CN=Slash/Name,OU=S"},
        {"CN=Slash\\/Name,OU=S", "Slash/Name", "CN=Slash/Name,OU=S"},
        {"CN=\\ lead and trail\\ ,DC=x", " lead and trail ", "CN=\\ lead and trail\\ ,DC=x"},
        {"CN=a, DC=x", "a", "CN=a,DC=x"},
        {"CN=#1;DC=x", "#1", "CN=\\#1,DC=x"},
        {"CN=x\\0Ay,DC=x", "x\ny", "CN=x\\0Ay,DC=x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto dn = ParseDn(c.text);
        ASSERT_TRUE(dn);
        EXPECT_EQ(dn->front().front().value, c.firstValue);
        EXPECT_EQ(FormatDn(*dn, DnStyle::Ldap), c.ldap);
        EXPECT_EQ(FormatDn(ParseDn(FormatDn(*dn, DnStyle::Path)).value_or(Dn{}), DnStyle::Ldap), c.ldap);
    }
    const auto multi = ParseDn("CN=a+SN=b,DC=x");
    ASSERT_TRUE(multi);
    EXPECT_EQ(multi->front().size(), 2u);
    EXPECT_EQ(FormatRdn(multi->front(), DnStyle::Ldap), "CN=a+SN=b");
    for (std::string_view bad : {"CN", "=a,DC=x", "CN=a,", "CN=a\\", "CN=a,DC"}) EXPECT_FALSE(ParseDn(bad)) << bad;
    EXPECT_EQ(DnKey(*ParseDn("cn=Smith\\2C John,dc=X")), DnKey(*ParseDn("CN=smith\\, john,DC=x")));
}

// A value must be UTF-8 once its escapes are undone, raw or hex-escaped alike: elsewhere the
// conversion for the server fails, and an empty DN would be the root DSE.
TEST(ParseDn, RefusesWhatIsNotUtf8OnceUnescaped) {
    const struct {
        std::string_view text;
        bool ok;
    } cases[] = {
        {"CN=a\\C3,DC=x", false},           // a lead byte alone
        {"CN=a\xC3,DC=x", false},           // the same, raw
        {"CN=a\\C3\\BC,DC=x", true},        // both bytes: u-umlaut
        {"CN=a,DC=\\BC", false},            // a continuation byte alone, in any RDN
        {"CN=\\ED\\A0\\80,DC=x", false},    // a surrogate, fine in a blob, not in text
        {"CN=\\F0\\9F\\98\\80,DC=x", true},  // four bytes
        {"CN=\\C0\\80,DC=x", false},        // overlong NUL
        {"C\xC3N=a,DC=x", false},           // the type
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseDn(c.text).has_value(), c.ok);
        EXPECT_EQ(ParsePath("LDAP://" + std::string(c.text)).has_value(), c.ok);
    }
}

TEST(DirectoryPath, EscapesSlashAndFindsTheServer) {
    const auto dn = ParseDn("cn=Slash/Name,ou=R&D/Lab,dc=example,dc=test");
    ASSERT_TRUE(dn);
    const std::string path = MakePath("", *dn);
    EXPECT_EQ(path, "LDAP://CN=Slash\\/Name,OU=R&D\\/Lab,DC=example,DC=test");
    const auto parsed = ParsePath(path);
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->server.empty());
    EXPECT_EQ(FormatDn(parsed->dn, DnStyle::Ldap), "CN=Slash/Name,OU=R&D/Lab,DC=example,DC=test");

    const auto withServer = ParsePath("LDAP://dc1.example.test:389/OU=Sales,DC=example,DC=test");
    ASSERT_TRUE(withServer);
    EXPECT_EQ(withServer->server, "dc1.example.test:389");
    EXPECT_EQ(MakePath(withServer->server, withServer->dn), "LDAP://dc1.example.test:389/OU=Sales,DC=example,DC=test");

    for (std::string_view root : {"LDAP://rootDSE", "ldap://ROOTDSE", "LDAP://dc1/rootDSE"}) {
        const auto r = ParsePath(root);
        ASSERT_TRUE(r) << root;
        EXPECT_TRUE(r->rootDse) << root;
    }
    for (std::string_view bad : {"root", "LDAP://", "GC://DC=x", "LDAP:///DC=x", "LDAP://CN=a\\"})
        EXPECT_FALSE(ParsePath(bad)) << bad;
}

}  // namespace
}  // namespace vela::directory
