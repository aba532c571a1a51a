#include "admin/store/server_assignment.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace vela {
namespace {

// Servers absent from `values` cannot be reached, a nullopt value is not set, `unreadable` refuse
// reads; `refuse` take no writes (and say so), `lose` report success and keep their old value.
struct FakeRegistry : ServerRegistry {
    std::map<std::string, std::optional<std::string>> values;
    std::set<std::string> refuse, lose, unreadable;
    std::vector<std::pair<std::string, std::string>> writes;

    ServerTypeRead ReadServerType(const std::string& server) override {
        using enum ServerTypeRead::Outcome;
        const auto it = values.find(server);
        if (it == values.end()) return {Unreachable, {}};
        if (unreadable.contains(server)) return {Unreadable, {}};
        return it->second ? ServerTypeRead{Held, *it->second} : ServerTypeRead{Unset, {}};
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
    void Uncheck(std::size_t row) override {
        shown.resize(servers.size());
        shown.at(row).first = false;
    }
};

TEST(ServerAssignmentMark, ChecksWhatCarriesThePickedTypeAndNeverWrites) {
    FakeRegistry reg;
    reg.values = {{"S1", "Web"}, {"S2", "Office"}, {"S3", "(not reachable)"}, {"S4", std::nullopt},
                  {"S5", ""}, {"S6", "Web"}, {"S7", "B\xDC" "RO"}};
    reg.unreadable = {"S6"};
    FakeList list;
    list.servers = {"S1", "S2", "S3", "S4", "DOWN", "S5", "S6", "S7"};
    ServerAssignment assignment(reg);
    list.picked = "WEB";
    assignment.Mark(list);
    // Unreachable and unset are told apart; a held empty text shows as unset.
    EXPECT_EQ(list.shown, (Shown{{true, "Web"}, {false, "Office"}, {false, "(not reachable)"}, {false, ""},
                                 {false, "(not reachable)"}, {false, ""}, {false, "(not readable)"},
                                 {false, "B\xDC" "RO"}}));
    // Only a server that holds the text is checked; one that could not be read never is.
    list.picked = "(NOT REACHABLE)";
    assignment.Mark(list);
    EXPECT_EQ(list.shown[2].first, true);
    EXPECT_EQ(list.shown[4].first || list.shown[6].first, false);
    // Case beyond ASCII is ignored as in names.
    list.picked = "B\xFC" "ro";
    assignment.Mark(list);
    EXPECT_EQ(list.shown[7].first, true);
    // With nothing picked nothing is checked, not even the servers without a type.
    list.picked = "";
    assignment.Mark(list);
    for (const auto& [checked, column] : list.shown) EXPECT_FALSE(checked) << column;
    EXPECT_TRUE(reg.writes.empty());
}

TEST(ServerAssignmentClearMarks, UnchecksEveryRowReadsNothingAndStopsTheScan) {
    FakeRegistry reg;
    reg.values = {{"S1", "Web"}, {"S2", "Web"}};
    FakeList list;
    list.servers = {"S1", "S2"};
    list.picked = "Web";
    int calls = 0;
    ServerAssignment* self = nullptr;
    ServerAssignment assignment(reg, [&] {
        if (++calls == 2) self->ClearMarks(list);  // the box emptied while the scan waits before S2
    });
    self = &assignment;
    assignment.Mark(list);
    EXPECT_EQ(list.order, (std::vector<std::size_t>{0}));
    EXPECT_EQ(list.shown, (Shown{{false, "Web"}, {false, ""}}));
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
        const char* failure;  // TickFailureText
    } cases[] = {
        {"OK", "Web", true, "Web", true, "Web", true, ""},
        {"OK", "Web", false, "", false, "", true, ""},
        {"OK", "(DEFAULT)", true, "(DEFAULT)", true, "(DEFAULT)", true, ""},
        {"DOWN", "Web", true, "Web", false, "(not reachable)", false,
         "The server type Web could not be written to DOWN: the server's registry cannot be reached."},
        {"BLIND", "Web", true, "Web", false, "(not readable)", false,
         "The server type Web could not be written to BLIND: the value cannot be read back."},
        {"REFUSE", "office", false, "", true, "Office", false,  // the type stays
         "The server type could not be cleared on REFUSE."},
        {"LOSE", "Web", true, "Web", false, "Office", false,  // lost although reported stored
         "The server type Web could not be written to LOSE."},
        {"LOSE", "office", true, "office", true, "Office", true, ""},  // held already, in other case
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.server << " " << c.type << " " << c.ticked);
        FakeRegistry reg;
        reg.values = {{"OK", "Office"}, {"REFUSE", "Office"}, {"LOSE", "Office"}, {"BLIND", "Office"}};
        reg.refuse = {"REFUSE"};
        reg.lose = {"LOSE"};
        reg.unreadable = {"BLIND"};
        const TickResult r = ServerAssignment(reg).Tick(c.server, c.type, c.ticked);
        EXPECT_EQ(reg.writes, (std::vector<std::pair<std::string, std::string>>{{c.server, c.written}}));
        EXPECT_EQ(std::tuple(r.checked, r.serverType, r.taken, r.refused),
                  std::tuple(c.checked, c.column, c.taken, false));
        if (!r.taken) {
            EXPECT_EQ(TickFailureText(c.server, c.type, c.ticked, r), c.failure);
        }
    }
}

TEST(ServerAssignmentTick, WithNoTypePickedNothingIsWrittenAndTheMarkGoesBack) {
    for (const bool ticked : {true, false}) {
        SCOPED_TRACE(ticked);
        FakeRegistry reg;
        reg.values = {{"OK", "Office"}};
        const TickResult r = ServerAssignment(reg).Tick("OK", "", ticked);
        EXPECT_TRUE(reg.writes.empty());
        EXPECT_EQ(reg.values["OK"], "Office");
        EXPECT_EQ(std::tuple(r.checked, r.taken, r.refused), std::tuple(!ticked, false, true));
        const std::string text = TickFailureText("OK", "", ticked, r);
        EXPECT_NE(text.find("No server type is picked"), std::string::npos) << text;
        EXPECT_EQ(text.find("  "), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace vela
