// The journal of a change over the in-memory directory: what it records of set, cleared, absent
// and damaged values, the undo it holds and its replay, and the list's CSV.
#include "admin/directory/change_journal.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "admin/directory/memory_directory.h"
#include "admin/directory/path_changer.h"
#include "admin/directory/user_parameters.h"

namespace vela::directory {
namespace {

namespace fs = std::filesystem;

constexpr char kDomain[] = "DC=example,DC=test";
constexpr char kSales[] = "LDAP://OU=Sales,DC=example,DC=test";
constexpr char kAnn[] = "CN=Ann,OU=Sales,DC=example,DC=test";
constexpr char kBen[] = "CN=Ben,OU=Sales,DC=example,DC=test";
constexpr char kCy[] = "CN=Cy,OU=Sales,DC=example,DC=test";
// A value that is no UTF-8: the layer cannot decode it and must leave it as it is.
const std::string kDamaged = std::string("\x01\xFF", 2) + "bad\n";

struct Form : ChangerForm {
    bool c1 = false, c2 = false;
    std::string t1, t2;
    bool writeProfilePath() const override { return c1; }
    std::string profilePath() const override { return t1; }
    bool writeTsProfilePath() const override { return c2; }
    std::string tsProfilePath() const override { return t2; }
    bool recursive() const override { return false; }
};

std::string TsValue(const char* path) {
    const std::u16string wide(path, path + std::char_traits<char>::length(path));
    return BlobToWire(WriteTsProfilePath(std::nullopt, path, wide).blob);
}

struct Fixture {
    MemoryDirectory dir{kDomain};
    fs::path folder;
    explicit Fixture(const char* name) : folder(fs::path(::testing::TempDir()) / ("journal-" + std::string(name))) {
        fs::remove_all(folder);
        const std::string sales = dir.AddOu(kDomain, "Sales");
        dir.AddUser(sales, "Ann", "ann", "\\\\old\\ann", TsValue("\\\\ts\\old"));  // both set
        dir.AddUser(sales, "Ben", "ben");                                           // both absent
        dir.AddUser(sales, "Cy", "cy", "\\\\old\\cy", kDamaged);                    // damaged
    }
    ~Fixture() { fs::remove_all(folder); }
    ChangeCount Change(const Form& form) { return PathChanger(dir.connector(), form, {}, folder).Run(kSales); }
    std::string Journal(const ChangeCount& count) {
        std::ifstream in(fs::path(std::u8string(count.journal.begin(), count.journal.end())), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // dn -> profilePath and userParameters exactly as stored, "-" for absent.
    std::map<std::string, std::string> Stored() {
        std::map<std::string, std::string> out;
        for (const char* dn : {kAnn, kBen, kCy})
            out[dn] = dir.Value(dn, "profilePath").value_or("-") + "|" + dir.Value(dn, "userParameters").value_or("-");
        return out;
    }
};

TEST(ChangeJournal, RecordsWhatWasReadAndUndoesWhatWasWritten) {
    const std::string annTs = TsValue("\\\\ts\\old");
    const struct {
        const char* name;
        bool c1;
        const char* t1;
        bool c2;
        std::vector<std::string> lines;  // in the journal, in this order
        std::vector<UndoRecord> undo;    // the change records, all of them
    } cases[] = {
        {"profile path set",
         true, "\\\\new", false,
         {"# user: " + std::string(kAnn), "# read profilePath: \\\\old\\ann", "# read " + LdifLine("userParameters", annTs),
          "# write replace profilePath: \\\\new", "# written", "# user: " + std::string(kBen), "# read profilePath (absent)",
          "# read userParameters (absent)", "# read profilePath: \\\\old\\cy", "# read userParameters:: " + Base64(kDamaged)},
         {{kAnn, {{Modification::Op::Delete, "profilePath", {"\\\\new"}}, {Modification::Op::Add, "profilePath", {"\\\\old\\ann"}}}},
          {kBen, {{Modification::Op::Delete, "profilePath", {"\\\\new"}}}},
          {kCy, {{Modification::Op::Delete, "profilePath", {"\\\\new"}}, {Modification::Op::Add, "profilePath", {"\\\\old\\cy"}}}}}},
        {"profile path cleared: an absent one has nothing to undo",
         true, "  ", false,
         {"# write delete profilePath", "# nothing to undo"},
         {{kAnn, {{Modification::Op::Add, "profilePath", {"\\\\old\\ann"}}}},
          {kCy, {{Modification::Op::Add, "profilePath", {"\\\\old\\cy"}}}}}},
        {"terminal-server path: the value read back, base64; a damaged value is not written",
         false, "", true,
         {"# read " + LdifLine("userParameters", annTs), "# write add userParameters:: ", "# cannot be written: ",
          "# not written: a user's userParameters value is damaged"},
         {{kAnn, {{Modification::Op::Delete, "userParameters", {TsValue("\\\\ts\\new")}},
                  {Modification::Op::Add, "userParameters", {annTs}}}},
          {kBen, {{Modification::Op::Delete, "userParameters", {TsValue("\\\\ts\\new")}}}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f("records");
        const auto before = f.Stored();
        Form form;
        form.c1 = c.c1, form.t1 = c.t1, form.c2 = c.c2, form.t2 = "\\\\ts\\new";
        const ChangeCount count = f.Change(form);
        ASSERT_FALSE(count.journal.empty());
        EXPECT_NE(StatusText(count).find("; journal: " + count.journal), std::string::npos);
        const std::string journal = f.Journal(count);
        std::size_t at = 0;
        for (const auto& line : c.lines) {
            const auto found = journal.find(line, at);
            EXPECT_NE(found, std::string::npos) << line << "\n" << journal;
            if (found != std::string::npos) at = found + line.size();
        }
        EXPECT_EQ(ParseUndoRecords(journal), c.undo) << journal;
        const UndoResult undone = UndoLastChange(f.dir.connector(), f.folder);
        EXPECT_EQ(undone.restored, static_cast<int>(c.undo.size()));
        EXPECT_EQ(f.Stored(), before) << "the undo puts back every byte";
    }
}

TEST(ChangeJournal, UndoSkipsAUserChangedSinceAndRunsOnce) {
    Fixture f("undo");
    const auto before = f.Stored();
    Form form;
    form.c1 = form.c2 = true, form.t1 = "\\\\new", form.t2 = "\\\\ts\\new";
    // A run that wrote nobody changed nothing: it is never what "Undo last change" replays.
    Form none;
    const auto writeNobody = [&](std::chrono::hours offset) {
        return PathChanger(f.dir.connector(), none, {}, f.folder, std::chrono::system_clock::now() + offset).Run(kSales).changed;
    };
    EXPECT_EQ(UndoStatusText(UndoLastChange(f.dir.connector(), f.folder)), "Nothing to undo: no change was made here");
    ASSERT_EQ(writeNobody(std::chrono::hours(-1)), 0);
    EXPECT_EQ(UndoStatusText(UndoLastChange(f.dir.connector(), f.folder)), "Nothing to undo: no change here wrote a user");
    ASSERT_EQ(f.Change(form).changed, 2);  // Cy's damaged value stops his change
    // Another tool writes Ben's profile path after the change; then a run writes nobody.
    f.dir.AddUser("OU=Sales,DC=example,DC=test", "Ben", "ben", "\\\\other", f.dir.Value(kBen, "userParameters"));
    const std::string ben = f.Stored().at(kBen);
    ASSERT_EQ(writeNobody(std::chrono::hours(1)), 0);
    int between = 0;
    const UndoResult undone = UndoLastChange(f.dir.connector(), f.folder, [&] { ++between; });
    EXPECT_EQ(UndoStatusText(undone), "1 user restored, 1 not restored: changed since");
    EXPECT_EQ(undone.restoredDns, std::vector<std::string>{kAnn});
    EXPECT_GE(between, 2);
    EXPECT_EQ(f.Stored().at(kAnn), before.at(kAnn));
    EXPECT_EQ(f.Stored().at(kBen), ben) << "the other tool's value stays";
    EXPECT_EQ(f.Stored().at(kCy), before.at(kCy));
    EXPECT_EQ(UndoStatusText(UndoLastChange(f.dir.connector(), f.folder)),
              "Nothing to undo: the last change was undone already");
}

TEST(ChangeJournal, UndoBrokenOffByTheDirectoryIsReplayedAgain) {
    Fixture f("broken-off");
    const auto before = f.Stored();
    Form form;
    form.c1 = form.c2 = true, form.t1 = "\\\\new", form.t2 = "\\\\ts\\new";
    ASSERT_EQ(f.Change(form).changed, 2);
    f.dir.FailAfter(1 + 2);  // connect, Ann read and restored; then the server goes away
    const std::string broken = UndoStatusText(UndoLastChange(f.dir.connector(), f.folder));
    EXPECT_EQ(broken.rfind("1 user restored, 1 not restored: ", 0), 0u) << broken;
    EXPECT_NE(broken.find("; undo again to restore the rest"), std::string::npos) << broken;
    f.dir.SetReachable(true);
    EXPECT_EQ(UndoStatusText(UndoLastChange(f.dir.connector(), f.folder)), "2 users restored");
    EXPECT_EQ(f.Stored(), before);
    EXPECT_EQ(UndoStatusText(UndoLastChange(f.dir.connector(), f.folder)),
              "Nothing to undo: the last change was undone already");
}

TEST(ChangeJournal, UnwritableJournalStopsTheRunBeforeAnyUser) {
    Fixture f("unwritable");
    std::ofstream(f.folder) << "a file where the folder would be";
    Form form;
    form.c1 = true, form.t1 = "\\\\new";
    const int modifies = f.dir.modifies;
    const ChangeCount count = f.Change(form);
    EXPECT_EQ(f.dir.modifies, modifies);
    EXPECT_EQ(count.changed + count.notChanged, 0);
    EXPECT_NE(StatusText(count).find("stopped: the journal could not be written: " + PathText(f.folder)), std::string::npos)
        << StatusText(count);
    fs::remove(f.folder);
    EXPECT_NE(StatusText(PathChanger(f.dir.connector(), form, {}, fs::path()).Run(kSales)).find("names no folder"),
              std::string::npos);
}

TEST(ChangeJournal, DamagedJournalIsNotReplayed) {
    for (const char* text : {"dn: CN=x\nchangetype: modify\ndelete: profilePath\nprofilePath: a\n\n",  // no "-"
                             "dn: CN=x\nchangetype: delete\n\n", "dn:: !!!\n\n", "garbage\n"}) {
        EXPECT_FALSE(ParseUndoRecords(text)) << text;
    }
    const auto folded = ParseUndoRecords("version: 1\n# c\n\ndn: CN=A\n B\nchangetype: modify\nadd: profilePath\n"
                                         "profilePath:: " + Base64(" \\\\x") + "\n-\n");
    ASSERT_TRUE(folded);
    ASSERT_EQ(folded->size(), 1u);
    EXPECT_EQ(folded->front().dn, "CN=AB");
    EXPECT_EQ(folded->front().modifications.front().values.front(), " \\\\x");
}

}  // namespace
}  // namespace vela::directory
