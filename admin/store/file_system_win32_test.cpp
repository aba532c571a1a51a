// The Win32 service's own rules: drive and UNC paths, read-only files, 8.3 names.
#include <windows.h>

#include <gtest/gtest.h>

#include "admin/store/file_system.h"
#include "admin/store/settings_path.h"
#include "admin/store/test_temp_folder.h"

namespace vela {
namespace {

using testing::TempFolder;

class Win32FileSystemTest : public ::testing::Test {
protected:
    TempFolder tmp;
    std::unique_ptr<FileSystem> fs = MakeFileSystem();
};

TEST_F(Win32FileSystemTest, FullPathsOfDriveUncAndRelativeNames) {
    char cwd[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryA(MAX_PATH, cwd), 0u);
    struct Case { std::string path, full; };
    const Case cases[] = {
        {"C:\\cfg\\x.ini", "C:\\cfg\\x.ini"},
        {"C:/cfg/x.ini", "C:\\cfg\\x.ini"},
        {"C:\\cfg\\sub\\..\\x.ini", "C:\\cfg\\x.ini"},
        {"\\\\server\\share\\x.ini", "\\\\server\\share\\x.ini"},
        {"rel.ini", JoinPath(cwd, "rel.ini")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(fs->FullPath(c.path), c.full);
    }
}

TEST_F(Win32FileSystemTest, ParentFolderOfDriveRootAndUncFiles) {
    struct Case { std::string full, parent, storeRoot; };
    const Case cases[] = {
        {"C:\\cfg\\x.ini", "C:\\cfg", "C:\\cfg\\ProfileSettings"},
        {"C:\\a.ini", "C:\\", "C:\\ProfileSettings"},            // no doubled separator
        {"\\\\server\\share\\a.ini", "\\\\server\\share", "\\\\server\\share\\ProfileSettings"},
        {"\\\\server\\share\\cfg\\a.ini", "\\\\server\\share\\cfg", "\\\\server\\share\\cfg\\ProfileSettings"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.full);
        const std::string parent = fs->ParentFolder(c.full);
        EXPECT_EQ(parent, c.parent);
        EXPECT_EQ(SettingsLocation::StoreRoot(parent), c.storeRoot);
    }
}

TEST_F(Win32FileSystemTest, ReadOnlyFileIsNotReplaced) {
    const std::string file = tmp / "x.ini";
    ASSERT_TRUE(fs->WriteFile(file, "old"));
    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(fs->WriteFile(file, "new"));
    EXPECT_EQ(testing::Bytes(*fs, file), "old");
    EXPECT_EQ(fs->Files(tmp.Path(), "*"), std::vector<std::string>{"x.ini"}) << "no temporary left";
    ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Saving a settings file must not undo what the administrator set on it (Permissions, attributes).
// Wine keeps no access lists on files, so only the attributes show here.
TEST_F(Win32FileSystemTest, ReplacedFileKeepsItsHiddenAndSystemAttributes) {
    const std::string file = tmp / "x.ini";
    ASSERT_TRUE(fs->WriteFile(file, "old"));
    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_TRUE(fs->WriteFile(file, "new"));
    EXPECT_EQ(testing::Bytes(*fs, file), "new");
    const DWORD a = ::GetFileAttributesA(file.c_str());
    EXPECT_EQ(a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
    ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A read-only file whose deletion fails (held open by another program) stays read-only.
TEST_F(Win32FileSystemTest, FailedRemoveKeepsReadOnly) {
    const std::string file = tmp / "x.ini";
    ASSERT_TRUE(fs->WriteFile(file, "old"));
    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE held = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fs->RemoveFile(file));
    ::CloseHandle(held);
    EXPECT_NE(::GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32FileSystemTest, DeleteFolderClearsReadOnlyAttributes) {
    ASSERT_TRUE(fs->CreateFolder(tmp / "Web"));
    ASSERT_TRUE(fs->CreateFolder(tmp / "Web\\sub"));
    ASSERT_TRUE(fs->WriteFile(tmp / "Web\\sub\\a.ini", "x"));
    ASSERT_TRUE(::SetFileAttributesA((tmp / "Web\\sub\\a.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(::SetFileAttributesA((tmp / "Web\\sub").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(fs->DeleteFolder(tmp / "Web"));
    EXPECT_FALSE(fs->FolderExists(tmp / "Web"));
}

TEST_F(Win32FileSystemTest, FilesIgnoresShortNameMatches) {
    ASSERT_TRUE(fs->WriteFile(tmp / "settings.inix", "x"));
    ASSERT_TRUE(fs->WriteFile(tmp / "Web.ini", "x"));
    char shortName[MAX_PATH];
    if (::GetShortPathNameA((tmp / "settings.inix").c_str(), shortName, MAX_PATH) == 0)
        shortName[0] = '\0';
    SCOPED_TRACE(shortName);   // on an 8.3-enabled volume this ends in ".INI"
    EXPECT_EQ(fs->Files(tmp.Path(), "*.INI"), std::vector<std::string>{"Web.ini"});
}

}  // namespace
}  // namespace vela
