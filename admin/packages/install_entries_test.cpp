#include "admin/packages/install_entries.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "admin/store/test_temp_folder.h"

namespace vela {
namespace {

TEST(PackageName, DropsEveryMsiAndTheBlanksAround) {
    for (const auto& [file, name] : {std::pair{"Tools.MSI", "Tools"}, {" Big Tools .Msi", "Big Tools"},
                                     {"a.msi.b.msi", "a.b"}, {"x.m.msisi", "x.msi"}, {".msi", ""}})
        EXPECT_EQ(PackageName(file), name) << file;
}

TEST(InstallEntries, NumbersEachVisitAnewAndKeepsWhatExists) {
    InstallEntries installs;
    EXPECT_EQ(installs.Populate("C:\\Vela", {}), 0u);
    EXPECT_EQ(installs.Populate("C:\\Vela", {"Office.msi", "Tools.MSI"}), 0u);
    const std::vector<InstallEntry> first{{"Install Office", "C:\\Vela\\Office.msi", "I1", "Office"},
                                          {"Install Tools", "C:\\Vela\\Tools.MSI", "I2", "Tools"}};
    EXPECT_EQ(installs.Entries(), first);
    // The same packages add nothing; a removed one leaves its entry and column.
    EXPECT_EQ(installs.Populate("C:\\Vela", {"Office.msi", "Tools.MSI"}), 2u);
    EXPECT_EQ(installs.Populate("C:\\Vela", {"Office.msi"}), 2u);
    EXPECT_EQ(installs.Entries(), first);
    // New numbering: entries take the captions and tags of the new order, headers stay.
    EXPECT_EQ(installs.Populate("C:\\", {"Tools.MSI", "Admin.msi", "Office.msi"}), 2u);
    EXPECT_EQ(installs.Entries(), (std::vector<InstallEntry>{{"Install Tools", "C:\\Tools.MSI", "I1", "Office"},
                                                             {"Install Admin", "C:\\Admin.msi", "I2", "Tools"},
                                                             {"Install Office", "C:\\Office.msi", "I3", "Office"}}));
}

TEST(InstallEntries, ListsOnlyThePackageFilesOfTheFolder) {
    const testing::TempFolder tmp;
    const auto fs = MakeFileSystem();
    for (const char* file : {"Office.msi", "Tools.MSI", "readme.txt", "Office.msi.bak"})
        ASSERT_TRUE(fs->WriteFile(tmp / file, "x"));
    ASSERT_TRUE(fs->CreateFolder(tmp / "Folder.msi"));
    InstallEntries installs;
    installs.Populate(*fs, tmp.Path());
    std::vector<std::string> found;  // in the platform's listing order
    for (const InstallEntry& e : installs.Entries()) found.push_back(fs->ExistingFile(e.tag).value_or(e.tag));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{tmp / "Office.msi", tmp / "Tools.MSI"}));
}

}  // namespace
}  // namespace vela
