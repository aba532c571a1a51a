// The editor's load and save against real INI files in a temporary folder: the kernel32 profile
// functions in the Windows tree (under Wine), our own profile engine natively.
#include "admin/config/framework_config.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "admin/config/config_template.h"
#include "admin/config/inimod.h"
#include "admin/store/test_temp_folder.h"

namespace vela {

void PrintTo(const FrameworkConfig& m, std::ostream* os) {
    auto opt = [](const std::optional<int>& v) { return v ? std::to_string(*v) : std::string("none"); };
    *os << "{switches " << m.refreshWindowsAppearance << m.refreshKeyboard << m.refreshMouse << m.enablePasswords
        << m.enableCertificates << m.compression << " backup " << m.disableBackup << ", priority "
        << opt(m.compressionPriority) << ", root " << static_cast<int>(m.storeRoot) << " '" << m.storeRootPath
        << "', folder '" << m.storeFolder << "', errors " << opt(m.displayFrameworkError) << "/"
        << opt(m.displayProflwizError) << "}";
}

namespace {

using testing::TempFolder;

std::string Ini(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view l : lines) (text += l) += "\r\n";
    return text;
}

// "<prefix><n>.ini".  (Built by appending: GCC 12 warns falsely about "x" + std::to_string(n).)
std::string Numbered(const char* prefix, int n) {
    std::string name(prefix);
    name += std::to_string(n);
    name += ".ini";
    return name;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    if (at < text.size()) lines.push_back(text.substr(at));
    return lines;
}

// `text` as Wine's profile writer would write it back: no blank lines, CR LF everywhere, no
// blanks around an entry's '=' or at a line's end.
std::vector<std::string> WineRewritten(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    auto flush = [&] {
        auto trim = [](std::string s) {
            const size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
            return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
        };
        const size_t eq = line.find('=');
        line = eq == std::string::npos || line.front() == '[' ? trim(line)
                                                               : trim(line.substr(0, eq)) + "=" + trim(line.substr(eq + 1));
        if (!line.empty()) lines.push_back(line);
        line.clear();
    };
    for (char c : text) {
        if (c == '\r' || c == '\n') flush();
        else line += c;
    }
    flush();
    return lines;
}

// The real file system, except that folders outside the temporary folder are never made: a
// load with no current file would otherwise create "\ProfileSettings" at the drive root.
class GuardedFileSystem : public FileSystem {
public:
    std::vector<std::string> refused;

    std::optional<std::string> ExistingFile(const std::string& p) override { return real_->ExistingFile(p); }
    std::string FullPath(const std::string& p) override { return real_->FullPath(p); }
    std::string ParentFolder(const std::string& p) override { return real_->ParentFolder(p); }
    bool FolderExists(const std::string& p) override { return real_->FolderExists(p); }
    bool FileExists(const std::string& p) override { return real_->FileExists(p); }
    bool IsReadOnlyFile(const std::string& p) override { return real_->IsReadOnlyFile(p); }
    bool CreateFolder(const std::string& p) override {
        if (p.rfind(allowed_, 0) != 0) {
            refused.push_back(p);
            return false;
        }
        return real_->CreateFolder(p);
    }
    std::vector<std::string> SubFolders(const std::string& p) override { return real_->SubFolders(p); }
    std::vector<std::string> Files(const std::string& f, const std::string& p) override { return real_->Files(f, p); }
    bool DeleteFolder(const std::string& p) override { return real_->DeleteFolder(p); }
    bool RemoveFile(const std::string& p) override { return real_->RemoveFile(p); }
    bool WriteFile(const std::string& p, const std::string& b) override { return real_->WriteFile(p, b); }
    std::optional<FileContent> ReadFile(const std::string& p) override { return real_->ReadFile(p); }
    WriteAccess CheckWrite(const std::string& p) override { return real_->CheckWrite(p); }

private:
    std::unique_ptr<FileSystem> real_ = MakeFileSystem();
    std::string allowed_ = testing::detail::TempRoot();
};

class FakeView : public SettingsView {
public:
    std::string picked;
    std::vector<std::string> shown;
    std::vector<std::string>* log = nullptr;
    std::string PickedSettingsType() override { return picked; }
    void ShowSettingsFolder(const std::string& folder) override {
        shown.push_back(folder);
        if (log) log->push_back("show " + folder);
    }
};

// Passes every call on to inimod and notes it in the log.
class LoggingIni : public ConfigIni {
public:
    explicit LoggingIni(std::vector<std::string>& log) : log_(log) {}
    std::string Read(const std::string& section, const std::string& key, const std::string& file) override {
        log_.push_back("read " + section + "/" + key);
        return ConfigIni::Read(section, key, file);
    }
    bool Write(const std::string& section, const std::string& key, const std::string& value,
               const std::string& file) override {
        log_.push_back("write " + section + "/" + key + "=" + value);
        return ConfigIni::Write(section, key, value, file);
    }

private:
    std::vector<std::string>& log_;
};

class ConfigEditorTest : public ::testing::Test {
protected:
    TempFolder tmp;
    GuardedFileSystem fs;
    FakeView view;
    SettingsLocation location{fs, view};
    ConfigEditor editor{fs, location};
    std::string root = tmp.Path() + "\\ProfileSettings";

    std::string Make(const std::string& name, const std::string& text) {
        const std::string path = tmp / name;
        EXPECT_TRUE(fs.WriteFile(path, text));
        return path;
    }
    std::string Text(const std::string& path) { return testing::Bytes(fs, path).value_or("<missing>"); }

    // The template's values, as its first load shows them.
    static FrameworkConfig TemplateValues(Switch backup) {
        FrameworkConfig m;
        m.refreshWindowsAppearance = m.refreshKeyboard = m.refreshMouse = m.enablePasswords = 1;
        m.enableCertificates = m.compression = 0;
        m.compressionPriority = 2;   // NORMAL
        m.storeRoot = StoreRoot::Auto;
        m.storeFolder = "SETTINGS\\VELA";
        m.disableBackup = backup;
        m.displayFrameworkError = 0;
        m.displayProflwizError = 0;
        return m;
    }
};

// ---- load ------------------------------------------------------------------------------------

TEST_F(ConfigEditorTest, TemplateFileLoadsAsTheTemplateSays) {
    const std::string file = Make("framework.ini", NewConfigFileText());
    for (Switch backup : {0, 1, 2}) {
        SCOPED_TRACE(backup);
        editor.model = FrameworkConfig{};
        editor.model.disableBackup = backup;   // no line for it in the template: kept
        editor.model.storeRootPath = "T:";     // AUTO leaves the path text alone
        editor.LoadConfig(file);
        FrameworkConfig expected = TemplateValues(backup);
        expected.storeRootPath = "T:";
        EXPECT_EQ(editor.model, expected);
    }
    EXPECT_EQ(editor.ConfigFilePath(), file);
    EXPECT_EQ(editor.ConfigFolder(), tmp.Path());
    EXPECT_TRUE(fs.FolderExists(root)) << "the store root is made on load";
    EXPECT_EQ(view.shown.back(), root);
    EXPECT_EQ(Text(file), NewConfigFileText()) << "a load writes nothing";
}

TEST_F(ConfigEditorTest, SwitchValues) {
    struct Case { std::string value; Switch before, after; };
    const Case cases[] = {
        {"0", 1, 0}, {"1", 0, 1}, {"2", 0, 2}, {"01", 0, 1}, {"+1", 0, 1}, {"-0", 1, 0},
        {"\" 1 \"", 0, 1},                              // quotes removed by the reader, blanks by us
        {"5", 1, 1}, {"3", 2, 2}, {"-1", 1, 1}, {"99999999999999999999", 1, 1},
        {"2x", 0, 0}, {"x2", 1, 1}, {"1.0", 0, 0}, {"on", 0, 0}, {"", 1, 1}, {"-", 1, 1},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("REFRESH_MOUSE=" + c.value);
        const std::string file = Make(Numbered("s", i++), Ini({"[MAIN]", "REFRESH_MOUSE=" + c.value}));
        editor.model.refreshMouse = c.before;
        editor.LoadConfig(file);
        EXPECT_EQ(editor.model.refreshMouse, c.after);
    }
}

TEST_F(ConfigEditorTest, EachKeyIsReadFromItsOwnSectionIntoItsOwnField) {
    const std::string file = Make("keys.ini", Ini({
        "[MAIN]",
        "REFRESH_WINDOWS_APPEARANCE=1", "refresh_keyboard=2", "REFRESH_MOUSE=0", "ENABLE_PASSWORDS=2",
        "ENABLE_CERTIFICATES=1", "COMPRESSION=2", "COMPRESSION_PRIORITY=HIGH",
        "STOREFOLDER=wrong section", "DISPLAY_PROFLWIZ_ERROR=1",
        "[LOCATIONS]",
        "disable_backup=2", "STOREROOT=3", "STOREFOLDER=Profiles\\Vela", "COMPRESSION=0",
        "[ERRORMESSAGES]",
        "DISPLAY_FRAMEWORK_ERROR=1", "DISPLAY_PROFLWIZ_ERROR=2",
    }));
    editor.model.refreshMouse = 1;
    editor.LoadConfig(file);
    FrameworkConfig expected;
    expected.refreshWindowsAppearance = 1;
    expected.refreshKeyboard = 2;
    expected.refreshMouse = 0;
    expected.enablePasswords = 2;
    expected.enableCertificates = 1;
    expected.compression = 2;
    expected.compressionPriority = 4;
    expected.storeRoot = StoreRoot::TerminalServerHomeDrive;
    expected.storeFolder = "Profiles\\Vela";
    expected.disableBackup = 2;
    expected.displayFrameworkError = 1;
    expected.displayProflwizError = 2;
    EXPECT_EQ(editor.model, expected);
}

TEST_F(ConfigEditorTest, CompressionPriority) {
    struct Case { std::string value; std::optional<int> before, after; };
    const Case cases[] = {
        {"LOW", std::nullopt, 0}, {"BELOWNORMAL", 4, 1}, {"NORMAL", 0, 2}, {"ABOVENORMAL", 0, 3},
        {"HIGH", 0, 4},
        {"high", 0, 4}, {"Normal", std::nullopt, 2},    // letter case ignored
        {"\" LOW \"", 4, 0},
        {"MEDIUM", 3, 3}, {"NORMAL2", 1, 1}, {"2", 0, 0},   // names no entry: kept
        {"", 3, std::nullopt},                              // empty: cleared
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("COMPRESSION_PRIORITY=" + c.value);
        const std::string file = Make(Numbered("p", i++), Ini({"[MAIN]", "COMPRESSION_PRIORITY=" + c.value}));
        editor.model.compressionPriority = c.before;
        editor.LoadConfig(file);
        EXPECT_EQ(editor.model.compressionPriority, c.after);
    }
    editor.model.compressionPriority = 2;
    editor.LoadConfig(Make("nokey.ini", Ini({"[MAIN]"})));
    EXPECT_EQ(editor.model.compressionPriority, std::nullopt) << "a missing key reads as empty";
}

TEST_F(ConfigEditorTest, StoreRoot) {
    struct Case { std::string value; StoreRoot root; std::string path; };
    const Case cases[] = {
        {"1", StoreRoot::Auto, "old"},
        {"2", StoreRoot::UserHomeDrive, "old"},
        {"3", StoreRoot::TerminalServerHomeDrive, "old"},
        {"\" 2 \"", StoreRoot::UserHomeDrive, "old"},
        {"T:", StoreRoot::Specify, "T:"},
        {"\\\\server\\share\\profiles", StoreRoot::Specify, "\\\\server\\share\\profiles"},
        {"4", StoreRoot::Specify, "4"},
        {"0", StoreRoot::Specify, "0"},
        {"1x", StoreRoot::Specify, "1x"},
        {"", StoreRoot::Specify, ""},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("STOREROOT=" + c.value);
        const std::string file = Make(Numbered("r", i++), Ini({"[LOCATIONS]", "STOREROOT=" + c.value}));
        editor.model.storeRoot = StoreRoot::Auto;
        editor.model.storeRootPath = "old";
        editor.LoadConfig(file);
        EXPECT_EQ(editor.model.storeRoot, c.root);
        EXPECT_EQ(editor.model.storeRootPath, c.path);
    }
}

TEST_F(ConfigEditorTest, StoreFolderIsReplacedEvenByNothing) {
    struct Case { std::string text, folder; };
    const Case cases[] = {
        {Ini({"[LOCATIONS]", "STOREFOLDER=a\\b\\c"}), "a\\b\\c"},
        {Ini({"[LOCATIONS]", "STOREFOLDER="}), ""},
        {Ini({"[LOCATIONS]", "STOREROOT=1"}), ""},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        editor.model.storeFolder = "SETTINGS\\VELA";
        editor.LoadConfig(Make(Numbered("f", i++), c.text));
        EXPECT_EQ(editor.model.storeFolder, c.folder);
    }
}

TEST_F(ConfigEditorTest, ErrorMessageLists) {
    struct Case { std::string key, value; std::optional<int> before, after; };
    const Case cases[] = {
        {"DISPLAY_FRAMEWORK_ERROR", "0", std::nullopt, 0},
        {"DISPLAY_FRAMEWORK_ERROR", "2", 0, 2},
        {"DISPLAY_FRAMEWORK_ERROR", "3", 1, std::nullopt},   // outside the list: cleared
        {"DISPLAY_FRAMEWORK_ERROR", "-1", 1, std::nullopt},
        {"DISPLAY_FRAMEWORK_ERROR", "x", 1, 1},              // no number: kept
        {"DISPLAY_FRAMEWORK_ERROR", "", 2, 2},
        {"DISPLAY_PROFLWIZ_ERROR", "3", 0, 3},
        {"DISPLAY_PROFLWIZ_ERROR", "4", 3, std::nullopt},
        {"DISPLAY_PROFLWIZ_ERROR", "1x", 2, 2},
        {"DISPLAY_PROFLWIZ_ERROR", "", std::nullopt, std::nullopt},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key + "=" + c.value);
        const bool framework = c.key == "DISPLAY_FRAMEWORK_ERROR";
        std::optional<int>& field = framework ? editor.model.displayFrameworkError : editor.model.displayProflwizError;
        std::optional<int>& other = framework ? editor.model.displayProflwizError : editor.model.displayFrameworkError;
        field = c.before;
        other = 1;
        editor.LoadConfig(Make(Numbered("e", i++), Ini({"[ERRORMESSAGES]", c.key + "=" + c.value})));
        EXPECT_EQ(field, c.after);
        EXPECT_EQ(other, 1) << "the other list's key is missing";
    }
}

// ---- which file is current -------------------------------------------------------------------

TEST_F(ConfigEditorTest, MissingFileKeepsTheCurrentOneAndReadsItAgain) {
    const std::string file = Make("framework.ini", NewConfigFileText());
    editor.LoadConfig(file);
    editor.model.refreshMouse = 0;           // unsaved edits
    editor.model.storeFolder = "edited";
    editor.model.compressionPriority.reset();
    for (const std::string& path : {tmp / "missing.ini", tmp.Path(), std::string()}) {
        SCOPED_TRACE("'" + path + "'");
        editor.LoadConfig(path);
        EXPECT_EQ(editor.ConfigFilePath(), file);
        EXPECT_EQ(editor.ConfigFolder(), tmp.Path());
        EXPECT_EQ(editor.model, TemplateValues(0)) << "the edits are replaced by the file's values";
    }
}

TEST_F(ConfigEditorTest, MissingFileWithNoCurrentFile) {
    editor.LoadConfig(tmp / "missing.ini");
    EXPECT_EQ(editor.ConfigFilePath(), "");
    EXPECT_EQ(editor.ConfigFolder(), "");
    FrameworkConfig expected;
    expected.storeFolder = "";
    expected.storeRoot = StoreRoot::Specify;
    expected.storeRootPath = "";
    EXPECT_EQ(editor.model, expected);
    EXPECT_EQ(fs.refused, std::vector<std::string>{"\\ProfileSettings"}) << "the store root of no folder";
    EXPECT_EQ(location.CurrentSettingsFolder(), "\\ProfileSettings");
}

TEST_F(ConfigEditorTest, AFileInAnotherFolderMovesTheSettingsList) {
    TempFolder other;
    for (const std::string& folder : {tmp.Path(), other.Path()}) {
        ASSERT_TRUE(fs.CreateFolder(folder + "\\ProfileSettings"));
        ASSERT_TRUE(fs.CreateFolder(folder + "\\ProfileSettings\\Web"));
        ASSERT_TRUE(fs.WriteFile(folder + testing::Separator() + "framework.ini", NewConfigFileText()));
    }
    view.picked = "Web";
    editor.LoadConfig(tmp / "framework.ini");
    EXPECT_EQ(view.shown.back(), root + "\\Web");
    editor.LoadConfig(other / "framework.ini");
    EXPECT_EQ(editor.ConfigFolder(), other.Path());
    EXPECT_EQ(view.shown.back(), other.Path() + "\\ProfileSettings\\Web");
}

TEST_F(ConfigEditorTest, UntitledFileBecomesCurrentWithoutALoadAndSaveCreatesIt) {
    editor.SetUntitled(tmp.Path());
    EXPECT_EQ(editor.ConfigFilePath(), tmp / "untitledconfig.ini");
    EXPECT_EQ(editor.ConfigFolder(), tmp.Path());
    EXPECT_TRUE(view.shown.empty());
    EXPECT_FALSE(fs.FolderExists(root));
    EXPECT_EQ(editor.model, FrameworkConfig{});

    editor.SaveConfig(editor.ConfigFilePath());
    const std::string text = Text(tmp / "untitledconfig.ini");
    EXPECT_EQ(text.find(';'), std::string::npos);
    EXPECT_EQ(ReadIniValue("LOCATIONS", "STOREFOLDER", editor.ConfigFilePath()), "SETTINGS\\VELA");
    EXPECT_EQ(editor.model, FrameworkConfig{}) << "start values survive a save and load";
}

// ---- the order of the steps ------------------------------------------------------------------

TEST_F(ConfigEditorTest, StepsRunInTheirOrder) {
    std::vector<std::string> log;
    LoggingIni ini(log);
    view.log = &log;
    ConfigEditor logged(fs, location, ini);
    const std::string file = Make("framework.ini", NewConfigFileText());

    const std::vector<std::string> reads = {
        "read LOCATIONS/Disable_Backup",
        "read MAIN/REFRESH_WINDOWS_APPEARANCE", "read MAIN/REFRESH_KEYBOARD", "read MAIN/REFRESH_MOUSE",
        "read MAIN/ENABLE_PASSWORDS", "read MAIN/ENABLE_CERTIFICATES", "read MAIN/COMPRESSION",
        "read MAIN/COMPRESSION_PRIORITY",
        "read LOCATIONS/STOREROOT", "read LOCATIONS/STOREFOLDER",
        "read ERRORMESSAGES/DISPLAY_FRAMEWORK_ERROR", "read ERRORMESSAGES/DISPLAY_PROFLWIZ_ERROR",
    };
    std::vector<std::string> expected = {"show " + root, "show " + root};
    expected.insert(expected.end(), reads.begin(), reads.end());
    logged.LoadConfig(file);
    EXPECT_EQ(log, expected);

    log.clear();
    logged.model.disableBackup = 1;
    logged.model.storeRoot = StoreRoot::Specify;
    logged.model.storeRootPath = "T:";
    logged.model.displayFrameworkError.reset();
    logged.SaveConfig(file);
    expected = {
        "show " + root, "show " + root,
        "write LOCATIONS/Disable_Backup=1",
        "write MAIN/REFRESH_WINDOWS_APPEARANCE=1", "write MAIN/REFRESH_KEYBOARD=1", "write MAIN/REFRESH_MOUSE=1",
        "write MAIN/ENABLE_PASSWORDS=1", "write MAIN/ENABLE_CERTIFICATES=0", "write MAIN/COMPRESSION=0",
        "write MAIN/COMPRESSION_PRIORITY=NORMAL",
        "write LOCATIONS/STOREROOT=T:", "write LOCATIONS/STOREFOLDER=SETTINGS\\VELA",
        "write ERRORMESSAGES/DISPLAY_PROFLWIZ_ERROR=0",
        "show " + root, "show " + root,
    };
    expected.insert(expected.end(), reads.begin(), reads.end());
    EXPECT_EQ(log, expected);
}

// ---- save ------------------------------------------------------------------------------------

TEST_F(ConfigEditorTest, SaveKeepsCommentsAndUnknownLinesByteForByte) {
    const std::vector<std::string> before = Lines(NewConfigFileText() + Ini({
        "[MAIN]",                            // a repeated section header: its keys are never used
        "REFRESH_MOUSE=1",
        "[CUSTOM]", "; kept", "Foo = bar ", "NoEquals", "", "[LOCATIONS_OLD]", "STOREROOT=9",
    }));
    std::string original;
    for (size_t i = 0; i < before.size(); ++i) {
        // An unknown key inside MAIN and a line with a lone LF must survive as well.
        original += before[i] + "\r\n";
        if (before[i] == "COMPRESSION=0") original += "X_UNKNOWN=7\r\n; \xE4 high-byte comment\r\n; LF only\n";
    }
    const std::string file = Make("framework.ini", original);
    editor.LoadConfig(file);
    editor.model.refreshMouse = 0;
    editor.model.compressionPriority = 0;
    editor.model.storeRoot = StoreRoot::Specify;
    editor.model.storeRootPath = "\\\\srv\\share";
    editor.SaveConfig(file);

    // What the save may change: the values of its own keys, and one added DISABLE_BACKUP line.
    std::string expected = original;
    for (auto [from, to] : {std::pair<std::string, std::string>{"REFRESH_MOUSE=1\r\n\r\n", "REFRESH_MOUSE=0\r\n\r\n"},
                            {"COMPRESSION_PRIORITY=NORMAL", "COMPRESSION_PRIORITY=LOW"},
                            {"STOREROOT=1", "STOREROOT=\\\\srv\\share"}}) {
        const size_t at = expected.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        expected.replace(at, from.size(), to);
    }
    std::string saved = Text(file);
    const std::string added = "DISABLE_BACKUP=0\r\n";
    const size_t at = saved.find(added);
    ASSERT_NE(at, std::string::npos) << saved;
    EXPECT_GT(at, saved.find("[LOCATIONS]"));
    EXPECT_LT(at, saved.find("[ERRORMESSAGES]"));
    saved.erase(at, added.size());
    if (!testing::RunningUnderWine()) {
        EXPECT_EQ(saved, expected);
        return;
    }
    // Wine's profile writer (unlike Windows') rewrites the whole file: it drops blank lines, ends
    // every line in CR LF and closes blanks around '='.  Every line must still be there, in order.
    EXPECT_EQ(WineRewritten(saved), WineRewritten(expected));
}

TEST_F(ConfigEditorTest, SaveLeavesUnselectedErrorKeysAndEmptiesAnUnselectedPriority) {
    const std::string file = Make("framework.ini", Ini({
        "[MAIN]", "COMPRESSION_PRIORITY=HIGH",
        "[ERRORMESSAGES]", "DISPLAY_FRAMEWORK_ERROR=2", "DISPLAY_PROFLWIZ_ERROR=7",
    }));
    editor.LoadConfig(file);
    ASSERT_EQ(editor.model.displayFrameworkError, 2);
    ASSERT_EQ(editor.model.displayProflwizError, std::nullopt) << "7 is outside the list";
    editor.model.displayFrameworkError.reset();
    editor.model.compressionPriority.reset();
    editor.SaveConfig(file);
    EXPECT_EQ(ReadIniValue("ERRORMESSAGES", "DISPLAY_FRAMEWORK_ERROR", file), "2");
    EXPECT_EQ(ReadIniValue("ERRORMESSAGES", "DISPLAY_PROFLWIZ_ERROR", file), "7");
    EXPECT_EQ(ReadIniValue("MAIN", "COMPRESSION_PRIORITY", file), "");
    EXPECT_NE(Text(file).find("COMPRESSION_PRIORITY=\r\n"), std::string::npos) << "the key stays, without a value";
    EXPECT_EQ(editor.model.displayFrameworkError, 2) << "the closing load shows the file";
    EXPECT_EQ(editor.model.compressionPriority, std::nullopt);
}

TEST_F(ConfigEditorTest, SaveUnderANewNameWritesEveryKeyAndMovesTheStore) {
    editor.LoadConfig(Make("framework.ini", NewConfigFileText()));
    ASSERT_TRUE(fs.CreateFolder(tmp / "site"));
    const std::string file = tmp / "site/new.ini";
    editor.model.disableBackup = 1;
    editor.model.displayProflwizError = 3;
    const FrameworkConfig edited = editor.model;
    editor.SaveConfig(file);

    EXPECT_EQ(editor.ConfigFilePath(), file);
    EXPECT_EQ(editor.ConfigFolder(), tmp / "site");
    EXPECT_TRUE(fs.FolderExists(tmp / "site/ProfileSettings"));
    EXPECT_EQ(view.shown.back(), tmp / "site" + "\\ProfileSettings");
    EXPECT_EQ(editor.model, edited);

    const std::string text = Text(file);
    EXPECT_EQ(text.find(';'), std::string::npos) << "no template comments: " << text;
    const std::pair<std::string, std::string> keys[] = {
        {"LOCATIONS", "DISABLE_BACKUP=1"}, {"MAIN", "REFRESH_WINDOWS_APPEARANCE=1"}, {"MAIN", "REFRESH_KEYBOARD=1"},
        {"MAIN", "REFRESH_MOUSE=1"}, {"MAIN", "ENABLE_PASSWORDS=1"}, {"MAIN", "ENABLE_CERTIFICATES=0"},
        {"MAIN", "COMPRESSION=0"}, {"MAIN", "COMPRESSION_PRIORITY=NORMAL"}, {"LOCATIONS", "STOREROOT=1"},
        {"LOCATIONS", "STOREFOLDER=SETTINGS\\VELA"}, {"ERRORMESSAGES", "DISPLAY_FRAMEWORK_ERROR=0"},
        {"ERRORMESSAGES", "DISPLAY_PROFLWIZ_ERROR=3"},
    };
    const std::vector<std::string> lines = Lines(text);
    for (const auto& [section, line] : keys) {
        SCOPED_TRACE(line);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << "upper-case key, written once";
        const std::string key = line.substr(0, line.find('='));
        EXPECT_EQ(ReadIniValue(section, key, file), line.substr(line.find('=') + 1));
    }
    // Sections appear in the order their first key was written.
    const size_t locations = text.find("[LOCATIONS]"), main = text.find("[MAIN]"), errors = text.find("[ERRORMESSAGES]");
    EXPECT_LT(locations, main);
    EXPECT_LT(main, errors);
    EXPECT_NE(errors, std::string::npos);
}

TEST_F(ConfigEditorTest, SavedValuesComeBackUnchanged) {
    struct Case { std::string what; FrameworkConfig model; };
    std::vector<Case> cases;
    for (std::string path : {"T:", "\\\\server\\share\\profiles", ""}) {
        FrameworkConfig m;
        m.storeRoot = StoreRoot::Specify;
        m.storeRootPath = path;
        cases.push_back({"SPECIFY '" + path + "'", m});
    }
    for (StoreRoot r : {StoreRoot::Auto, StoreRoot::UserHomeDrive, StoreRoot::TerminalServerHomeDrive}) {
        FrameworkConfig m;
        m.storeRoot = r;
        m.storeRootPath = "T:";   // kept in the field, not written
        cases.push_back({"root " + std::to_string(static_cast<int>(r)), m});
    }
    FrameworkConfig twos;
    twos.refreshWindowsAppearance = twos.refreshKeyboard = twos.refreshMouse = twos.enablePasswords = 2;
    twos.enableCertificates = twos.compression = twos.disableBackup = 2;
    cases.push_back({"indeterminate switches", twos});
    for (int p = 0; p < 5; ++p) {
        FrameworkConfig m;
        m.compressionPriority = p;
        m.displayFrameworkError = p % 3;
        m.displayProflwizError = p % 4;
        m.storeFolder = "a\\b";
        cases.push_back({"lists " + std::to_string(p), m});
    }
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = tmp / (Numbered("v", i++));
        editor.model = c.model;
        editor.SaveConfig(file);
        if (c.model.compression == 2) {
            EXPECT_EQ(ReadIniValue("MAIN", "COMPRESSION", file), "2");
        }
        EXPECT_EQ(editor.model, c.model) << "after the closing load";
        editor.model = FrameworkConfig{};
        editor.model.storeRootPath = c.model.storeRootPath;
        editor.LoadConfig(file);
        EXPECT_EQ(editor.model, c.model) << "after a fresh load";
    }
}

TEST_F(ConfigEditorTest, SaveIntoAMissingFolderKeepsTheCurrentFileAndTheEdits) {
    const std::string current = Make("framework.ini", NewConfigFileText());
    editor.LoadConfig(current);
    editor.model.compression = 1;
    const FrameworkConfig edited = editor.model;
    const std::string file = tmp / "missing/new.ini";
    EXPECT_EQ(editor.SaveConfig(file), WriteAccess::MissingFolder);
    EXPECT_FALSE(fs.FolderExists(tmp / "missing"));
    EXPECT_EQ(editor.ConfigFilePath(), current) << "the current file moved to one that was never written";
    EXPECT_EQ(editor.ConfigFolder(), fs.ParentFolder(current));
    EXPECT_EQ(editor.model, edited);
}

// Writes through inimod until it has written `allowed` keys, then refuses: a disk that fills up
// (or a lock taken by another program) between the check and the last key.
class GivingOutIni : public ConfigIni {
public:
    explicit GivingOutIni(int allowed) : left_(allowed) {}
    bool Write(const std::string& section, const std::string& key, const std::string& value,
               const std::string& file) override {
        return left_-- > 0 && ConfigIni::Write(section, key, value, file);
    }

private:
    int left_;
};

TEST_F(ConfigEditorTest, AWriteFailingHalfWayPutsTheFileBackAndKeepsTheEdits) {
    const std::string current = Make("framework.ini", NewConfigFileText());
    const std::string copy = tmp / "copy.ini";
    for (const std::string& target : {current, copy}) {
        SCOPED_TRACE(target);
        GivingOutIni ini(3);
        ConfigEditor halfWay(fs, location, ini);
        ASSERT_TRUE(halfWay.LoadConfig(current));
        halfWay.model.refreshWindowsAppearance = 0;   // the first keys written
        halfWay.model.compression = 1;                // one after the failure
        const FrameworkConfig edited = halfWay.model;
        EXPECT_EQ(halfWay.SaveConfig(target), WriteAccess::Other);
        EXPECT_EQ(Text(current), NewConfigFileText());
        EXPECT_FALSE(fs.FileExists(copy)) << "a file begun by the failed save stays behind";
        EXPECT_EQ(halfWay.ConfigFilePath(), current);
        EXPECT_EQ(halfWay.model, edited);
    }
}

TEST_F(ConfigEditorTest, ASwitchOutsideItsStatesIsNotWritten) {
    const std::string file = Make("framework.ini", NewConfigFileText());
    editor.LoadConfig(file);
    editor.model.refreshKeyboard = 7;
    editor.model.compressionPriority = 9;
    editor.model.displayFrameworkError = 5;
    editor.SaveConfig(file);
    EXPECT_EQ(ReadIniValue("MAIN", "REFRESH_KEYBOARD", file), "1");
    EXPECT_EQ(ReadIniValue("MAIN", "COMPRESSION_PRIORITY", file), "");
    EXPECT_EQ(ReadIniValue("ERRORMESSAGES", "DISPLAY_FRAMEWORK_ERROR", file), "0");
    EXPECT_EQ(editor.model.refreshKeyboard, 1);
}

TEST_F(ConfigEditorTest, NoCurrentFileMeansNoIniAccessAtAll) {
    // The profile functions would look for an empty file name in the Windows folder.
    std::vector<std::string> log;
    LoggingIni ini(log);
    ConfigEditor logged(fs, location, ini);
    logged.SaveConfig("");
    logged.LoadConfig("");
    logged.LoadConfig(tmp / "missing.ini");
    EXPECT_EQ(logged.ConfigFilePath(), "");
    EXPECT_TRUE(log.empty()) << log.front();
    EXPECT_EQ(logged.model.storeFolder, "");
}

}  // namespace
}  // namespace vela
