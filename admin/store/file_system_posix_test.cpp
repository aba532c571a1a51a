// The POSIX service's own rules: Windows-form paths on a POSIX file system, permissions kept.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "admin/store/file_system.h"
#include "admin/store/test_temp_folder.h"

namespace vela {
namespace {

using testing::TempFolder;

std::string Backslashed(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

class PosixFileSystemTest : public ::testing::Test {
protected:
    TempFolder tmp;
    std::unique_ptr<FileSystem> fs = MakeFileSystem();
};

TEST_F(PosixFileSystemTest, PathsComeBackInTheCallersForm) {
    ASSERT_TRUE(fs->WriteFile(tmp / "a.ini", "x"));
    const std::string winForm = Backslashed(tmp / "a.ini");
    EXPECT_EQ(fs->ExistingFile(winForm), winForm);
    EXPECT_EQ(fs->FullPath(Backslashed(tmp / "sub/../b.ini")), Backslashed(tmp / "b.ini"));
    EXPECT_EQ(fs->ParentFolder(winForm), Backslashed(tmp.Path()));
    // Mixed, as ConfigFolder + "\ProfileSettings" gives it: answered with '/'.
    EXPECT_EQ(fs->FullPath(tmp.Path() + "\\ProfileSettings"), tmp / "ProfileSettings");
    EXPECT_EQ(fs->ParentFolder("/framework.ini"), "/");
    EXPECT_EQ(fs->ParentFolder("\\framework.ini"), "\\");
    EXPECT_EQ(fs->ParentFolder("framework.ini"), "");
}

TEST_F(PosixFileSystemTest, RelativePathsResolveAgainstTheCurrentFolder) {
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(fs->FullPath("rel.ini"), cwd + "/rel.ini");
    EXPECT_EQ(fs->FullPath("sub\\rel.ini"), Backslashed(cwd + "/sub/rel.ini"));
}

TEST_F(PosixFileSystemTest, ReplacedFileKeepsItsModeAndReadOnlyFilesStay) {
    const std::string file = tmp / "x.ini";
    ASSERT_TRUE(fs->WriteFile(file, "old"));
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(fs->WriteFile(file, "new"));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(fs->WriteFile(file, "lost?"));
    EXPECT_EQ(testing::Bytes(*fs, file), "new");
    EXPECT_EQ(fs->Files(tmp.Path(), "*"), std::vector<std::string>{"x.ini"}) << "no temporary left";
}

TEST_F(PosixFileSystemTest, WritingThroughALinkReplacesItsTargetAndKeepsTheLink) {
    ASSERT_TRUE(fs->CreateFolder(tmp / "real"));
    const std::string target = tmp / "real/framework.ini", link = tmp / "framework.ini";
    ASSERT_TRUE(fs->WriteFile(target, "old"));
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);

    ASSERT_TRUE(fs->WriteFile(link, "new"));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a plain file";
    EXPECT_EQ(testing::Bytes(*fs, target), "new");
    EXPECT_EQ(fs->Files(tmp / "real", "*"), std::vector<std::string>{"framework.ini"}) << "no temporary left";

    EXPECT_FALSE(fs->WriteFile(tmp / "real", "x")) << "a folder is not replaced";
}

TEST_F(PosixFileSystemTest, DeleteFolderRemovesLinksNotTheirTargets) {
    ASSERT_TRUE(fs->CreateFolder(tmp / "keep"));
    ASSERT_TRUE(fs->WriteFile(tmp / "keep/precious.ini", "x"));
    ASSERT_TRUE(fs->CreateFolder(tmp / "Web"));
    ASSERT_EQ(::symlink((tmp / "keep").c_str(), (tmp / "Web/link").c_str()), 0);
    EXPECT_TRUE(fs->DeleteFolder(tmp / "Web"));
    EXPECT_FALSE(fs->FolderExists(tmp / "Web"));
    EXPECT_TRUE(fs->FileExists(tmp / "keep/precious.ini"));
}

}  // namespace
}  // namespace vela
