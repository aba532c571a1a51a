#include "admin/store/server_assignment.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace vela {
namespace {

// Servers absent from `values` cannot be reached; `refuse` take no writes (and say so), `lose`
// report success and keep their old value.
struct FakeRegistry : ServerRegistry {
    std::map<std::string, std::optional<std::string>> values;
    std::set<std::string> refuse, lose;
    std::vector<std::pair<std::string, std::string>> writes;

    std::optional<std::string> ReadServerType(const std::string& server) override {
        const auto it = values.find(server);
        return it == values.end() ? std::nullopt : it->second;
    }
    bool WriteServerType(const std::string& server, const std::string& type) override {
        writes.emplace_back(server, type);
        if (!values.contains(server) || refuse.contains(server)) return false;
        if (!lose.contains(server)) values[server] = type;
        return true;
    }
};

using Shown = std::vector<std::pair<bool, std::string>>;  // per row: check mark, "Server Type" column

struct FakeList : ServerList {
    std::vector<std::string> servers;
    std::string picked;
    Shown shown;
    std::vector<std::size_t> order;  // rows in the order Show reached them

    std::size_t Count() override { return servers.size(); }
    std::string ServerAt(std::size_t row) override { return servers.at(row); }
    std::string PickedType() override { return picked; }
    void Show(std::size_t row, bool checked, const std::string& serverType) override {
        shown.resize(servers.size());
        shown.at(row) = {checked, serverType};
        order.push_back(row);
    }
};

TEST(ServerAssignmentMark, ChecksWhatCarriesThePickedTypeAndNeverWrites) {
    FakeRegistry reg;
    reg.values = {{"S1", "Web"}, {"S2", "Office"}, {"S3", "Not Found"}, {"S4", std::nullopt}};
    FakeList list;
    list.servers = {"S1", "S2", "S3", "S4", "DOWN"};
    ServerAssignment assignment(reg);
    list.picked = "WEB";
    assignment.Mark(list);
    EXPECT_EQ(list.shown, (Shown{{true, "Web"}, {false, "Office"}, {false, "Not Found"}, {false, "Not Found"},
                                 {false, "Not Found"}}));
    // Only a server that holds the text is checked; one that could not be read never is.
    list.picked = "not found";
    assignment.Mark(list);
    EXPECT_EQ(list.shown[2].first, true);
    EXPECT_EQ(list.shown[3].first || list.shown[4].first, false);
    EXPECT_TRUE(reg.writes.empty());
}

TEST(ServerAssignmentMark, FollowsWhatTheUserDoesBetweenServers) {
    FakeRegistry reg;
    reg.values = {{"S1", "web"}, {"S2", "office"}, {"S3", "office"}};
    FakeList list;
    list.servers = {"S1", "S2", "S3"};
    int calls = 0;
    std::function<void()> user;  // what the user does while the scan waits before S2
    ServerAssignment assignment(reg, [&] { if (++calls == 2) user(); });
    const auto scan = [&](std::string picked, std::function<void()> act) {
        calls = 0;
        user = std::move(act);
        list.order.clear();
        list.picked = std::move(picked);
        assignment.Mark(list);
    };

    scan("Web", [&] { list.picked = "Office"; });  // S2 and S3 are compared with the new pick
    EXPECT_EQ(list.shown, (Shown{{true, "web"}, {true, "office"}, {true, "office"}}));

    scan("Office", [&] {  // a second pick's scan covers the list; the first one stops
        list.picked = "Web";
        assignment.Mark(list);
    });
    EXPECT_EQ(list.order, (std::vector<std::size_t>{0, 0, 1, 2}));
    EXPECT_EQ(list.shown, (Shown{{true, "web"}, {false, "office"}, {false, "office"}}));

    scan("Web", [&] { assignment.CancelScan(); });  // a refill
    EXPECT_EQ(list.order, (std::vector<std::size_t>{0}));
    scan("Web", [&] { list.servers.resize(1); });
    EXPECT_EQ(list.order, (std::vector<std::size_t>{0}));
}

TEST(ServerAssignmentTick, WritesTheToggleAndShowsWhatTheServerHolds) {
    const struct {
        const char *server, *type;
        bool ticked;
        const char* written;
        bool checked;
        const char* column;
        bool taken;
    } cases[] = {
        {"OK", "Web", true, "Web", true, "Web", true},
        {"OK", "Web", false, "", false, "", true},
        {"OK", "", true, "", true, "", true},  // no type picked
        {"OK", "(DEFAULT)", true, "(DEFAULT)", true, "(DEFAULT)", true},
        {"DOWN", "Web", true, "Web", false, "Not Found", false},
        {"REFUSE", "office", false, "", true, "Office", false},  // the type stays
        {"LOSE", "Web", true, "Web", false, "Office", false},     // lost although reported stored
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.server << " " << c.type << " " << c.ticked);
        FakeRegistry reg;
        reg.values = {{"OK", "Office"}, {"REFUSE", "Office"}, {"LOSE", "Office"}};
        reg.refuse = {"REFUSE"};
        reg.lose = {"LOSE"};
        const TickResult r = ServerAssignment(reg).Tick(c.server, c.type, c.ticked);
        EXPECT_EQ(reg.writes, (std::vector<std::pair<std::string, std::string>>{{c.server, c.written}}));
        EXPECT_EQ(std::tuple(r.checked, r.serverType, r.taken), std::tuple(c.checked, c.column, c.taken));
    }
}

}  // namespace
}  // namespace vela
