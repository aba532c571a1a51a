// The changer's walk over the in-memory directory: which users it writes, what it writes, in
// which order, and what it counts when the directory goes away.
#include "admin/directory/path_changer.h"

#include <gtest/gtest.h>

#include <map>

#include "admin/directory/memory_directory.h"

namespace vela::directory {
namespace {

constexpr char kDomain[] = "DC=example,DC=test";
constexpr char kSales[] = "LDAP://OU=Sales,DC=example,DC=test";

struct Form : ChangerForm {
    bool c1 = false, c2 = false, c3 = false;
    std::string t1, t2;
    mutable int reads = 0;  // profilePath() read this many times
    bool numbered = false;  // profilePath() answers "p1", "p2", ... one per read
    bool writeProfilePath() const override { return c1; }
    std::string profilePath() const override {
        ++reads;
        return numbered ? std::string("p").append(std::to_string(reads)) : t1;
    }
    bool writeTsProfilePath() const override { return c2; }
    std::string tsProfilePath() const override { return t2; }
    bool recursive() const override { return c3; }
};

struct Fixture {
    MemoryDirectory dir{kDomain};
    Fixture() {
        const std::string sales = dir.AddOu(kDomain, "Sales");
        dir.AddUser(kDomain, "Admin", "admin", "\\\\old");
        dir.AddUser(sales, "Ann", "ann", "\\\\old");
        dir.AddComputer(sales, "WS01");
        const std::string europe = dir.AddOu(sales, "Europe");
        dir.AddUser(europe, "Eve", "eve", "\\\\old");
        dir.AddUser(dir.AddOu(europe, "Paris"), "Pat", "pat", "\\\\old");
        dir.AddUser(dir.AddContainer(sales, "Lab"), "Lab1", "lab1", "\\\\old");  // CN= below the target
        dir.AddUser(sales, "Ben", "ben");
    }
    // sam -> "profile|ts", "-" for not set.
    std::map<std::string, std::string> Users() {
        std::map<std::string, std::string> out;
        auto c = dir.connector()();
        Directory d(*c.client);
        std::function<void(const std::string&)> walk = [&](const std::string& path) {
            std::vector<std::string> below;
            (void)d.Enumerate(path, {}, [&](const DirObject& o) {
                if (o.className == "user")
                    out[*o.samAccountName] = o.profile.value_or("-") + "|" + o.tsProfilePath.value_or("-");
                below.push_back(o.adsPath);
                return true;
            });
            for (const auto& b : below) walk(b);
        };
        walk(std::string("LDAP://") + kDomain);
        return out;
    }
};

TEST(PathChanger, WritesWhatTheBoxesSay) {
    const std::string old = "\\\\old|-";
    const struct {
        const char* name;
        bool c1;
        const char* t1;
        bool c2;
        const char* t2;
        bool c3;
        const char* target;
        int changed;
        std::map<std::string, std::string> users;  // only those that differ from "\\old|-"
    } cases[] = {
        {"trimmed profile path, terminal-server path as typed", true, "  \\\\fs\\p  ", true, "  \\\\ts\\p ", false, kSales, 2,
         {{"ann", "\\\\fs\\p|  \\\\ts\\p "}, {"ben", "\\\\fs\\p|  \\\\ts\\p "}}},
        {"spaces only clear the profile path", true, "   ", false, "", false, kSales, 2, {{"ann", "-|-"}, {"ben", "-|-"}}},
        {"empty terminal-server path is written empty", false, "x", true, "", false, kSales, 2,
         {{"ann", "\\\\old|"}, {"ben", "-|"}}},
        {"neither box: nothing, also recursively", false, "\\\\x", false, "\\\\y", true, kSales, 0, {}},
        {"recursively: units at any depth, not CN= containers", true, "\\\\n", false, "", true, kSales, 4,
         {{"ann", "\\\\n|-"}, {"ben", "\\\\n|-"}, {"eve", "\\\\n|-"}, {"pat", "\\\\n|-"}}},
        {"the tree's root changes nothing", true, "\\\\n", true, "\\\\t", true, "root", 0, {}},
    };
    for (const auto& c : cases) {
        Fixture f;
        Form form;
        form.c1 = c.c1, form.t1 = c.t1, form.c2 = c.c2, form.t2 = c.t2, form.c3 = c.c3;
        const int modifiesBefore = f.dir.modifies;
        const ChangeCount count = PathChanger(f.dir.connector(), form).Run(c.target);
        EXPECT_EQ(count.changed, c.changed) << c.name;
        EXPECT_EQ(count.notChanged + count.unreadContainers, 0) << c.name;
        EXPECT_EQ(f.dir.modifies - modifiesBefore, c.changed) << c.name << ": one modify per user, both paths in it";
        auto users = f.Users();
        for (const auto& [sam, value] : users) {
            const auto want = c.users.find(sam);
            const std::string expected = want != c.users.end() ? want->second : sam == "ben" ? "-|-" : old;
            EXPECT_EQ(value, expected) << c.name << ": " << sam;
        }
        EXPECT_EQ(f.dir.Value("CN=WS01,OU=Sales,DC=example,DC=test", "profilePath"), std::nullopt) << c.name;
    }
}

TEST(PathChanger, ReadsTheFormForEveryUserDepthFirst) {
    Fixture f;
    Form form;
    form.c1 = form.c3 = form.numbered = true;
    int between = 0;
    const ChangeCount count = PathChanger(f.dir.connector(), form, [&] { ++between; }).Run(kSales);
    EXPECT_EQ(count.changed, 4);
    const auto users = f.Users();
    EXPECT_EQ(users.at("eve"), "p1|-");
    EXPECT_EQ(users.at("pat"), "p2|-");
    EXPECT_EQ(users.at("ann"), "p3|-");
    EXPECT_EQ(users.at("ben"), "p4|-");
    EXPECT_GE(between, 4 + 3) << "once per user and per container";
}

TEST(PathChanger, CountsWhatTheDirectoryGoingAwayLeft) {
    const struct {
        int operations;  // let through before the directory goes away (the connection is one)
        int changed, notChanged, unread;
        const char* status;
    } cases[] = {
        {0, 0, 0, 1, "0 users changed, 0 not changed, 1 container not read: the directory server could not be reached or stopped answering"},
        {5, 1, 0, 3, "1 user changed, 0 not changed, 3 containers not read: the directory server could not be reached or stopped answering"},  // after Eve and Europe's units
        {9, 2, 2, 0, "2 users changed, 2 not changed: the directory server could not be reached or stopped answering"},  // Sales listed, then gone
    };
    for (const auto& c : cases) {
        Fixture f;
        Form form;
        form.c1 = form.c2 = form.c3 = true;
        form.t1 = "\\\\new";
        form.t2 = "\\\\ts\\new";
        f.dir.FailAfter(c.operations);
        const ChangeCount count = PathChanger(f.dir.connector(), form).Run(kSales);
        EXPECT_EQ(count.changed, c.changed) << c.operations;
        EXPECT_EQ(count.notChanged, c.notChanged) << c.operations;
        EXPECT_EQ(count.unreadContainers, c.unread) << c.operations;
        EXPECT_EQ(count.lastFailure.fault, Fault::Unreachable) << c.operations;
        EXPECT_EQ(StatusText(count), c.status);
        f.dir.SetReachable(true);
        for (const auto& [sam, value] : f.Users())  // nobody half-written
            EXPECT_TRUE(value == "\\\\new|\\\\ts\\new" || value == "\\\\old|-" || value == "-|-") << sam << " " << value;
        const ChangeCount again = PathChanger(f.dir.connector(), form).Run(kSales);
        EXPECT_EQ(StatusText(again), "4 users changed, 0 not changed") << "a later run works";
    }
}

// A server that refuses the terminal-server path (as the domain directory's Linux implementation
// does over LDAP) gets every user counted and the reason said; the profile path alone goes through.
TEST(PathChanger, SaysWhyTheDirectoryRefusedTheChange) {
    Fixture f;
    f.dir.RefuseWrites("userParameters", 19);
    Form form;
    form.c2 = true;
    form.t2 = "\\\\ts\\new";
    const ChangeCount refused = PathChanger(f.dir.connector(), form).Run(kSales);
    EXPECT_EQ(StatusText(refused), "0 users changed, " + std::to_string(refused.notChanged) +
                                       " not changed: the directory refused the change (constraint violation)");
    EXPECT_GT(refused.notChanged, 0);
    form.c1 = true, form.c2 = false, form.t1 = "\\\\new";
    EXPECT_EQ(StatusText(PathChanger(f.dir.connector(), form).Run(kSales)).find(':'), std::string::npos);
}

}  // namespace
}  // namespace vela::directory
