#include "admin/packages/install_entries.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "admin/store/test_temp_folder.h"

namespace vela {
namespace {

TEST(PackageName, DropsEveryMsiAndTheBlanksAround) {
    const struct {
        const char* file;
        const char* name;
    } cases[] = {
        {"Office.msi", "Office"},  {"Tools.MSI", "Tools"},     {" Big Tools .Msi", "Big Tools"},
        {"a.msi.b.msi", "a.b"},    {"x.m.msisi", "x.msi"},     {".msi", ""},
        {"Caf\xE9.msi", "Caf\xE9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(PackageName(c.file), c.name);
    }
}

TEST(InstallEntries, NumbersEachVisitAnewAndKeepsWhatExists) {
    InstallEntries installs;
    EXPECT_EQ(installs.Populate("C:\\Vela", {}), 0u);
    EXPECT_TRUE(installs.Entries().empty());

    EXPECT_EQ(installs.Populate("C:\\Vela", {"Office.msi", "Tools.MSI"}), 0u);
    const std::vector<InstallEntry> first{
        {"Install Office", "C:\\Vela\\Office.msi", "I1", "Office"},
        {"Install Tools", "C:\\Vela\\Tools.MSI", "I2", "Tools"},
    };
    EXPECT_EQ(installs.Entries(), first);

    // The same packages again add nothing; a removed one leaves its entry and column.
    EXPECT_EQ(installs.Populate("C:\\Vela", {"Office.msi", "Tools.MSI"}), 2u);
    EXPECT_EQ(installs.Entries(), first);
    EXPECT_EQ(installs.Populate("C:\\Vela", {"Office.msi"}), 2u);
    EXPECT_EQ(installs.Entries(), first);

    // New numbering: entries take the captions and tags of the new order, headers stay.
    EXPECT_EQ(installs.Populate("C:\\", {"Tools.MSI", "Admin.msi", "Office.msi"}), 2u);
    EXPECT_EQ(installs.Entries(), (std::vector<InstallEntry>{
                                      {"Install Tools", "C:\\Tools.MSI", "I1", "Office"},
                                      {"Install Admin", "C:\\Admin.msi", "I2", "Tools"},
                                      {"Install Office", "C:\\Office.msi", "I3", "Office"},
                                  }));
}

TEST(InstallEntries, ListsOnlyThePackageFilesOfTheFolder) {
    const testing::TempFolder tmp;
    const auto fs = MakeFileSystem();
    for (const char* file : {"Office.msi", "Tools.MSI", "readme.txt", "Office.msi.bak"})
        ASSERT_TRUE(fs->WriteFile(tmp / file, "x"));
    ASSERT_TRUE(fs->CreateFolder(tmp / "Folder.msi"));

    InstallEntries installs;
    installs.Populate(*fs, tmp.Path());
    std::vector<std::string> tags;
    for (const InstallEntry& e : installs.Entries()) tags.push_back(fs->ExistingFile(e.tag).value_or(e.tag));
    std::sort(tags.begin(), tags.end());  // the listing order is the platform's
    EXPECT_EQ(tags, (std::vector<std::string>{tmp / "Office.msi", tmp / "Tools.MSI"}));
}

}  // namespace
}  // namespace vela
