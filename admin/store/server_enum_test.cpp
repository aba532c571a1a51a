// Where the server list comes from: the browse list, or the directory when the browse list names
// no server; and how the status bar accounts for it.
#include "admin/store/server_enum.h"

#include <gtest/gtest.h>

namespace vela {
namespace {

struct FakeBrowseList : ServerEnumerator {
    std::vector<std::string> names;
    std::vector<std::string> TerminalServers() override { return names; }
};

struct FakeDirectory : ServerDirectory {
    std::optional<std::vector<std::string>> names;
    int asked = 0;
    std::string why;
    std::optional<std::vector<std::string>> Servers() override {
        ++asked;
        return names;
    }
    std::string Failure() const override { return why; }
};

TEST(ListServers, TheDirectoryStandsInOnlyWhenTheBrowseListNamesNoServer) {
    using Names = std::vector<std::string>;
    const struct {
        const char* name;
        Names browse;
        bool hasDirectory;
        std::optional<Names> directory;
        Names rows;
        int asked;
        std::string text;
    } cases[] = {
        {"browse list answers", {"TS1", "TS2"}, true, Names{"D1"}, {"TS1", "TS2"}, 0, "2 servers from the browse list"},
        {"browse list answers, no directory", {"TS1"}, false, std::nullopt, {"TS1"}, 0, "1 server from the browse list"},
        {"directory stands in", {}, true, Names{"ts1.example.test", "TS2"}, {"ts1.example.test", "TS2"}, 1,
         "2 servers from the directory"},
        {"directory names none", {}, true, Names{}, {}, 1, "0 servers from the directory"},
        {"neither answers", {}, true, std::nullopt, {}, 1,
         "No servers: the browse list named none and the directory could not be asked: the logon was refused."},
        {"no directory", {}, false, std::nullopt, {}, 0,
         "No servers: the browse list named none and the directory could not be asked."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeBrowseList browse;
        browse.names = c.browse;
        FakeDirectory directory;
        directory.names = c.directory;
        directory.why = "the logon was refused";
        const ServerListing listing = ListServers(browse, c.hasDirectory ? &directory : nullptr);
        EXPECT_EQ(listing.rows, MakeServerRows(c.rows));
        EXPECT_EQ(directory.asked, c.asked);
        EXPECT_EQ(ServerSourceText(listing), c.text);
    }
}

}  // namespace
}  // namespace vela
