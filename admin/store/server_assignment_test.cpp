#include "admin/store/server_assignment.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
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
    std::vector<std::size_t> order;                   // rows in the order Show reached them

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
    reg.values = {{"TS01", "Web"}, {"TS02", "Office"}, {"TS03", "Not Found"}, {"TS04", std::nullopt}};
    int pumps = 0;
    ServerAssignment assignment(reg, [&] { ++pumps; });
    FakeList rows;
    rows.servers = {"TS01", "TS02", "TS03", "TS04", "GONE"};

    rows.picked = "WEB";
    assignment.Mark(rows);
    EXPECT_EQ(rows.shown, (Shown{
                              {true, "Web"}, {false, "Office"}, {false, "Not Found"}, {false, "Not Found"},
                              {false, "Not Found"}}));
    EXPECT_EQ(pumps, 5 + 1);  // before each server, and once more to learn the scan is over

    // Only the server that holds the text is checked; unreadable ones never are.
    rows.picked = "not found";
    assignment.Mark(rows);
    EXPECT_EQ(rows.shown[2], (std::pair<bool, std::string>{true, "Not Found"}));
    EXPECT_FALSE(rows.shown[3].first);
    EXPECT_FALSE(rows.shown[4].first);
    EXPECT_TRUE(reg.writes.empty());
}

TEST(ServerAssignmentMark, FollowsWhatTheUserDoesBetweenServers) {
    FakeRegistry reg;
    reg.values = {{"S1", "web"}, {"S2", "office"}, {"S3", "office"}};
    FakeList rows;
    rows.servers = {"S1", "S2", "S3"};
    std::function<void()> between;
    ServerAssignment assignment(reg, [&] { if (between) between(); });

    // Another pick while the scan waits before S2: S2 and S3 are compared with it.
    int calls = 0;
    between = [&] { if (++calls == 2) rows.picked = "Office"; };
    rows.picked = "Web";
    assignment.Mark(rows);
    EXPECT_EQ(rows.shown, (Shown{{true, "web"}, {true, "office"}, {true, "office"}}));

    // A new scan started from inside (a second pick) finishes the list; the first one stops.
    calls = 0;
    rows.order.clear();
    between = [&] {
        if (++calls == 2) {
            rows.picked = "Web";
            assignment.Mark(rows);
        }
    };
    rows.picked = "Office";
    assignment.Mark(rows);
    EXPECT_EQ(rows.order, (std::vector<std::size_t>{0, 0, 1, 2}));
    EXPECT_EQ(rows.shown, (Shown{{true, "web"}, {false, "office"}, {false, "office"}}));

    // A refill cancels the scan; a list that got shorter ends it.
    calls = 0;
    rows.order.clear();
    between = [&] { if (++calls == 2) assignment.CancelScan(); };
    assignment.Mark(rows);
    EXPECT_EQ(rows.order, (std::vector<std::size_t>{0}));
    calls = 0;
    rows.order.clear();
    between = [&] { if (++calls == 2) rows.servers.resize(1); };
    assignment.Mark(rows);
    EXPECT_EQ(rows.order, (std::vector<std::size_t>{0}));
}

TEST(ServerAssignmentTick, WritesTheToggleAndShowsWhatTheServerHolds) {
    const struct {
        const char* what;
        std::string server, type;
        bool ticked;
        std::string written;
        bool checked;
        std::string column;
        bool refused;  // the status bar must name the server
    } cases[] = {
        {"tick writes the type", "OK", "Web", true, "Web", true, "Web", false},
        {"clear writes the empty text", "OK", "Web", false, "", false, "", false},
        {"tick with no type writes the empty text", "OK", "", true, "", true, "", false},
        {"(DEFAULT) is a type like any other", "OK", "(DEFAULT)", true, "(DEFAULT)", true, "(DEFAULT)", false},
        {"unreachable server: no check mark", "DOWN", "Web", true, "Web", false, "Not Found", true},
        {"refused clear: the type stays", "REFUSE", "office", false, "", true, "Office", true},
        {"write lost although reported: the old state", "LOSE", "Web", true, "Web", false, "Office", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeRegistry reg;
        reg.values = {{"OK", "Office"}, {"REFUSE", "Office"}, {"LOSE", "Office"}};
        reg.refuse = {"REFUSE"};
        reg.lose = {"LOSE"};
        const TickResult r = ServerAssignment(reg).Tick(c.server, c.type, c.ticked);
        EXPECT_EQ(reg.writes, (std::vector<std::pair<std::string, std::string>>{{c.server, c.written}}));
        EXPECT_EQ(r.checked, c.checked);
        EXPECT_EQ(r.serverType, c.column);
        EXPECT_EQ(r.taken, !c.refused);
    }
}

}  // namespace
}  // namespace vela
