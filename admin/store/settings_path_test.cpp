#include "admin/store/settings_path.h"

#include <gtest/gtest.h>

#include <set>

#include "admin/store/test_temp_folder.h"

namespace vela {
namespace {

using testing::TempFolder;

class FakeView : public SettingsView {
public:
    std::string picked;
    std::vector<std::string> shown;
    std::string PickedSettingsType() override { return picked; }
    void ShowSettingsFolder(const std::string& folder) override { shown.push_back(folder); }
};

// For the store roots that must not be made for real ("\ProfileSettings", "C:\ProfileSettings"):
// records folder creations and answers FolderExists from its own set.
class PaperFileSystem : public FileSystem {
public:
    std::vector<std::string> created;
    std::set<std::string> folders;
    std::optional<std::string> ExistingFile(const std::string&) override { return std::nullopt; }
    std::string FullPath(const std::string& p) override { return p; }
    std::string ParentFolder(const std::string&) override { return {}; }
    bool FolderExists(const std::string& p) override { return folders.count(p) > 0; }
    bool FileExists(const std::string&) override { return false; }
    bool IsReadOnlyFile(const std::string&) override { return false; }
    bool CreateFolder(const std::string& p) override {
        created.push_back(p);
        return folders.insert(p).second;
    }
    std::vector<std::string> SubFolders(const std::string&) override { return {}; }
    std::vector<std::string> Files(const std::string&, const std::string&) override { return {}; }
    bool DeleteFolder(const std::string&) override { return false; }
    bool RemoveFile(const std::string&) override { return false; }
    bool WriteFile(const std::string&, const std::string&) override { return false; }
    std::optional<FileContent> ReadFile(const std::string&) override { return std::nullopt; }
    WriteAccess CheckWrite(const std::string&) override { return WriteAccess::Other; }
};

class SettingsPathTest : public ::testing::Test {
protected:
    TempFolder tmp;
    std::unique_ptr<FileSystem> fs = MakeFileSystem();
    FakeView view;
    SettingsLocation location{*fs, view};
    // Built by string, as the program builds it, in both trees.
    std::string root = tmp.Path() + "\\ProfileSettings";
};

TEST_F(SettingsPathTest, PickedTypeChoosesTheFolder) {
    ASSERT_TRUE(fs->CreateFolder(root));
    for (const char* type : {"Web", "(default)"}) ASSERT_TRUE(fs->CreateFolder(root + "\\" + type));
    struct Case { std::string picked, current; bool shown; };
    const Case cases[] = {
        {"", root, true},
        {"   ", root, true},
        {"\t", root, true},
        {"(DEFAULT)", root, true},
        {"(default)", root + "\\(default)", true},     // letter case makes it a type name
        {"Web", root + "\\Web", true},
        {"Citrix", root + "\\Citrix", false},          // no such folder: list stays, text changes
        {" Web", root + "\\ Web", false},              // a type is taken unchanged, not trimmed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("picked '" + c.picked + "'");
        FakeView v;
        v.picked = c.picked;
        SettingsLocation loc(*fs, v);
        loc.GetSettingsPath(tmp.Path());
        EXPECT_EQ(loc.CurrentSettingsFolder(), c.current);
        EXPECT_EQ(v.shown, c.shown ? std::vector<std::string>{c.current} : std::vector<std::string>{});
    }
}

TEST_F(SettingsPathTest, CreatesTheStoreRootAndLeavesAnExistingOneAlone) {
    view.picked = "Web";
    location.GetSettingsPath(tmp.Path());
    EXPECT_TRUE(fs->FolderExists(root));
    EXPECT_FALSE(fs->FolderExists(root + "\\Web")) << "a type's folder is never made here";
    EXPECT_TRUE(view.shown.empty());

    ASSERT_TRUE(fs->WriteFile(root + "\\a.ini", "[x]\r\n"));
    view.picked = "";
    location.GetSettingsPath(tmp.Path());
    EXPECT_EQ(testing::Bytes(*fs, root + "\\a.ini"), "[x]\r\n");
    EXPECT_EQ(fs->Files(root, "*"), std::vector<std::string>{"a.ini"});
    EXPECT_EQ(view.shown, std::vector<std::string>{root});
}

TEST_F(SettingsPathTest, FolderGoneKeepsTheListOnItsPreviousFolder) {
    ASSERT_TRUE(fs->CreateFolder(root));
    ASSERT_TRUE(fs->CreateFolder(root + "\\Web"));
    view.picked = "Web";
    location.GetSettingsPath(tmp.Path());
    ASSERT_EQ(view.shown, std::vector<std::string>{root + "\\Web"});

    ASSERT_TRUE(fs->DeleteFolder(root + "\\Web"));   // deleted outside the program
    location.GetSettingsPath(tmp.Path());
    location.ShowCurrentFolder();
    EXPECT_EQ(view.shown, std::vector<std::string>{root + "\\Web"});
    EXPECT_EQ(location.CurrentSettingsFolder(), root + "\\Web");
}

TEST_F(SettingsPathTest, ConfigFolderThatCannotHoldAStore) {
    const std::string missing = tmp / "missing";
    location.GetSettingsPath(missing);
    EXPECT_FALSE(fs->FolderExists(missing));
    EXPECT_EQ(location.CurrentSettingsFolder(), missing + "\\ProfileSettings");
    EXPECT_TRUE(view.shown.empty());

    location.ShowCurrentFolder();
    EXPECT_TRUE(view.shown.empty());
}

TEST_F(SettingsPathTest, ANewConfigFolderMovesTheListAndKeepsTheType) {
    TempFolder other;
    for (const std::string& folder : {tmp.Path(), other.Path()}) {
        ASSERT_TRUE(fs->CreateFolder(folder + "\\ProfileSettings"));
        ASSERT_TRUE(fs->CreateFolder(folder + "\\ProfileSettings\\Web"));
    }
    view.picked = "Web";
    location.GetSettingsPath(tmp.Path());
    location.GetSettingsPath(other.Path());
    EXPECT_EQ(view.shown, (std::vector<std::string>{root + "\\Web", other.Path() + "\\ProfileSettings\\Web"}));
}

TEST(SettingsPathRoots, EmptyConfigFolderAndDriveRoot) {
    struct Case { std::string configFolder, picked, created, current; };
    const Case cases[] = {
        {"", "", "\\ProfileSettings", "\\ProfileSettings"},
        {"", "Web", "\\ProfileSettings", "\\ProfileSettings\\Web"},
        {"C:\\", "", "C:\\ProfileSettings", "C:\\ProfileSettings"},
        {"C:\\", "Web", "C:\\ProfileSettings", "C:\\ProfileSettings\\Web"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.configFolder + "' / '" + c.picked + "'");
        PaperFileSystem paper;
        paper.folders.insert(c.current);
        FakeView v;
        v.picked = c.picked;
        SettingsLocation loc(paper, v);
        loc.GetSettingsPath(c.configFolder);
        EXPECT_EQ(paper.created, std::vector<std::string>{c.created});
        EXPECT_EQ(loc.CurrentSettingsFolder(), c.current);
        EXPECT_EQ(v.shown, std::vector<std::string>{c.current});
    }
}

TEST(SettingsPathRoots, NothingShownBeforeTheFirstCall) {
    PaperFileSystem paper;
    paper.folders.insert("");
    FakeView v;
    SettingsLocation loc(paper, v);
    loc.ShowCurrentFolder();
    EXPECT_EQ(loc.CurrentSettingsFolder(), "");
    EXPECT_TRUE(v.shown.empty());
}

}  // namespace
}  // namespace vela
