// inimod against whatever implements it: our engine natively, kernel32 in the Windows tree.
#include "admin/config/inimod.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "admin/config/config_template.h"
#include "admin/store/test_temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace vela {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path) { return std::ifstream(path, std::ios::binary).good(); }

std::vector<std::string> SplitCrLf(const std::string& s) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < s.size();) {
        std::size_t end = s.find("\r\n", pos);
        if (end == std::string::npos) end = s.size();
        lines.push_back(s.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::vector<std::string> NonBlank(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (l.find_first_not_of(" \t") != std::string::npos) out.push_back(l);
    return out;
}

// A file made by the New command: the template's comments and blank lines around every entry,
// and the comment of ERRORMESSAGES standing at the end of LOCATIONS.
const std::string& NewFile() {
    static const std::string text = NewConfigFileText();
    return text;
}

// Where `added` stands in `lines`: between which headers.
::testing::AssertionResult AddedInsideLocations(const std::vector<std::string>& lines,
                                                const std::string& added) {
    std::size_t locations = lines.size(), errors = lines.size(), at = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == "[LOCATIONS]") locations = i;
        if (lines[i] == "[ERRORMESSAGES]") errors = i;
        if (lines[i] == added) at = i;
    }
    if (locations < at && at < errors) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << '"' << added << "\" at line " << at
                                         << ", LOCATIONS at " << locations << ", ERRORMESSAGES at "
                                         << errors;
}

TEST(Inimod, ReadsTheBackupKeyInAnyCaseAndRewritesOnlyItsLine) {
    testing::TempFolder folder;
    for (const std::string spelling : {"disable_backup", "DISABLE_BACKUP", "Disable_Backup"}) {
        SCOPED_TRACE(spelling);
        const std::string path = folder / (spelling + ".ini");
        const std::string before = "; settings\r\n[LOCATIONS]\r\nSTOREROOT=1\r\n" + spelling +
                                   "=1\r\nSTOREFOLDER=SETTINGS\\VELA\r\n[ERRORMESSAGES]\r\n";
        Put(path, before);
        EXPECT_EQ(ReadIniValue("LOCATIONS", "Disable_Backup", path), "1");
        EXPECT_TRUE(WriteIniValue("LOCATIONS", "Disable_Backup", "0", path));
        std::string expected = before;
        expected.replace(expected.find(spelling + "=1"), spelling.size() + 2, spelling + "=0");
        EXPECT_EQ(Slurp(path), expected) << "the value changes on its own line, nothing is added";
        EXPECT_EQ(ReadIniValue("LOCATIONS", "DISABLE_BACKUP", path), "0");
    }
}

TEST(Inimod, AddsTheBackupKeyToANewFileKeepingItsComments) {
    testing::TempFolder folder;
    const std::string path = folder / "config.ini";
    Put(path, NewFile());
    EXPECT_TRUE(WriteIniValue("LOCATIONS", "Disable_Backup", "1", path));

    const std::vector<std::string> lines = SplitCrLf(Slurp(path));
    EXPECT_TRUE(AddedInsideLocations(lines, "DISABLE_BACKUP=1"));
    std::vector<std::string> without = NonBlank(lines);
    std::erase(without, "DISABLE_BACKUP=1");
    EXPECT_EQ(without, NonBlank(SplitCrLf(NewFile())))
        << "every comment and entry stays, in its order";
    EXPECT_EQ(ReadIniValue("LOCATIONS", "Disable_Backup", path), "1");
    EXPECT_EQ(ReadIniValue("LOCATIONS", "STOREFOLDER", path), "SETTINGS\\VELA");
}

TEST(Inimod, AddsAMissingKeyKeepingTheBlankLinesByteForByte) {
    if (testing::RunningUnderWine())
        GTEST_SKIP() << "Wine's WritePrivateProfileStringA rewrites the whole file in its own "
                        "layout and drops blank lines; Windows and our engine keep them";
    testing::TempFolder folder;
    const std::string path = folder / "config.ini";
    Put(path, NewFile());
    EXPECT_TRUE(WriteIniValue("LOCATIONS", "Disable_Backup", "1", path));
    std::string after = Slurp(path);
    const std::size_t at = after.find("DISABLE_BACKUP=1\r\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(after.erase(at, 18), NewFile());
}

TEST(Inimod, ReadsAtMost749Characters) {
    testing::TempFolder folder;
    const std::string path = folder / "long.ini";
    std::string value;
    for (int i = 0; i < 800; ++i) value += static_cast<char>('a' + i % 26);
    Put(path, "[LOCATIONS]\r\nSTOREROOT=" + value + "\r\nSTOREFOLDER=" + value.substr(0, 749) +
                  "\r\n");
    EXPECT_EQ(ReadIniValue("LOCATIONS", "STOREROOT", path), value.substr(0, 749));
    EXPECT_EQ(ReadIniValue("LOCATIONS", "STOREFOLDER", path), value.substr(0, 749));
}

TEST(Inimod, MissingFileReadsEmptyForEveryKeyAndStaysMissing) {
    testing::TempFolder folder;
    const std::string path = folder / "none.ini";
    const std::vector<std::pair<std::string, std::string>> keys = {
        {"MAIN", "REFRESH_WINDOWS_APPEARANCE"}, {"MAIN", "REFRESH_KEYBOARD"},
        {"MAIN", "REFRESH_MOUSE"},              {"MAIN", "ENABLE_PASSWORDS"},
        {"MAIN", "ENABLE_CERTIFICATES"},        {"MAIN", "COMPRESSION"},
        {"MAIN", "COMPRESSION_PRIORITY"},       {"LOCATIONS", "STOREROOT"},
        {"LOCATIONS", "STOREFOLDER"},           {"LOCATIONS", "Disable_Backup"},
        {"ERRORMESSAGES", "DISPLAY_FRAMEWORK_ERROR"}, {"ERRORMESSAGES", "DISPLAY_PROFLWIZ_ERROR"}};
    for (const auto& [section, key] : keys) {
        SCOPED_TRACE(key);
        EXPECT_EQ(ReadIniValue(section, key, path), "");
    }
    EXPECT_FALSE(Exists(path));
}

TEST(Inimod, WritingToAMissingFileCreatesOnlyHeadersAndEntries) {
    testing::TempFolder folder;
    const std::string path = folder / "new.ini";
    EXPECT_TRUE(WriteIniValue("LOCATIONS", "Disable_Backup", "1", path));
    EXPECT_TRUE(WriteIniValue("MAIN", "Refresh_Mouse", "0", path));
    EXPECT_TRUE(WriteIniValue("Main", "compression_priority", "NORMAL", path));
    EXPECT_EQ(Slurp(path),
              "[LOCATIONS]\r\nDISABLE_BACKUP=1\r\n[MAIN]\r\nREFRESH_MOUSE=0\r\n"
              "COMPRESSION_PRIORITY=NORMAL\r\n");
}

TEST(Inimod, WriteIntoAMissingFolderCreatesNothing) {
    testing::TempFolder folder;
    EXPECT_FALSE(WriteIniValue("MAIN", "COMPRESSION", "1", folder / "missing folder/config.ini"));
    EXPECT_FALSE(Exists(folder / "missing folder/config.ini"));
}

TEST(Inimod, WriteToAReadOnlyFileChangesNothing) {
    testing::TempFolder folder;
    const std::string path = folder / "readonly.ini";
    const std::string original = "; keep\r\n[MAIN]\r\nCOMPRESSION=0\r\n";
    Put(path, original);
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    struct Restore {
        std::string path;
        ~Restore() { ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }
    } restore{path};
    if (HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        GTEST_SKIP() << "this system opens a read-only file for writing (Wine run as root keeps "
                        "the attribute only as a Unix mode bit), so kernel32 cannot refuse";
    }
#else
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
#endif
    EXPECT_FALSE(WriteIniValue("MAIN", "COMPRESSION", "1", path));
    EXPECT_FALSE(WriteIniValue("LOCATIONS", "STOREROOT", "2", path));
    EXPECT_EQ(Slurp(path), original);
    EXPECT_EQ(ReadIniValue("MAIN", "COMPRESSION", path), "0");
#ifndef _WIN32
    ::chmod(path.c_str(), 0644);
#endif
}

}  // namespace
}  // namespace vela
