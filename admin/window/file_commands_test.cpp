#include "admin/window/file_commands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "admin/config/config_template.h"
#include "admin/config/inimod.h"

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace vela {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

TEST(FilterToPlatform, SplitsPairsAndEndsInTwoNuls) {
    const struct {
        std::string_view filter;
        std::string platform;
    } cases[] = {
        {"*.ini|*.ini", "*.ini\0*.ini\0\0"s},
        {"*.INI|*.INI|", "*.INI\0*.INI\0\0"s},
        {"Settings|*.ini;*.INI|All files|*.*", "Settings\0*.ini;*.INI\0All files\0*.*\0\0"s},
        {"", "\0\0"s},
        {"|", "\0\0"s},
        {"a||b", "a\0\0b\0\0"s},  // an empty pattern ends the list early, as the platform reads it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.filter));
        EXPECT_EQ(FilterToPlatform(c.filter), c.platform);
    }
}

TEST(WithIniExtension, AppendsOnlyWhenNoIniAnywhere) {
    const struct {
        std::string_view name;
        std::string completed;
    } cases[] = {
        {"C:\\cfg\\framework", "C:\\cfg\\framework.INI"},
        {"C:\\cfg\\framework.ini", "C:\\cfg\\framework.ini"},
        {"C:\\cfg\\framework.INI", "C:\\cfg\\framework.INI"},
        {"C:\\cfg\\framework.iNi", "C:\\cfg\\framework.iNi"},
        {"C:\\x.ini.d\\cfg", "C:\\x.ini.d\\cfg"},          // ".ini" before the end counts too
        {"C:\\cfg\\framework.inf", "C:\\cfg\\framework.inf.INI"},
        {"C:\\cfg\\frameworkini", "C:\\cfg\\frameworkini.INI"},
        {"C:\\cfg\\a.in i", "C:\\cfg\\a.in i.INI"},
        {"", ".INI"},
        // Bytes above 127 are no letters: neither folded nor mistaken for "ini".
        {"C:\\M\xDCller\\cfg", "C:\\M\xDCller\\cfg.INI"},
        {"C:\\cfg\\x.\xC9NI", "C:\\cfg\\x.\xC9NI.INI"},
        {"C:\\\xC4\xD6.Ini", "C:\\\xC4\xD6.Ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name));
        EXPECT_EQ(WithIniExtension(c.name), c.completed);
    }
}

TEST(CommandLineTail, EverythingAfterTheProgramName) {
    const struct {
        std::string_view commandLine;
        std::string_view tail;
    } cases[] = {
        {"VelaConfig.exe", ""},
        {"VelaConfig.exe C:\\cfg\\framework.ini", "C:\\cfg\\framework.ini"},
        {"C:\\Vela\\VelaConfig.exe   C:\\cfg\\framework.ini", "C:\\cfg\\framework.ini"},
        {"VelaConfig.exe\t C:\\cfg\\framework.ini", "C:\\cfg\\framework.ini"},
        // Not trimmed at the end, quotation marks kept, blanks inside kept.
        {"\"C:\\Program Files\\Vela\\VelaConfig.exe\" C:\\my cfg\\a b.ini  ", "C:\\my cfg\\a b.ini  "},
        {"VelaConfig.exe \"C:\\cfg\\framework.ini\"", "\"C:\\cfg\\framework.ini\""},
        {"\"C:\\Program Files\\Vela\\VelaConfig.exe\"", ""},
        {"\"C:\\Program Files\\Vela\\VelaConfig.exe\"x y", "y"},  // the name runs on to the blank
        {"\"C:\\Program Files\\unterminated quote", ""},
        {"VelaConfig.exe    ", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.commandLine));
        EXPECT_EQ(CommandLineTail(c.commandLine), c.tail);
    }
}

TEST(ConfigPathOfTail, OnePathInOnePairOfQuotationMarksLosesThem) {
    const struct {
        std::string_view tail;
        std::string_view path;
    } cases[] = {
        {"\"C:\\my cfg\\a.ini\"", "C:\\my cfg\\a.ini"},
        {" \t\"C:\\my cfg\\a.ini\"  ", "C:\\my cfg\\a.ini"},
        {"\" C:\\a.ini\"", " C:\\a.ini"},
        // Anything else stays as it stands.
        {"C:\\my cfg\\a.ini  ", "C:\\my cfg\\a.ini  "},
        {"\"C:\\a.ini\" \"C:\\b.ini\"", "\"C:\\a.ini\" \"C:\\b.ini\""},
        {"\"C:\\a\"b.ini\"", "\"C:\\a\"b.ini\""},
        {"\"C:\\a.ini", "\"C:\\a.ini"},
        {"C:\\a.ini\"", "C:\\a.ini\""},
        {"\"C:\\a.ini\" /x", "\"C:\\a.ini\" /x"},
        {"\"\"", "\"\""},
        {"\" \"", "\" \""},
        {"\"", "\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.tail));
        EXPECT_EQ(ConfigPathOfTail(c.tail), c.path);
    }
}

TEST(FolderOfFile, NamesTheFolderAsThePlatformDoes) {
    EXPECT_EQ(FolderOfFile("C:\\Program Files\\Vela\\VelaConfig.exe"), "C:\\Program Files\\Vela");
    EXPECT_EQ(FolderOfFile("C:\\VelaConfig.exe"), "C:\\");
    EXPECT_EQ(FolderOfFile("\\\\server\\share\\VelaConfig.exe"), "\\\\server\\share");
    EXPECT_EQ(FolderOfFile("/opt/vela/VelaConfig.exe"), "/opt/vela");
    EXPECT_EQ(FolderOfFile("VelaConfig.exe"), "");
    EXPECT_EQ(FolderOfFile(""), "");
}

// The shipped sample is what New writes, byte for byte.
TEST(ExampleConfiguration, IsTheNewFileText) {
    std::ifstream in(std::string(VELA_EXAMPLES_DIR) + "/VelaFramework.ini", std::ios::binary);
    ASSERT_TRUE(in) << VELA_EXAMPLES_DIR;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), NewConfigFileText());
}

// --- the command flows, over the real editor and file system in a folder of their own --------

struct DialogCall {
    std::string kind, filter, title, folder;
};

class ScriptedDialogs final : public FileDialogs {
public:
    std::deque<std::string> answers;   // one per file dialog, in order; none left: cancel
    std::deque<bool> confirmations;    // one per replace question; none left: No
    std::vector<DialogCall> calls;
    std::vector<std::string> questions;
    std::vector<Overwrite> overwrites;

    std::string ShowOpenDialog(std::string_view f, std::string_view t, std::string_view d) override {
        return Answer("open", f, t, d);
    }
    std::string ShowSaveDialog(std::string_view f, std::string_view t, std::string_view d) override {
        return Answer("save", f, t, d);
    }
    bool ConfirmOverwrite(const std::string& path, Overwrite what) override {
        questions.push_back(path);
        overwrites.push_back(what);
        if (confirmations.empty()) return false;
        const bool yes = confirmations.front();
        confirmations.pop_front();
        return yes;
    }

private:
    std::string Answer(std::string kind, std::string_view f, std::string_view t, std::string_view d) {
        calls.push_back({std::move(kind), std::string(f), std::string(t), std::string(d)});
        if (answers.empty()) return {};
        std::string a = answers.front();
        answers.pop_front();
        return a;
    }
};

class NoSettingsList final : public SettingsView {
public:
    std::string PickedSettingsType() override { return {}; }
    void ShowSettingsFolder(const std::string&) override {}
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Spit(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

class FileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> serial{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() /
                ("vela_window_logic_" + std::string(info->name()) + "_" + std::to_string(++serial));
        fs::remove_all(root_);
        fs::create_directories(root_ / "prog");
        fs::create_directories(root_ / "cfg");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::string P(const fs::path& relative) const { return (root_ / relative).make_preferred().string(); }

    fs::path root_;
    std::unique_ptr<FileSystem> files_ = MakeFileSystem();
    NoSettingsList view_;
    SettingsLocation settings_{*files_, view_};
    ConfigEditor editor_{*files_, settings_};
    ScriptedDialogs dialogs_;
    FileCommands commands_{editor_, *files_, dialogs_};
};

TEST_F(FileCommandsTest, StartUpTakesTheCommandLineTailWithoutADialog) {
    fs::create_directories(root_ / "my cfg");
    Spit(root_ / "my cfg" / "framework.ini", NewConfigFileText());
    for (const std::string& tail : {P("my cfg/framework.ini"), " \"" + P("my cfg/framework.ini") + "\"\t"}) {
        SCOPED_TRACE(tail);
        commands_.Start(tail, P("prog"));
        EXPECT_TRUE(dialogs_.calls.empty());
        EXPECT_EQ(editor_.ConfigFilePath(), P("my cfg/framework.ini"));
        EXPECT_EQ(editor_.ConfigFolder(), P("my cfg"));
        EXPECT_EQ(editor_.model.refreshWindowsAppearance, 1);
        EXPECT_EQ(editor_.model.compressionPriority, 2);  // NORMAL
    }
}

TEST_F(FileCommandsTest, StartUpTailThatNamesNoFileLeavesNoneCurrentAndSaveAsksForAName) {
    Spit(root_ / "cfg" / "framework.ini", NewConfigFileText());
    commands_.Start("\"" + P("cfg/framework.ini") + "\" \"\"", P("prog"));
    EXPECT_TRUE(dialogs_.calls.empty());
    EXPECT_EQ(editor_.ConfigFilePath(), "");
    commands_.Save();
    ASSERT_EQ(dialogs_.calls.size(), 1u);
    EXPECT_EQ(dialogs_.calls[0].kind, "save");
    EXPECT_EQ(dialogs_.calls[0].title, kSaveAsTitle);
}

TEST_F(FileCommandsTest, StartUpWithABlankTailAsksInTheProgramFolder) {
    Spit(root_ / "cfg" / "framework.ini", NewConfigFileText());
    dialogs_.answers = {P("cfg/framework.ini")};
    commands_.Start(" \t ", P("prog"));
    ASSERT_EQ(dialogs_.calls.size(), 1u);
    EXPECT_EQ(dialogs_.calls[0].kind, "open");
    EXPECT_EQ(dialogs_.calls[0].filter, kOpenFilter);
    EXPECT_EQ(dialogs_.calls[0].title, kOpenTitle);
    EXPECT_EQ(dialogs_.calls[0].folder, P("prog"));
    EXPECT_EQ(editor_.ConfigFilePath(), P("cfg/framework.ini"));
}

TEST_F(FileCommandsTest, StartUpCancelledThenSaveWritesTheUntitledFile) {
    commands_.Start("", P("prog"));
    ASSERT_EQ(dialogs_.calls.size(), 1u);
    EXPECT_EQ(editor_.ConfigFolder(), P("prog"));
    editor_.model.compression = 1;
    commands_.Save();
    EXPECT_EQ(dialogs_.calls.size(), 1u) << "Save asked for a name";
    const fs::path untitled = root_ / "prog" / "untitledconfig.ini";
    ASSERT_TRUE(fs::exists(untitled));
    EXPECT_EQ(ReadIniValue("MAIN", "COMPRESSION", untitled.string()), "1");
    EXPECT_EQ(Slurp(untitled).find(';'), std::string::npos);  // written keys only
}

TEST_F(FileCommandsTest, NewAppendsTheExtensionWritesTheTemplateAndMakesTheStore) {
    commands_.Start("", P("prog"));  // cancelled: the untitled file
    dialogs_.answers = {P("cfg/site")};
    commands_.New();
    ASSERT_EQ(dialogs_.calls.size(), 2u);
    EXPECT_EQ(dialogs_.calls[1].kind, "save");
    EXPECT_EQ(dialogs_.calls[1].filter, kSaveFilter);
    EXPECT_EQ(dialogs_.calls[1].title, kNewTitle);
    EXPECT_EQ(dialogs_.calls[1].folder, P("prog"));
    EXPECT_EQ(Slurp(root_ / "cfg" / "site.INI"), NewConfigFileText());
    EXPECT_FALSE(fs::exists(root_ / "cfg" / "site"));
    EXPECT_EQ(editor_.ConfigFilePath(), P("cfg/site.INI"));
    EXPECT_EQ(editor_.ConfigFolder(), P("cfg"));
    EXPECT_TRUE(fs::is_directory(root_ / "cfg" / "ProfileSettings"));
    EXPECT_EQ(editor_.model.enablePasswords, 1);
    EXPECT_TRUE(dialogs_.questions.empty());
}

TEST_F(FileCommandsTest, NewKeepsANameThatHoldsIniInAnyCaseOrPlace) {
    fs::create_directories(root_ / "cfg" / "x.ini.d");
    for (const std::string name : {"cfg/lower.ini", "cfg/UPPER.INI", "cfg/Mixed.iNi", "cfg/x.ini.d/plain"}) {
        SCOPED_TRACE(name);
        dialogs_.answers = {P(name)};
        commands_.New();
        EXPECT_EQ(Slurp(root_ / name), NewConfigFileText());
        EXPECT_EQ(editor_.ConfigFilePath(), P(name));
        EXPECT_FALSE(fs::exists(root_ / (name + ".INI")));
    }
    EXPECT_TRUE(dialogs_.questions.empty());
}

TEST_F(FileCommandsTest, NewAsksBeforeReplacingAFileTheDialogDidNotName) {
    Spit(root_ / "cfg" / "site.INI", "[MAIN]\r\nCOMPRESSION=1\r\n");
    Spit(root_ / "cfg" / "other.ini", NewConfigFileText());
    commands_.Start(P("cfg/other.ini"), P("prog"));

    dialogs_.answers = {P("cfg/site")};
    dialogs_.confirmations = {false};
    commands_.New();
    ASSERT_EQ(dialogs_.questions, std::vector<std::string>{P("cfg/site.INI")});
    EXPECT_EQ(dialogs_.overwrites.back(), FileDialogs::Overwrite::ReplaceWithTemplate);
    EXPECT_EQ(Slurp(root_ / "cfg" / "site.INI"), "[MAIN]\r\nCOMPRESSION=1\r\n");
    EXPECT_EQ(editor_.ConfigFilePath(), P("cfg/other.ini"));

    dialogs_.answers = {P("cfg/site")};
    dialogs_.confirmations = {true};
    commands_.New();
    EXPECT_EQ(Slurp(root_ / "cfg" / "site.INI"), NewConfigFileText());
    EXPECT_EQ(editor_.ConfigFilePath(), P("cfg/site.INI"));

    // The dialog itself asked about a name it showed: no second question.
    dialogs_.answers = {P("cfg/site.INI")};
    commands_.New();
    EXPECT_EQ(dialogs_.questions.size(), 2u);
}

TEST_F(FileCommandsTest, CancelledDialogsChangeNothing) {
    Spit(root_ / "cfg" / "framework.ini", NewConfigFileText());
    commands_.Start(P("cfg/framework.ini"), P("prog"));
    dialogs_.answers = {"", "   ", "\t"};
    commands_.New();
    commands_.SaveAs();
    commands_.Open();
    EXPECT_EQ(dialogs_.calls.size(), 3u);
    EXPECT_EQ(editor_.ConfigFilePath(), P("cfg/framework.ini"));
    EXPECT_EQ(Slurp(root_ / "cfg" / "framework.ini"), NewConfigFileText());
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(root_ / "cfg")) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2u);  // the file and the store the load made
}

TEST_F(FileCommandsTest, SaveAsWritesEveryKeyIntoTheNewFileAndMovesTheFolder) {
    Spit(root_ / "cfg" / "framework.ini", NewConfigFileText());
    fs::create_directories(root_ / "elsewhere");
    commands_.Start(P("cfg/framework.ini"), P("prog"));
    editor_.model.storeFolder = "PROFILES\\VELA";
    editor_.model.disableBackup = 2;

    dialogs_.answers = {P("elsewhere/copy")};
    commands_.SaveAs();
    const fs::path copy = root_ / "elsewhere" / "copy.INI";
    ASSERT_TRUE(fs::exists(copy));
    EXPECT_EQ(dialogs_.calls.back().title, kSaveAsTitle);
    EXPECT_EQ(dialogs_.calls.back().folder, P("cfg"));
    EXPECT_EQ(editor_.ConfigFilePath(), P("elsewhere/copy.INI"));
    EXPECT_EQ(editor_.ConfigFolder(), P("elsewhere"));
    const std::string text = Slurp(copy);
    EXPECT_EQ(text.find(';'), std::string::npos) << text;
    for (const char* key : {"REFRESH_WINDOWS_APPEARANCE", "REFRESH_KEYBOARD", "REFRESH_MOUSE", "ENABLE_PASSWORDS",
                            "ENABLE_CERTIFICATES", "COMPRESSION", "COMPRESSION_PRIORITY", "STOREROOT", "STOREFOLDER",
                            "DISABLE_BACKUP", "DISPLAY_FRAMEWORK_ERROR", "DISPLAY_PROFLWIZ_ERROR"})
        EXPECT_NE(text.find(std::string(key) + "="), std::string::npos) << key;
    EXPECT_EQ(ReadIniValue("LOCATIONS", "STOREFOLDER", copy.string()), "PROFILES\\VELA");
    EXPECT_EQ(ReadIniValue("LOCATIONS", "DISABLE_BACKUP", copy.string()), "2");
    EXPECT_EQ(Slurp(root_ / "cfg" / "framework.ini"), NewConfigFileText()) << "the old file was touched";

    // The next dialog opens in the new file's folder.
    commands_.Open();
    EXPECT_EQ(dialogs_.calls.back().folder, P("elsewhere"));
}

TEST_F(FileCommandsTest, SaveAsAsksBeforeWritingIntoAFileTheDialogDidNotName) {
    Spit(root_ / "cfg" / "framework.ini", NewConfigFileText());
    Spit(root_ / "cfg" / "taken.INI", "[MAIN]\r\nCOMPRESSION=1\r\n");
    commands_.Start(P("cfg/framework.ini"), P("prog"));
    dialogs_.answers = {P("cfg/taken")};
    commands_.SaveAs();
    EXPECT_EQ(dialogs_.questions, std::vector<std::string>{P("cfg/taken.INI")});
    EXPECT_EQ(dialogs_.overwrites.back(), FileDialogs::Overwrite::WriteSettingsInto);
    EXPECT_EQ(Slurp(root_ / "cfg" / "taken.INI"), "[MAIN]\r\nCOMPRESSION=1\r\n");
    EXPECT_EQ(editor_.ConfigFilePath(), P("cfg/framework.ini"));
}

// --- a save that cannot write: the edits stay, the file stays, and the reason is said ---------

// The file itself, its mode and its modification time: what "left as it was" means on disk.
struct OnDisk {
    bool exists = false;
    std::string bytes;
    fs::perms perms{};
    fs::file_time_type written{};
    friend bool operator==(const OnDisk&, const OnDisk&) = default;
};
OnDisk Look(const fs::path& p) {
    std::error_code ec;
    if (!fs::exists(p, ec)) return {};
    return {true, Slurp(p), fs::status(p).permissions(), fs::last_write_time(p)};
}

TEST_F(FileCommandsTest, SaveIntoAReadOnlyFileKeepsTheEditsAndSaysSoUntilASaveWorks) {
    const fs::path file = root_ / "cfg" / "framework.ini";
    Spit(file, NewConfigFileText());
    commands_.Start(P("cfg/framework.ini"), P("prog"));
    ASSERT_EQ(commands_.Problem().kind, FileProblem::Kind::None);
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const OnDisk before = Look(file);

    editor_.model.compression = 1;   // the tick the user made
    commands_.Save();
    EXPECT_EQ(commands_.Problem(), (FileProblem{FileProblem::Kind::SaveReadOnly, P("cfg/framework.ini")}));
    EXPECT_EQ(editor_.model.compression, 1) << "the edit was undone";
    EXPECT_EQ(editor_.ConfigFilePath(), P("cfg/framework.ini"));
    EXPECT_EQ(Look(file), before);

    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    commands_.Save();
    EXPECT_EQ(commands_.Problem(), FileProblem{}) << "a save that worked still shows the failure";
    EXPECT_EQ(ReadIniValue("MAIN", "COMPRESSION", file.string()), "1");
}

TEST_F(FileCommandsTest, SaveIntoAMissingFolderCreatesNothingAndNamesTheReason) {
    // The untitled file of a program folder that is gone, and Save As into a folder never made.
    commands_.Start("", P("gone"));
    editor_.model.compression = 1;
    commands_.Save();
    EXPECT_EQ(commands_.Problem(),
              (FileProblem{FileProblem::Kind::SaveMissingFolder, P("gone/untitledconfig.ini")}));
    EXPECT_EQ(editor_.model.compression, 1);
    EXPECT_FALSE(fs::exists(root_ / "gone"));

    Spit(root_ / "cfg" / "framework.ini", NewConfigFileText());
    commands_.Open();   // the dialog's answer is empty: cancelled, and the earlier failure is gone
    EXPECT_EQ(commands_.Problem(), FileProblem{});
    dialogs_.answers = {P("cfg/framework.ini"), P("nowhere/copy.ini"), P("nowhere/new")};
    commands_.Open();
    editor_.model.refreshMouse = 1;
    commands_.SaveAs();
    EXPECT_EQ(commands_.Problem(), (FileProblem{FileProblem::Kind::SaveMissingFolder, P("nowhere/copy.ini")}));
    EXPECT_EQ(editor_.ConfigFilePath(), P("cfg/framework.ini")) << "the current file moved to one never written";
    EXPECT_EQ(editor_.model.refreshMouse, 1);
    EXPECT_EQ(Slurp(root_ / "cfg" / "framework.ini"), NewConfigFileText());
    commands_.New();
    EXPECT_EQ(commands_.Problem(), (FileProblem{FileProblem::Kind::SaveMissingFolder, P("nowhere/new.INI")}));
    EXPECT_EQ(editor_.model.refreshMouse, 1) << "a failed New loaded something";
    EXPECT_FALSE(fs::exists(root_ / "nowhere"));
}

TEST_F(FileCommandsTest, StartUpOnAPathThatIsNotThereNamesIt) {
    const std::string missing = P("cfg/missing.ini");
    commands_.Start("\"" + missing + "\"", P("prog"));
    EXPECT_EQ(commands_.Problem(), (FileProblem{FileProblem::Kind::NotFound, missing}));
    EXPECT_FALSE(fs::exists(missing));
    Spit(root_ / "cfg" / "framework.ini", NewConfigFileText());
    dialogs_.answers = {P("cfg/framework.ini")};
    commands_.Open();
    EXPECT_EQ(commands_.Problem(), FileProblem{});
}

#ifndef _WIN32
// The immutable flag: writes are refused even to root, as Program Files refuses a program that
// runs as the user who started it.
class Immutable {
public:
    explicit Immutable(const fs::path& p) : fd_(::open(p.c_str(), O_RDONLY | O_CLOEXEC)) { set_ = Flag(true); }
    ~Immutable() {
        if (set_) (void)Flag(false);
        if (fd_ >= 0) ::close(fd_);
    }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    [[nodiscard]] bool Set() const { return set_; }
    void Clear() { set_ = set_ && !Flag(false); }

private:
    bool Flag(bool on) {
        int flags = 0;
        if (fd_ < 0 || ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) != 0) return false;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        return ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
    }
    int fd_;
    bool set_ = false;
};

TEST_F(FileCommandsTest, SaveRefusedByThePlatformKeepsTheEditsAndSaysAccessDenied) {
    // The first hour on Windows: no file on the command line, the open dialog cancelled, and the
    // untitled file in a program folder the user may not write into.
    commands_.Start("", P("prog"));
    Immutable locked(root_ / "prog");
    if (!locked.Set()) GTEST_SKIP() << "the immutable flag needs root and a file system that has it";
    editor_.model.compression = 1;
    commands_.Save();
    EXPECT_EQ(commands_.Problem(), (FileProblem{FileProblem::Kind::SaveDenied, P("prog/untitledconfig.ini")}));
    EXPECT_EQ(editor_.model.compression, 1);
    EXPECT_FALSE(fs::exists(root_ / "prog" / "untitledconfig.ini"));
    locked.Clear();

    // A file of its own that is locked: its bytes stay, and so does the tick.
    const fs::path file = root_ / "cfg" / "framework.ini";
    Spit(file, NewConfigFileText());
    dialogs_.answers = {P("cfg/framework.ini")};
    commands_.Open();
    Immutable lockedFile(file);
    ASSERT_TRUE(lockedFile.Set());
    const OnDisk before = Look(file);
    editor_.model.compression = 1;
    commands_.Save();
    EXPECT_EQ(commands_.Problem(), (FileProblem{FileProblem::Kind::SaveDenied, P("cfg/framework.ini")}));
    EXPECT_EQ(editor_.model.compression, 1);
    EXPECT_EQ(Look(file), before);
    lockedFile.Clear();
    commands_.Save();
    EXPECT_EQ(commands_.Problem(), FileProblem{});
    EXPECT_EQ(ReadIniValue("MAIN", "COMPRESSION", file.string()), "1");
}
#endif

// The status bar's rule, with one byte as one unit of width.
TEST(ShortenPathMiddle, KeepsTheFileNameAndAsMuchOfTheBeginningAsFits) {
    const std::string path = "C:\\Users\\admin\\Documents\\Vela\\framework.ini";
    const struct {
        size_t width;
        std::string shown;
    } cases[] = {
        {path.size(), path},
        {31, "C:\\Users\\admin...\\framework.ini"},
        {19, "C:...\\framework.ini"},
        {5, "...\\framework.ini"},  // the name stays whole where nothing fits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const std::string shown = ShortenPathMiddle(path, [&](std::string_view t) { return t.size() <= c.width; });
        EXPECT_EQ(shown, c.shown);
    }
    EXPECT_EQ(ShortenPathMiddle("framework.ini", [](std::string_view) { return false; }), "...framework.ini");
}

}  // namespace
}  // namespace vela
