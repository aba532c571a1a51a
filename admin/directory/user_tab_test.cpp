// The tab's tree and list over the in-memory directory: what a listing shows, what a rebuild and a
// second listing leave, and what failures and re-entrant handlers leave.
#include "admin/directory/user_tab.h"

#include <gtest/gtest.h>

#include "admin/directory/memory_directory.h"
#include "admin/directory/user_parameters.h"

namespace vela::directory {
namespace {

constexpr char kDomain[] = "DC=example,DC=test";
constexpr char kDomainPath[] = "LDAP://DC=example,DC=test";

struct Recorder : UserTabView {
    std::vector<TreeNode> tree;
    std::vector<UserRow> rows;
    int expands = 0, depth = 0, maxDepth = 0;
    void ClearTree() override { tree.clear(); }
    void AddNode(const TreeNode& n) override { tree.push_back(n); }
    void ExpandAll() override { ++expands; }
    void ClearList() override { rows.clear(); }
    void AddRow(const UserRow& r) override { rows.push_back(r); }
    void BeginRows() override { maxDepth = std::max(maxDepth, ++depth); }
    void EndRows() override { --depth; }
};

struct Fixture {
    MemoryDirectory dir{kDomain};
    std::string sales, staff;
    Fixture() {
        std::u16string wide = u"\\\\ts\\ann";
        const std::string ts = BlobToWire(WriteTsProfilePath(std::nullopt, "\\\\ts\\ann", wide).blob);
        sales = dir.AddOu(kDomain, "Sales");
        dir.AddUser(kDomain, "Admin", "admin", "\\\\fs\\admin");
        staff = dir.AddContainer(kDomain, "Staff");
        dir.AddOu(sales, "Europe");
        dir.AddUser(sales, "Ann", "ann", "\\\\fs\\ann", ts);
        dir.AddUser(sales, "Ben", "ben");
        dir.AddComputer(sales, "WS01");
        dir.AddUser(sales, "Cy", "cy", std::nullopt, "damaged");
    }
};

const std::vector<TreeNode> kDomainTree = {
    {"root", "", "Active Directory", 3},
    {kDomainPath, "root", "example", 2},
    {"LDAP://OU=Sales,DC=example,DC=test", kDomainPath, "Sales", 1},
    {"LDAP://CN=Staff,DC=example,DC=test", kDomainPath, "Staff", 4},
};

TEST(UserTab, LoadDomainRebuildsTheTreeAndListsTheDomain) {
    Fixture f;
    Recorder view;
    int between = 0;
    UserTab tab(f.dir.connector(), view, [&] { ++between; });
    for (int run = 0; run < 2; ++run) {  // a second activation rebuilds, it does not extend
        ASSERT_TRUE(tab.LoadDomain());
        EXPECT_EQ(view.tree, kDomainTree);
        EXPECT_EQ(tab.nodes(), kDomainTree);
        ASSERT_EQ(view.rows.size(), 1u);
        EXPECT_EQ(view.rows[0], (UserRow{2, "admin", "\\\\fs\\admin", " ", "CN=Admin,DC=example,DC=test"}));
    }
    EXPECT_EQ(view.expands, 2);
    EXPECT_EQ(between, 2 * 3) << "once per child listed";
    EXPECT_EQ(f.dir.connections, 2) << "one connection per activation";
}

TEST(UserTab, ListContainerNumbersEveryChildAndAddsNoNodeTwice) {
    Fixture f;
    Recorder view;
    UserTab tab(f.dir.connector(), view);
    ASSERT_TRUE(tab.LoadDomain());
    const std::vector<UserRow> expected = {
        {2, "ann", "\\\\fs\\ann", "\\\\ts\\ann", "CN=Ann,OU=Sales,DC=example,DC=test"},
        {3, "ben", " ", " ", "CN=Ben,OU=Sales,DC=example,DC=test"},  // nothing set
        {5, "cy", " ", " ", "CN=Cy,OU=Sales,DC=example,DC=test"},    // 4 is the computer: counted, not shown; Cy's userParameters is damaged
    };
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(tab.ListContainer("LDAP://OU=Sales,DC=example,DC=test"));
        EXPECT_EQ(view.rows, expected);
        ASSERT_EQ(view.tree.size(), 5u) << "listing again adds no node twice";
        EXPECT_EQ(view.tree.back(), (TreeNode{"LDAP://OU=Europe,OU=Sales,DC=example,DC=test",
                                              "LDAP://OU=Sales,DC=example,DC=test", "Europe", 1}));
    }
    EXPECT_EQ(RowKey('A', 2), "A2");
    EXPECT_EQ(RowKey('C', 13), "C13");
    EXPECT_EQ(NodeText("DC"), "");
}

TEST(UserTab, FailuresShowWhatCouldBeRead) {
    Fixture f;
    Recorder view;
    UserTab tab(f.dir.connector(), view);
    ASSERT_TRUE(tab.LoadDomain());

    // The root node is no directory path; a container that is gone: the list is emptied.
    for (const char* key : {"root", "LDAP://OU=Gone,DC=example,DC=test"}) {
        view.rows = {UserRow{1, "stale", " ", " ", ""}};
        EXPECT_FALSE(tab.ListContainer(key)) << key;
        EXPECT_TRUE(view.rows.empty()) << key;
        EXPECT_EQ(view.tree.size(), 4u);
    }

    f.dir.FailAfter(0);
    view.rows = {UserRow{1, "stale", " ", " ", ""}};
    EXPECT_EQ(tab.ListContainer(kDomainPath).fault, Fault::Unreachable);
    EXPECT_TRUE(view.rows.empty());
    const Outcome gone = tab.LoadDomain();
    EXPECT_EQ(gone.fault, Fault::Unreachable);
    EXPECT_EQ(view.tree, (std::vector<TreeNode>{kDomainTree[0]})) << "no directory: the root alone";
    EXPECT_EQ(view.depth, 0);
    // The status bar says why, and nothing when a listing worked.
    EXPECT_EQ(ListingStatus(gone),
              "The directory could not be read: the directory server could not be reached or stopped answering");
    EXPECT_EQ(ListingStatus(Outcome{}), "");
    EXPECT_EQ(ListingStatus(Failure(Fault::Rejected, "", 50)),
              "The directory could not be read: the directory refused the listing (insufficient access rights)");
}

TEST(UserTab, ListingStartedFromAHandlerSupersedesTheRunningOne) {
    Fixture f;
    Recorder view;
    UserTab* self = nullptr;
    bool once = true;
    UserTab tab(f.dir.connector(), view, [&] {
        // A double-click on Sales while the domain is being listed.
        if (once && self->HasNode("LDAP://OU=Sales,DC=example,DC=test")) {
            once = false;
            (void)self->ListContainer("LDAP://OU=Sales,DC=example,DC=test");
        }
    });
    self = &tab;
    ASSERT_TRUE(tab.LoadDomain());
    ASSERT_EQ(view.rows.size(), 3u) << "only the last listing's rows";
    EXPECT_EQ(view.rows[0].userId, "ann");
    EXPECT_EQ(view.depth, 0);
    EXPECT_EQ(view.maxDepth, 2);
}

TEST(UserListCsv, QuotesAsRfc4180) {
    const struct {
        std::string in, out;
    } fields[] = {
        {"plain", "plain"},     {"", ""},  {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""}, {"lf\n", "\"lf\n\""}, {"M\xC3\xBCller", "M\xC3\xBCller"},
        {" ", " "},
    };
    for (const auto& f : fields) EXPECT_EQ(CsvField(f.in), f.out) << f.in;
    EXPECT_EQ(UserListCsv({UserRow{1, "ann", "\\\\fs\\a,b", " ", "CN=Ann\\, A,DC=x"}}),
              "\xEF\xBB\xBFUserID,ProfilePath,TSProfilePath,DN\r\nann,\"\\\\fs\\a,b\", ,\"CN=Ann\\, A,DC=x\"\r\n");
}

}  // namespace
}  // namespace vela::directory
