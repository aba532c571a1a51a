// The file-system service's contract, run natively against the POSIX service and under Wine
// against the Win32 one, on a real temporary folder.
#include "admin/store/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "admin/store/test_temp_folder.h"

namespace vela {
namespace {

using testing::TempFolder;

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(JoinPath, AddsOneSeparatorExceptAfterARoot) {
    struct Case { std::string folder, name, joined; };
    const Case cases[] = {
        {"C:\\cfg", "ProfileSettings", "C:\\cfg\\ProfileSettings"},
        {"C:\\", "ProfileSettings", "C:\\ProfileSettings"},
        {"c:/", "ProfileSettings", "c:/ProfileSettings"},
        {"", "ProfileSettings", "\\ProfileSettings"},
        {"\\", "ProfileSettings", "\\ProfileSettings"},
        {"/", "ProfileSettings", "/ProfileSettings"},
        {"/tmp/cfg", "ProfileSettings", "/tmp/cfg\\ProfileSettings"},
        {"\\\\server\\share", "x", "\\\\server\\share\\x"},
        {"1:\\", "x", "1:\\\\x"},                      // not a drive letter, so not a root
        {"C:\\\x95\x5C", "x", "C:\\\x95\x5C\\x"},       // 0x5C as the trail byte of a DBCS character
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(JoinPath(c.folder, c.name), c.joined);
    }
}

TEST(WildcardMatch, StarAndQuestionMarkIgnoringAsciiCase) {
    struct Case { std::string pattern, name; bool match; };
    const Case cases[] = {
        {"*.INI", "web.ini", true},
        {"*.INI", "WEB.INI", true},
        {"*.ini", "Web.Ini", true},
        {"*.INI", ".ini", true},
        {"*.INI", "web.inix", false},                // what a short 8.3 name would let through
        {"*.INI", "web.ini.bak", false},
        {"*.INI", "ini", false},
        {"*.INI", "a.ini.ini", true},
        {"?.ini", "a.ini", true},
        {"?.ini", "ab.ini", false},
        {"*a*b", "xxaYYb", true},
        {"*a*b", "xxaYYbc", false},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
        {"\xC4*.ini", "\xE4x.ini", false},          // no case folding above 127
        {"*.ini", "\xC4.INI", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern + " vs " + c.name);
        EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match);
    }
}

class FileSystemTest : public ::testing::Test {
protected:
    TempFolder tmp;
    std::unique_ptr<FileSystem> fs = MakeFileSystem();

    void Make(const std::string& file, const std::string& bytes = "x") { ASSERT_TRUE(fs->WriteFile(tmp / file, bytes)); }
};

TEST_F(FileSystemTest, TellsFilesFromFoldersAndMissingPaths) {
    Make("a.ini");
    ASSERT_TRUE(fs->CreateFolder(tmp / "sub"));
    struct Case { std::string path; bool file, folder; };
    const Case cases[] = {
        {tmp / "a.ini", true, false},
        {tmp / "sub", false, true},
        {tmp.Path() + "\\sub", false, true},                      // the Windows separator works natively too
        {tmp / "missing.ini", false, false},
        {tmp / "missing/a.ini", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(fs->FileExists(c.path), c.file);
        EXPECT_EQ(fs->FolderExists(c.path), c.folder);
        EXPECT_EQ(fs->ExistingFile(c.path).has_value(), c.file);
    }
    EXPECT_EQ(fs->ExistingFile(tmp / "a.ini"), tmp / "a.ini");
    EXPECT_EQ(fs->ExistingFile(tmp.Path() + "\\sub\\..\\a.ini"), tmp / "a.ini");
}

TEST_F(FileSystemTest, FullPathAndParentFolder) {
    EXPECT_EQ(fs->FullPath(tmp / "new.ini"), tmp / "new.ini");             // need not exist
    EXPECT_EQ(fs->FullPath(tmp / "sub/./x/../new.ini"), tmp / "sub/new.ini");
    EXPECT_EQ(fs->FullPath(""), "");
    EXPECT_EQ(fs->ParentFolder(tmp / "framework.ini"), tmp.Path());
    EXPECT_EQ(fs->ParentFolder(tmp / "a/b/framework.ini"), tmp / "a/b");
    EXPECT_EQ(fs->ParentFolder(fs->FullPath(tmp / "new.ini")), tmp.Path());
}

TEST_F(FileSystemTest, CreatesOneFolderLevel) {
    EXPECT_TRUE(fs->CreateFolder(tmp / "ProfileSettings"));
    EXPECT_TRUE(fs->FolderExists(tmp / "ProfileSettings"));
    EXPECT_FALSE(fs->CreateFolder(tmp / "ProfileSettings")) << "exists already";
    EXPECT_FALSE(fs->CreateFolder(tmp / "missing/ProfileSettings")) << "only one level";
    EXPECT_FALSE(fs->FolderExists(tmp / "missing"));
    Make("file");
    EXPECT_FALSE(fs->CreateFolder(tmp / "file"));
    EXPECT_FALSE(fs->CreateFolder(""));
}

TEST_F(FileSystemTest, ListsSubFoldersAndMatchingFiles) {
    for (const char* f : {"Web", "Citrix", "x.ini"}) ASSERT_TRUE(fs->CreateFolder(tmp / f));
    for (const char* f : {"a.ini", "B.INI", "c.txt", "d.inix", "Web/inner.ini"}) Make(f);
    EXPECT_EQ(Sorted(fs->SubFolders(tmp.Path())), (std::vector<std::string>{"Citrix", "Web", "x.ini"}));
    EXPECT_EQ(Sorted(fs->Files(tmp.Path(), "*.INI")), (std::vector<std::string>{"B.INI", "a.ini"}));
    EXPECT_EQ(Sorted(fs->Files(tmp.Path(), "*")), (std::vector<std::string>{"B.INI", "a.ini", "c.txt", "d.inix"}));
    EXPECT_EQ(fs->Files(tmp / "Web", "*.ini"), std::vector<std::string>{"inner.ini"});
    EXPECT_TRUE(fs->SubFolders(tmp / "Citrix").empty());
    EXPECT_TRUE(fs->SubFolders(tmp / "missing").empty());
    EXPECT_TRUE(fs->Files(tmp / "missing", "*").empty());
    EXPECT_TRUE(fs->Files("", "*").empty());
    EXPECT_TRUE(fs->SubFolders(tmp / "a.ini").empty()) << "a file has no subfolders";
}

TEST_F(FileSystemTest, DeletesAFolderWithItsContentAndNothingElse) {
    ASSERT_TRUE(fs->CreateFolder(tmp / "Web"));
    ASSERT_TRUE(fs->CreateFolder(tmp / "Web/deep"));
    ASSERT_TRUE(fs->CreateFolder(tmp / "Web/deep/er"));
    Make("Web/a.ini");
    Make("Web/deep/er/b.ini");
    ASSERT_TRUE(fs->CreateFolder(tmp / "Webby"));
    Make("Web.ini");

    EXPECT_TRUE(fs->DeleteFolder(tmp / "Web"));
    EXPECT_FALSE(fs->FolderExists(tmp / "Web"));
    EXPECT_TRUE(fs->FolderExists(tmp / "Webby")) << "a sibling with the same prefix survives";
    EXPECT_TRUE(fs->FileExists(tmp / "Web.ini"));

    EXPECT_FALSE(fs->DeleteFolder(tmp / "Web")) << "already gone";
    EXPECT_FALSE(fs->DeleteFolder(tmp / "Web.ini")) << "a file is no folder";
    EXPECT_TRUE(fs->FileExists(tmp / "Web.ini"));
    EXPECT_FALSE(fs->DeleteFolder(""));
}

TEST_F(FileSystemTest, WriteFileReplacesWholeAndLeavesNoTemporaryBehind) {
    const std::string bytes = std::string("[MAIN]\r\nA=\xE4\xF6\r\n") + '\0' + "tail\n";
    ASSERT_TRUE(fs->WriteFile(tmp / "x.ini", bytes));
    EXPECT_EQ(testing::Bytes(*fs, tmp / "x.ini"), bytes);
    ASSERT_TRUE(fs->WriteFile(tmp / "x.ini", "short"));
    EXPECT_EQ(testing::Bytes(*fs, tmp / "x.ini"), "short") << "the old, longer content is gone";
    ASSERT_TRUE(fs->WriteFile(tmp / "empty.ini", ""));
    EXPECT_EQ(testing::Bytes(*fs, tmp / "empty.ini"), "");
    EXPECT_EQ(Sorted(fs->Files(tmp.Path(), "*")), (std::vector<std::string>{"empty.ini", "x.ini"}));
}

TEST_F(FileSystemTest, FailedWritesAndReadsChangeNothing) {
    ASSERT_TRUE(fs->CreateFolder(tmp / "sub"));
    EXPECT_FALSE(fs->WriteFile(tmp / "missing/x.ini", "x"));
    EXPECT_FALSE(fs->FolderExists(tmp / "missing"));
    EXPECT_FALSE(fs->WriteFile(tmp / "sub", "x")) << "a folder is not replaced by a file";
    EXPECT_TRUE(fs->FolderExists(tmp / "sub"));
    EXPECT_FALSE(fs->WriteFile("", "x"));
    EXPECT_TRUE(fs->Files(tmp.Path(), "*").empty());
}

TEST_F(FileSystemTest, ReadFileTellsAMissingFileFromAnUnreadableOne) {
    ASSERT_TRUE(fs->CreateFolder(tmp / "sub"));
    for (const std::string& missing : {tmp / "missing.ini", tmp / "missing/x.ini", std::string()}) {
        const auto read = fs->ReadFile(missing);
        ASSERT_TRUE(read.has_value()) << missing;
        EXPECT_FALSE(read->exists) << missing;
        EXPECT_EQ(read->bytes, "") << missing;
    }
    EXPECT_FALSE(fs->ReadFile(tmp / "sub").has_value()) << "a folder is no empty file";
}

}  // namespace
}  // namespace vela
