// VelaConfig.exe started for real and worked from outside, as an administrator would: the main
// window and its controls are found by their captions, boxes are clicked, lists picked, the File
// menu driven with the keyboard and the real file dialogs answered.  The outcome is read from the
// files the program writes and from the stand-in reg.exe's log.
//
// Each test copies the program into a fresh temporary program folder (where the untitled file and
// the first open dialog point).  The stand-in reg.exe takes the place of the system folder's tool
// in the tests' Wine prefix, and another copy is planted in the program's current folder, where
// the executable search would look first: only the system folder's may run.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "admin/config/config_template.h"
#include "admin/store/settings_files.h"
#include "admin/window/testing/driver.h"
#include "admin/window/testing/support.h"

namespace {

namespace d = vela::testing;
using vela::testing::TempFolder;

// VELA_E2E_PROGRAM names another build of the program to test (a Windows path), e.g. to see a
// deliberately broken build fail these tests.
const std::string kProgramExe = vela::testing::GetEnv("VELA_E2E_PROGRAM").value_or(vela::testing::WinPath(VELA_CONFIG_EXE));
const std::string kFakeRegExe = vela::testing::WinPath(VELA_FAKE_REG_EXE);
const std::string kFakeRegDir = vela::testing::ParentOf(kFakeRegExe);
const std::string kCaption = "Vela Profile Administration";
const std::string kOpenTitle = "Open VelaFramework config file";
const std::string kNewTitle = "New Vela Configuration file";
const std::string kSaveAsTitle = "Save VelaFramework config as";
const std::string kUnloadCommand = "reg unload HKU\\tmphive ";
constexpr int kUnloadLingerMs = 1500;

std::string SystemRegTool() {
    char folder[MAX_PATH] = {};
    ::GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\reg.exe";
}

// --- INI files as the tests read them --------------------------------------------------------

struct IniEntry {
    std::string section;  // as written in the header
    std::string key;      // as written in the file
    std::string value;    // blanks around it removed
};

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string Upper(std::string s) {
    for (char& c : s) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return s;
}

// The lines of a CR LF text; false in `crlf` when some line ends in a bare LF or CR.
std::vector<std::string> Lines(const std::string& text, bool* crlf = nullptr) {
    std::vector<std::string> lines;
    bool ok = true;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t eol = text.find('\n', pos);
        std::string line = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        if (eol == std::string::npos || line.empty() || line.back() != '\r') ok = false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find('\r') != std::string::npos) ok = false;
        lines.push_back(line);
        if (eol == std::string::npos) break;
        pos = eol + 1;
    }
    if (crlf) *crlf = ok;
    return lines;
}

std::vector<IniEntry> Entries(const std::string& text) {
    std::vector<IniEntry> entries;
    std::string section;
    for (const auto& raw : Lines(text)) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
        } else if (const auto eq = line.find('='); eq != std::string::npos) {
            entries.push_back({section, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))});
        }
    }
    return entries;
}

// The value of `key` in `section` (names matched ignoring case), as a reader would get it.
std::optional<std::string> IniValue(const std::string& text, const std::string& section, const std::string& key) {
    for (const auto& e : Entries(text))
        if (Upper(e.section) == Upper(section) && Upper(e.key) == Upper(key)) return e.value;
    return std::nullopt;
}

// The lines a save must leave alone: everything but the entries of the keys the program writes.
std::vector<std::string> UntouchedLines(const std::string& text) {
    static const std::vector<std::string> written = {
        "REFRESH_WINDOWS_APPEARANCE", "REFRESH_KEYBOARD", "REFRESH_MOUSE", "ENABLE_PASSWORDS",
        "ENABLE_CERTIFICATES", "COMPRESSION", "COMPRESSION_PRIORITY", "STOREROOT", "STOREFOLDER",
        "DISABLE_BACKUP", "DISPLAY_FRAMEWORK_ERROR", "DISPLAY_PROFLWIZ_ERROR"};
    std::vector<std::string> kept;
    for (const auto& line : Lines(text)) {
        const auto eq = line.find('=');
        const std::string t = Trim(line);
        if (eq != std::string::npos && !t.empty() && t[0] != ';' && t[0] != '[' &&
            std::find(written.begin(), written.end(), Upper(Trim(line.substr(0, eq)))) != written.end())
            continue;
        kept.push_back(line);
    }
    while (!kept.empty() && kept.back().empty()) kept.pop_back();  // where an added key went may vary
    return kept;
}

// `lines` as Wine's profile writer leaves them: blank lines dropped, entries trimmed around "=".
std::vector<std::string> WithoutBlanks(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines) {
        const std::string t = Trim(line);
        if (t.empty()) continue;
        const auto eq = t.find('=');
        out.push_back(t[0] == ';' || t[0] == '[' || eq == std::string::npos
                          ? line
                          : Trim(t.substr(0, eq)) + "=" + Trim(t.substr(eq + 1)));
    }
    return out;
}

// A configuration unlike the template in every field, so a load of either shows.
const std::string kDistinctConfig =
    "; kept as it is\r\n"
    "[MAIN]\r\n"
    "REFRESH_WINDOWS_APPEARANCE=0\r\n"
    "REFRESH_KEYBOARD=1\r\n"
    "REFRESH_MOUSE=2\r\n"
    "ENABLE_PASSWORDS=0\r\n"
    "ENABLE_CERTIFICATES=1\r\n"
    "COMPRESSION=1\r\n"
    "COMPRESSION_PRIORITY=HIGH\r\n"
    "[LOCATIONS]\r\n"
    "STOREROOT=\\\\srv\\share\r\n"
    "STOREFOLDER=PROFILES\\X\r\n"
    "Disable_Backup=1\r\n"
    "[ERRORMESSAGES]\r\n"
    "DISPLAY_FRAMEWORK_ERROR=2\r\n"
    "DISPLAY_PROFLWIZ_ERROR=3\r\n";

// --- The first tab, found as a person finds it -----------------------------------------------

struct FirstTab {
    HWND refreshAppearance, refreshKeyboard, refreshMouse, enablePasswords, enableCertificates, compression;
    HWND priority, frameworkError, proflwizError;
    HWND autoRoot, userHomeDrive, tsHomeDrive, specify, specifyPath, storeFolder, disableBackup;

    static FirstTab Find(HWND main) {
        FirstTab t{};
        t.refreshAppearance = d::FindControl(main, "Button", "Refresh Appearance");
        t.refreshKeyboard = d::FindControl(main, "Button", "Refresh Keyboard");
        t.refreshMouse = d::FindControl(main, "Button", "Refresh Mouse");
        t.enablePasswords = d::FindControl(main, "Button", "Enable Passwords");
        t.enableCertificates = d::FindControl(main, "Button", "Enable Certificates");
        t.compression = d::FindControl(main, "Button", "Compression");
        t.priority = d::FindComboWithItem(main, "BELOWNORMAL");
        t.frameworkError = d::FindControlAfter(main, "DISPLAY FRAMEWORK ERROR", "ComboBox");
        t.proflwizError = d::FindControlAfter(main, "DISPLAY PROFLWIZ ERROR", "ComboBox");
        t.autoRoot = d::FindControl(main, "Button", "AUTO (%HOMEDRIVE%)");
        t.userHomeDrive = d::FindControl(main, "Button", "USER HOMEDRIVE (AD)");
        t.tsHomeDrive = d::FindControl(main, "Button", "TERMINALSERVER HOMEDRIVE (AD)");
        t.specify = d::FindControl(main, "Button", "SPECIFY:");
        t.specifyPath = d::FindControlAfter(main, "SPECIFY:", "Edit");
        t.storeFolder = d::FindControlAfter(main, "STOREFOLDER:", "Edit");
        t.disableBackup = d::FindControl(main, "Button", "Disable backup");
        return t;
    }
    [[nodiscard]] bool Complete() const {
        for (HWND w : {refreshAppearance, refreshKeyboard, refreshMouse, enablePasswords, enableCertificates,
                       compression, priority, frameworkError, proflwizError, autoRoot, userHomeDrive,
                       tsHomeDrive, specify, specifyPath, storeFolder, disableBackup})
            if (!w) return false;
        return true;
    }
    // What the editor shows, one line per field, for comparisons with a readable failure.
    [[nodiscard]] std::map<std::string, std::string> Shown() const {
        auto check = [](HWND b) { return std::to_string(d::CheckState(b)); };
        std::string root = d::CheckState(autoRoot) == BST_CHECKED        ? "AUTO"
                           : d::CheckState(userHomeDrive) == BST_CHECKED ? "USER"
                           : d::CheckState(tsHomeDrive) == BST_CHECKED   ? "TS"
                           : d::CheckState(specify) == BST_CHECKED       ? "SPECIFY"
                                                                         : "none";
        return {{"Check1", check(refreshAppearance)},   {"Check2", check(refreshKeyboard)},
                {"Check3", check(refreshMouse)},        {"Check7", check(enablePasswords)},
                {"Check4", check(enableCertificates)},  {"Check5", check(compression)},
                {"Combo2", d::ComboText(priority)},     {"root", root},
                {"Text1", d::TextOf(specifyPath)},      {"Text2", d::TextOf(storeFolder)},
                {"Checkbackup", check(disableBackup)},  {"Combo3", std::to_string(d::ComboSelection(frameworkError))},
                {"Combo4", std::to_string(d::ComboSelection(proflwizError))}};
    }
};

// What the editor shows for a file made from the template (the backup box keeps its state).
std::map<std::string, std::string> TemplateShown(const std::string& backup, const std::string& text1) {
    return {{"Check1", "1"},     {"Check2", "1"},      {"Check3", "1"},      {"Check7", "1"},
            {"Check4", "0"},     {"Check5", "0"},      {"Combo2", "NORMAL"}, {"root", "AUTO"},
            {"Text1", text1},    {"Text2", "SETTINGS\\VELA"}, {"Checkbackup", backup},
            {"Combo3", "0"},     {"Combo4", "0"}};
}

std::map<std::string, std::string> DistinctShown() {
    return {{"Check1", "0"},           {"Check2", "1"},          {"Check3", "2"},
            {"Check7", "0"},           {"Check4", "1"},          {"Check5", "1"},
            {"Combo2", "HIGH"},        {"root", "SPECIFY"},      {"Text1", "\\\\srv\\share"},
            {"Text2", "PROFILES\\X"},  {"Checkbackup", "1"},     {"Combo3", "2"},
            {"Combo4", "3"}};
}

// --- Fixture ---------------------------------------------------------------------------------

std::atomic<DWORD> g_childId{0};

void KillChild() {
    if (const DWORD id = g_childId.load()) {
        if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE, FALSE, id)) {
            ::TerminateProcess(h, 99);
            ::CloseHandle(h);
        }
    }
}

class VelaConfigE2E : public ::testing::Test {
protected:
    TempFolder root_;
    const std::string programFolder_ = root_ / "VelaProgramFolder";
    const std::string programExe_ = programFolder_ + "\\VelaConfig.exe";
    const std::string dataFolder_ = root_ / "data";
    const std::string log_ = root_ / "reg.log";
    // No test may hang the run; the child goes with the test program.
    vela::testing::Watchdog watchdog_{"VelaConfig end-to-end test", 90000, KillChild};
    std::optional<d::Process> app_;
    HWND main_ = nullptr;

    void SetUp() override {
        const auto display = vela::testing::GetEnv("DISPLAY");
        ASSERT_TRUE(display && !display->empty()) << "these tests open windows and need DISPLAY";
        ASSERT_TRUE(vela::testing::FileExists(kProgramExe)) << kProgramExe;
        ASSERT_TRUE(vela::testing::FileExists(kFakeRegExe)) << kFakeRegExe;
        ASSERT_TRUE(::CreateDirectoryA(programFolder_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(dataFolder_.c_str(), nullptr));
        ASSERT_TRUE(::CopyFileA(kProgramExe.c_str(), programExe_.c_str(), FALSE));
        ASSERT_TRUE(vela::testing::InstallFakeRegAsSystemTool(kFakeRegExe))
            << "needs the tests' Wine prefix, started with reg.exe=n in WINEDLLOVERRIDES";
        // The program passes its environment on to reg.exe, so the stand-in's lingering is set
        // before the start: 1.5 s, long enough to see whether the program waits for it.
        vela::testing::ConfigureFakeReg(log_, kUnloadLingerMs);
    }

    void TearDown() override {
        if (app_ && app_->Running()) app_->Kill();
        g_childId = 0;
        // A stand-in still running from the kill would write into the folder being removed.
        d::WaitFor([&] {
            for (const auto& r : vela::testing::ReadFakeRegLog(log_))
                if (!r.ended) return false;
            return true;
        }, 5000);
    }

    // Starts the copied program; `arguments` is the whole command-line tail.
    void Start(const std::string& arguments) {
        app_ = d::Process::Start(programExe_, arguments, kFakeRegDir);
        ASSERT_TRUE(app_.has_value()) << "could not start " << programExe_;
        g_childId = app_->id();
    }

    // Waits for the main window to be shown.
    void WaitForMain() {
        main_ = d::WaitForTopLevel(app_->id(), kCaption);
        ASSERT_NE(main_, nullptr) << "no visible window \"" << kCaption << "\"";
    }

    [[nodiscard]] FirstTab Tab() const {
        FirstTab t = FirstTab::Find(main_);
        EXPECT_TRUE(t.Complete()) << "a control of the first tab was not found by its caption";
        return t;
    }

    [[nodiscard]] std::vector<HWND> Dialogs() const { return d::TopLevelWindows(app_->id(), "#32770"); }

    // A prompt or a question stands centred on the main window (which is well inside the screen).
    void ExpectCentredOnMain(HWND dialog) const {
        RECT main{}, own{};
        ASSERT_TRUE(::GetWindowRect(main_, &main) && ::GetWindowRect(dialog, &own));
        EXPECT_LE(std::abs((main.left + main.right) - (own.left + own.right)), 2) << "not centred across";
        EXPECT_LE(std::abs((main.top + main.bottom) - (own.top + own.bottom)), 2) << "not centred down";
    }

    // Waits until the program has dealt with everything up to now: a sent message is served only
    // once the handler that is running has returned to the message loop.
    void Sync() const {
        DWORD_PTR r = 0;
        ::SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r);
    }

    // Waits until the file at `path` no longer holds `before` (nullopt: until it exists), then
    // until the command that writes it has finished.
    [[nodiscard]] std::optional<std::string> WaitForWrite(const std::string& path,
                                                          const std::optional<std::string>& before) {
        const bool changed = d::WaitFor([&] { return vela::testing::ReadWholeFile(path) != before; }, 10000);
        Sync();
        if (!changed) return before;
        return vela::testing::ReadWholeFile(path);
    }

    // Answers a file dialog with `name` and waits for it to close.  A question the dialog asks on
    // the way (the save dialog's about creating or replacing a file) is answered with Yes; Wine's
    // save dialog does not ask before creating a file, Windows' does.
    void AnswerFileDialog(const std::string& title, const std::string& name) {
        const HWND dlg = d::WaitForTopLevel(app_->id(), title, "#32770");
        ASSERT_NE(dlg, nullptr) << "no dialog \"" << title << "\"";
        ASSERT_TRUE(d::AcceptFileDialog(dlg, name)) << "could not fill in the file name";
        const bool closed = d::WaitFor([&] {
            if (!::IsWindow(dlg) || !::IsWindowVisible(dlg)) return true;
            for (HWND w : Dialogs())
                if (w != dlg && ::GetDlgItem(w, IDYES)) d::PressDialogButton(w, IDYES);
            return false;
        });
        ASSERT_TRUE(closed) << "the dialog \"" << title << "\" stayed open";
    }

    void Menu(char item) { ASSERT_TRUE(d::ChooseMenuItem(main_, 'f', item)) << "File menu item '" << item << "'"; }

    // The ending of the program by `end`: the stand-in reg.exe lingers, and the program must wait
    // for it, end with code 0 and have started exactly one hidden unload.
    void ExpectEndsAfterOneHiddenUnload(const std::function<void()>& end) {
        const auto start = vela::testing::Clock::now();
        end();
        ASSERT_TRUE(d::WaitFor([&] { return !vela::testing::ReadFakeRegLog(log_).empty(); }, 5000))
            << "no reg.exe was started";
        const auto started = vela::testing::MillisSince(start);
        ::Sleep(1000);
        EXPECT_TRUE(app_->Running()) << "the program did not wait for reg.exe";
        ASSERT_TRUE(app_->WaitForExit(10000)) << "the program did not end";
        const auto ended = vela::testing::MillisSince(start);
        EXPECT_GE(ended - started, kUnloadLingerMs - 100);
        EXPECT_EQ(app_->ExitCode(), std::optional<DWORD>(0));
        const auto runs = vela::testing::ReadFakeRegLog(log_);
        ASSERT_EQ(runs.size(), 1u) << "the unload ran more than once";
        EXPECT_EQ(runs[0].commandLine, kUnloadCommand);
        EXPECT_EQ(::lstrcmpiA(runs[0].program.c_str(), SystemRegTool().c_str()), 0)
            << runs[0].program << " ran, not the system folder's reg.exe";
        EXPECT_EQ(runs[0].show, "show=" + std::to_string(SW_HIDE));
        EXPECT_TRUE(runs[0].ended) << "the program ended while reg.exe still ran";
    }
};

// --- Start-up --------------------------------------------------------------------------------

TEST_F(VelaConfigE2E, StartsWithTheFileNamedOnTheCommandLineWithoutADialog) {
    const std::string cfg = dataFolder_ + "\\framework.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, kDistinctConfig));
    ASSERT_NO_FATAL_FAILURE(Start(cfg));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    EXPECT_TRUE(Dialogs().empty()) << "a dialog appeared although a file was named";
    const FirstTab tab = Tab();
    EXPECT_EQ(tab.Shown(), DistinctShown());
    // The lists offer their entries in file order: the position is the value written.
    EXPECT_EQ(d::ComboItems(tab.priority),
              (std::vector<std::string>{"LOW", "BELOWNORMAL", "NORMAL", "ABOVENORMAL", "HIGH"}));
    EXPECT_EQ(d::ComboItems(tab.frameworkError),
              (std::vector<std::string>{"Disable Vela Framework Error Messages",
                                        "Show only error messages during the Logon processes",
                                        "Show only error messages during Logon and Logoff"}));
    EXPECT_EQ(d::ComboItems(tab.proflwizError),
              (std::vector<std::string>{"Run in quiet mode", "Display error messages; suppress progress indicators",
                                        "Display error messages and progress indicators",
                                        "Display progress indicators; suppress error messages"}));
    // Opens on the first tab, the caption stays fixed.
    const HWND tabs = d::FindByClass(main_, WC_TABCONTROLA);
    ASSERT_NE(tabs, nullptr);
    DWORD_PTR shown = 99;
    ::SendMessageTimeoutA(tabs, TCM_GETCURSEL, 0, 0, SMTO_NORMAL, 3000, &shown);
    EXPECT_EQ(shown, 0u);
    EXPECT_TRUE(::IsWindowVisible(Tab().refreshAppearance));
    // The status bar names the current file.
    if (const HWND bar = d::FindByClass(main_, STATUSCLASSNAMEA)) {
        EXPECT_NE(d::TextOf(bar).find(cfg), std::string::npos) << d::TextOf(bar);
    }
    // Loading made the settings store beside the file.
    EXPECT_TRUE(vela::testing::FolderExists(dataFolder_ + "\\ProfileSettings"));
    // Nothing was written.
    EXPECT_EQ(vela::testing::ReadWholeFile(cfg), kDistinctConfig);
}

TEST_F(VelaConfigE2E, StartsWithTheOpenDialogInTheProgramFolder) {
    // A bare name in the dialog is taken from the folder it shows, and only the program folder
    // holds this one.
    ASSERT_TRUE(vela::testing::WriteWholeFile(programFolder_ + "\\marker.ini", kDistinctConfig));
    ASSERT_NO_FATAL_FAILURE(Start(""));
    const HWND dlg = d::WaitForTopLevel(app_->id(), kOpenTitle, "#32770");
    ASSERT_NE(dlg, nullptr) << "no dialog \"" << kOpenTitle << "\"";
    // Start-up runs before the window is shown.
    EXPECT_EQ(d::TopLevelWindows(app_->id(), "").size(), 1u) << "more than the dialog is shown";
    EXPECT_EQ(d::TextOf(d::FileDialogFolderBox(dlg)), "VelaProgramFolder");
    ASSERT_TRUE(d::AcceptFileDialog(dlg, "marker.ini"));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    EXPECT_EQ(Tab().Shown(), DistinctShown());
    EXPECT_TRUE(Dialogs().empty());
}

TEST_F(VelaConfigE2E, CancelledStartThenSaveWritesOnlyTheKeysToTheUntitledFile) {
    ASSERT_NO_FATAL_FAILURE(Start("   "));  // blanks only count as no argument
    const HWND dlg = d::WaitForTopLevel(app_->id(), kOpenTitle, "#32770");
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(d::PressDialogButton(dlg, IDCANCEL));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    const FirstTab tab = Tab();
    // The start values: nothing was loaded.
    EXPECT_EQ(tab.Shown(), (std::map<std::string, std::string>{
                               {"Check1", "0"}, {"Check2", "0"}, {"Check3", "0"}, {"Check7", "0"},
                               {"Check4", "0"}, {"Check5", "0"}, {"Combo2", ""}, {"root", "AUTO"},
                               {"Text1", ""}, {"Text2", "SETTINGS\\VELA"}, {"Checkbackup", "0"},
                               {"Combo3", "-1"}, {"Combo4", "-1"}}));
    const std::string untitled = programFolder_ + "\\untitledconfig.ini";
    EXPECT_FALSE(vela::testing::FileExists(untitled));

    ASSERT_NO_FATAL_FAILURE(Menu('s'));
    const auto text = WaitForWrite(untitled, std::nullopt);
    ASSERT_TRUE(text) << "Save did not write " << untitled;
    EXPECT_TRUE(Dialogs().empty()) << "Save asked for a name";
    bool crlf = false;
    const auto lines = Lines(*text, &crlf);
    EXPECT_TRUE(crlf);
    for (const auto& line : lines) {
        SCOPED_TRACE(line);
        EXPECT_TRUE(line.empty() || line[0] == '[' || line.find('=') != std::string::npos);
        EXPECT_NE(Trim(line).rfind(";", 0), 0u) << "a comment in a file made of written keys";
    }
    std::map<std::string, std::string> values;
    for (const auto& e : Entries(*text)) values[Upper(e.section) + "/" + e.key] = e.value;
    EXPECT_EQ(values, (std::map<std::string, std::string>{
                          {"MAIN/REFRESH_WINDOWS_APPEARANCE", "0"}, {"MAIN/REFRESH_KEYBOARD", "0"},
                          {"MAIN/REFRESH_MOUSE", "0"}, {"MAIN/ENABLE_PASSWORDS", "0"},
                          {"MAIN/ENABLE_CERTIFICATES", "0"}, {"MAIN/COMPRESSION", "0"},
                          {"MAIN/COMPRESSION_PRIORITY", ""}, {"LOCATIONS/STOREROOT", "1"},
                          {"LOCATIONS/STOREFOLDER", "SETTINGS\\VELA"}, {"LOCATIONS/DISABLE_BACKUP", "0"}}))
        << "unselected error lists write nothing; an unselected priority writes an empty value";
}

TEST_F(VelaConfigE2E, StartsWithAPathInQuotationMarksThatHoldsABlank) {
    const std::string folder = root_ / "Vela Config";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string cfg = folder + "\\framework.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, kDistinctConfig));
    ASSERT_NO_FATAL_FAILURE(Start("\"" + cfg + "\" "));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    EXPECT_TRUE(Dialogs().empty()) << "a dialog appeared although a file was named";
    EXPECT_EQ(Tab().Shown(), DistinctShown());
    EXPECT_TRUE(vela::testing::FolderExists(folder + "\\ProfileSettings"));
}

TEST_F(VelaConfigE2E, ATailThatNamesNoFileLoadsNothingAndSaveThenAsksForAName) {
    const std::string cfg = dataFolder_ + "\\framework.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, kDistinctConfig));
    // More than one path in quotation marks: the tail is used as it is and names no file.
    ASSERT_NO_FATAL_FAILURE(Start("\"" + cfg + "\" \"" + cfg + "\""));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    EXPECT_TRUE(Dialogs().empty());
    // Nothing was read: the start values, but STOREFOLDER empty and the store root SPECIFY.
    EXPECT_EQ(Tab().Shown(), (std::map<std::string, std::string>{
                                 {"Check1", "0"}, {"Check2", "0"}, {"Check3", "0"}, {"Check7", "0"},
                                 {"Check4", "0"}, {"Check5", "0"}, {"Combo2", ""}, {"root", "SPECIFY"},
                                 {"Text1", ""}, {"Text2", ""}, {"Checkbackup", "0"},
                                 {"Combo3", "-1"}, {"Combo4", "-1"}}));
    // No file is current, so Save asks for a name; cancelling writes nothing.
    ASSERT_NO_FATAL_FAILURE(Menu('s'));
    const HWND dlg = d::WaitForTopLevel(app_->id(), kSaveAsTitle, "#32770");
    ASSERT_NE(dlg, nullptr) << "Save did not ask for a name";
    ASSERT_TRUE(d::PressDialogButton(dlg, IDCANCEL));
    ASSERT_TRUE(d::WaitFor([&] { return Dialogs().empty(); }));
    Sync();
    EXPECT_EQ(vela::testing::ReadWholeFile(cfg), kDistinctConfig);
    EXPECT_FALSE(vela::testing::FileExists(programFolder_ + "\\untitledconfig.ini"));
}

// --- Open ------------------------------------------------------------------------------------

TEST_F(VelaConfigE2E, OpenLoadsTheChosenFileAndCancelKeepsTheCurrentOne) {
    const std::string cfg = dataFolder_ + "\\framework.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, kDistinctConfig));
    const std::string otherFolder = root_ / "OtherConfigFolder";
    ASSERT_TRUE(::CreateDirectoryA(otherFolder.c_str(), nullptr));
    const std::string fromTemplate = otherFolder + "\\fromtemplate.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(fromTemplate, std::string(vela::NewConfigFileText())));
    ASSERT_NO_FATAL_FAILURE(Start(cfg));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());

    ASSERT_NO_FATAL_FAILURE(Menu('o'));
    HWND dlg = d::WaitForTopLevel(app_->id(), kOpenTitle, "#32770");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(d::TextOf(d::FileDialogFolderBox(dlg)), "data") << "not opened in the current file's folder";
    ASSERT_TRUE(d::PressDialogButton(dlg, IDCANCEL));
    ASSERT_TRUE(d::WaitFor([&] { return Dialogs().empty(); }));
    Sync();
    EXPECT_EQ(Tab().Shown(), DistinctShown());

    ASSERT_NO_FATAL_FAILURE(Menu('o'));
    ASSERT_NO_FATAL_FAILURE(AnswerFileDialog(kOpenTitle, fromTemplate));
    Sync();
    // The template has no backup line, and STOREROOT 1 leaves the path text: both keep what the
    // previous file showed.
    EXPECT_EQ(Tab().Shown(), TemplateShown("1", "\\\\srv\\share"));
    if (const HWND bar = d::FindByClass(main_, STATUSCLASSNAMEA)) {
        EXPECT_NE(d::TextOf(bar).find(fromTemplate), std::string::npos) << d::TextOf(bar);
    }
    EXPECT_TRUE(vela::testing::FolderExists(otherFolder + "\\ProfileSettings"));
    // The dialog now starts in the new file's folder.
    ASSERT_NO_FATAL_FAILURE(Menu('o'));
    dlg = d::WaitForTopLevel(app_->id(), kOpenTitle, "#32770");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(d::TextOf(d::FileDialogFolderBox(dlg)), "OtherConfigFolder");
    ASSERT_TRUE(d::PressDialogButton(dlg, IDCANCEL));
    ASSERT_TRUE(d::WaitFor([&] { return Dialogs().empty(); }));
}

// --- New -------------------------------------------------------------------------------------

TEST_F(VelaConfigE2E, NewAppendsTheExtensionWritesTheTemplateAndLoadsIt) {
    const std::string cfg = dataFolder_ + "\\framework.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, kDistinctConfig));
    const std::string other = root_ / "other";
    ASSERT_TRUE(::CreateDirectoryA(other.c_str(), nullptr));
    ASSERT_NO_FATAL_FAILURE(Start(cfg));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    EXPECT_EQ(Tab().Shown(), DistinctShown());

    ASSERT_NO_FATAL_FAILURE(Menu('n'));
    // In another folder, so the settings store beside the new file can only come from New.
    ASSERT_NO_FATAL_FAILURE(AnswerFileDialog(kNewTitle, other + "\\cfgnew"));
    const std::string created = other + "\\cfgnew.INI";
    const auto text = WaitForWrite(created, std::nullopt);
    ASSERT_TRUE(text) << "New did not create " << created;
    EXPECT_EQ(*text, vela::NewConfigFileText());
    EXPECT_EQ(Lines(*text).size(), 65u);  // 64 template lines and the empty one after them
    EXPECT_FALSE(vela::testing::FileExists(other + "\\cfgnew")) << "the name without extension was written";
    EXPECT_EQ(Tab().Shown(), TemplateShown("1", "\\\\srv\\share"));
    EXPECT_TRUE(vela::testing::FolderExists(other + "\\ProfileSettings"));
    EXPECT_EQ(vela::testing::ReadWholeFile(cfg), kDistinctConfig) << "the previous file was changed";
    if (const HWND bar = d::FindByClass(main_, STATUSCLASSNAMEA)) {
        EXPECT_NE(d::TextOf(bar).find(created), std::string::npos) << d::TextOf(bar);
    }
}

TEST_F(VelaConfigE2E, NewKeepsANameThatHoldsIniBeforeItsEnd) {
    const std::string cfg = dataFolder_ + "\\framework.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, kDistinctConfig));
    ASSERT_TRUE(::CreateDirectoryA((dataFolder_ + "\\x.ini.d").c_str(), nullptr));
    ASSERT_NO_FATAL_FAILURE(Start(cfg));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    ASSERT_NO_FATAL_FAILURE(Menu('n'));
    // Relative: the dialog starts in the current file's folder.
    ASSERT_NO_FATAL_FAILURE(AnswerFileDialog(kNewTitle, "x.ini.d\\a"));
    const std::string created = dataFolder_ + "\\x.ini.d\\a";
    const auto text = WaitForWrite(created, std::nullopt);
    ASSERT_TRUE(text) << "New did not create " << created;
    EXPECT_EQ(*text, vela::NewConfigFileText());
    EXPECT_EQ(vela::testing::ListFolder(dataFolder_ + "\\x.ini.d"),
              (std::vector<std::string>{"ProfileSettings", "a"}));
    EXPECT_EQ(Tab().Shown()["Check1"], "1");
}

// --- Save and Save As ------------------------------------------------------------------------

TEST_F(VelaConfigE2E, SaveAsWritesAllKeysToANewFileWithoutCommentsAndMakesItCurrent) {
    const std::string cfg = dataFolder_ + "\\framework.ini";
    const std::string original = std::string(vela::NewConfigFileText());
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, original));
    ASSERT_NO_FATAL_FAILURE(Start(cfg));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    EXPECT_EQ(Tab().Shown(), TemplateShown("0", ""));

    ASSERT_NO_FATAL_FAILURE(Menu('a'));
    ASSERT_NO_FATAL_FAILURE(AnswerFileDialog(kSaveAsTitle, "saved"));
    const std::string saved = dataFolder_ + "\\saved.INI";
    auto text = WaitForWrite(saved, std::nullopt);
    ASSERT_TRUE(text) << "Save As did not write " << saved;
    std::map<std::string, std::string> values;
    for (const auto& e : Entries(*text)) values[Upper(e.section) + "/" + e.key] = e.value;
    EXPECT_EQ(values, (std::map<std::string, std::string>{
                          {"MAIN/REFRESH_WINDOWS_APPEARANCE", "1"}, {"MAIN/REFRESH_KEYBOARD", "1"},
                          {"MAIN/REFRESH_MOUSE", "1"}, {"MAIN/ENABLE_PASSWORDS", "1"},
                          {"MAIN/ENABLE_CERTIFICATES", "0"}, {"MAIN/COMPRESSION", "0"},
                          {"MAIN/COMPRESSION_PRIORITY", "NORMAL"}, {"LOCATIONS/STOREROOT", "1"},
                          {"LOCATIONS/STOREFOLDER", "SETTINGS\\VELA"}, {"LOCATIONS/DISABLE_BACKUP", "0"},
                          {"ERRORMESSAGES/DISPLAY_FRAMEWORK_ERROR", "0"},
                          {"ERRORMESSAGES/DISPLAY_PROFLWIZ_ERROR", "0"}}));
    EXPECT_EQ(text->find(';'), std::string::npos) << "the template's comments were copied";
    EXPECT_EQ(vela::testing::ReadWholeFile(cfg), original);

    // The new file is current: Save now writes there, and the old file stays as it was.
    const FirstTab tab = Tab();
    ASSERT_TRUE(d::Click(tab.compression));
    EXPECT_EQ(d::CheckState(tab.compression), BST_CHECKED);
    ASSERT_NO_FATAL_FAILURE(Menu('s'));
    text = WaitForWrite(saved, text);
    EXPECT_EQ(IniValue(*text, "MAIN", "COMPRESSION"), "1");
    EXPECT_EQ(vela::testing::ReadWholeFile(cfg), original);
}

TEST_F(VelaConfigE2E, EditsOnTheFirstTabAreSavedByTheFormatRules) {
    // A template file with lines of our own among the program's: they must survive byte for byte.
    std::string original(vela::NewConfigFileText());
    original.insert(original.find("[LOCATIONS]"), "CUSTOM_THING = keep  me \r\n;  own comment\r\n\r\n");
    original += "[EXTRA]\r\nsomething=else\r\n";
    const std::string cfg = dataFolder_ + "\\framework.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, original));
    ASSERT_NO_FATAL_FAILURE(Start(cfg));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    const FirstTab tab = Tab();
    ASSERT_TRUE(tab.Complete());

    ASSERT_TRUE(d::Click(tab.refreshAppearance));   // 1 -> 0
    ASSERT_TRUE(d::Click(tab.enableCertificates));  // 0 -> 1
    ASSERT_TRUE(d::Click(tab.disableBackup));       // 0 -> 1
    ASSERT_TRUE(d::PickComboEntry(tab.priority, "LOW"));
    ASSERT_TRUE(d::PickComboEntry(tab.proflwizError, 2));
    ASSERT_TRUE(d::Click(tab.specify));
    ASSERT_TRUE(d::TypeInto(tab.specifyPath, "\\\\fs01\\profiles$")) << d::TextOf(tab.specifyPath);
    ASSERT_TRUE(d::SetText(tab.storeFolder, "A\\B"));
    const auto shownBefore = tab.Shown();
    EXPECT_EQ(shownBefore.at("Check1"), "0");
    EXPECT_EQ(shownBefore.at("Check4"), "1");
    EXPECT_EQ(shownBefore.at("root"), "SPECIFY");

    ASSERT_NO_FATAL_FAILURE(Menu('s'));
    const auto text = WaitForWrite(cfg, original);
    ASSERT_TRUE(text && *text != original) << "Save wrote nothing";
    bool crlf = false;
    Lines(*text, &crlf);
    EXPECT_TRUE(crlf);
    EXPECT_EQ(IniValue(*text, "MAIN", "REFRESH_WINDOWS_APPEARANCE"), "0");
    EXPECT_EQ(IniValue(*text, "MAIN", "REFRESH_KEYBOARD"), "1");
    EXPECT_EQ(IniValue(*text, "MAIN", "ENABLE_CERTIFICATES"), "1");
    EXPECT_EQ(IniValue(*text, "MAIN", "COMPRESSION_PRIORITY"), "LOW");
    EXPECT_EQ(IniValue(*text, "LOCATIONS", "STOREROOT"), "\\\\fs01\\profiles$");
    EXPECT_EQ(IniValue(*text, "LOCATIONS", "STOREFOLDER"), "A\\B");
    EXPECT_EQ(IniValue(*text, "ERRORMESSAGES", "DISPLAY_FRAMEWORK_ERROR"), "0");
    EXPECT_EQ(IniValue(*text, "ERRORMESSAGES", "DISPLAY_PROFLWIZ_ERROR"), "2");
    // The backup key is new in this file: added to LOCATIONS, in upper case, exactly once.
    int backupLines = 0;
    for (const auto& e : Entries(*text)) {
        if (Upper(e.key) != "DISABLE_BACKUP") continue;
        ++backupLines;
        EXPECT_EQ(e.key, "DISABLE_BACKUP");
        EXPECT_EQ(e.section, "LOCATIONS");
        EXPECT_EQ(e.value, "1");
    }
    EXPECT_EQ(backupLines, 1);
    if (vela::testing::IsWine()) {
        // Wine's profile writer writes the whole file anew: it drops blank lines and the blanks
        // around "=" (Windows' keeps every other line as it was).  Comments, unknown entries and
        // sections, and their order, must still survive.
        EXPECT_EQ(WithoutBlanks(UntouchedLines(*text)), WithoutBlanks(UntouchedLines(original)));
    } else {
        EXPECT_EQ(UntouchedLines(*text), UntouchedLines(original));
    }
    // The editor shows the file again after the save.
    EXPECT_EQ(Tab().Shown(), shownBefore);
}

// --- Ending ----------------------------------------------------------------------------------

TEST_F(VelaConfigE2E, QuitWithUnsavedEditsEndsAfterTheUnloadWithoutAQuestion) {
    const std::string cfg = dataFolder_ + "\\framework.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, kDistinctConfig));
    ASSERT_NO_FATAL_FAILURE(Start(cfg));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    const FirstTab tab = Tab();
    ASSERT_TRUE(d::Click(tab.refreshAppearance));
    ASSERT_TRUE(d::SetText(tab.storeFolder, "LOST"));
    EXPECT_EQ(d::CheckState(tab.refreshAppearance), BST_CHECKED);
    ExpectEndsAfterOneHiddenUnload([&] { Menu('q'); });
    EXPECT_EQ(vela::testing::ReadWholeFile(cfg), kDistinctConfig);
}

// Also: the directory password the program was started with is not handed down to reg.exe.
TEST_F(VelaConfigE2E, ClosingTheWindowEndsAfterTheUnload) {
    const std::string cfg = dataFolder_ + "\\framework.ini", envLog = dataFolder_ + "\\reg-env.log";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, kDistinctConfig));
    ::SetEnvironmentVariableA("VELA_DIRECTORY_USER", "EXAMPLE\\someone");
    ::SetEnvironmentVariableA("VELA_DIRECTORY_PASSWORD", "not for children");
    ::SetEnvironmentVariableA("VELA_FAKE_REG_ENV_LOG", envLog.c_str());
    ASSERT_NO_FATAL_FAILURE(Start(cfg));
    for (const char* name : {"VELA_DIRECTORY_USER", "VELA_DIRECTORY_PASSWORD", "VELA_FAKE_REG_ENV_LOG"})
        ::SetEnvironmentVariableA(name, nullptr);
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    ASSERT_TRUE(d::Click(Tab().compression));
    ExpectEndsAfterOneHiddenUnload([&] { ::PostMessageA(main_, WM_CLOSE, 0, 0); });
    EXPECT_EQ(vela::testing::ReadWholeFile(cfg), kDistinctConfig);
    const std::string handedDown = vela::testing::ReadWholeFile(envLog).value_or("");
    EXPECT_NE(handedDown.find("VELA_DIRECTORY_USER\r\n"), std::string::npos) << handedDown;
    EXPECT_EQ(handedDown.find("VELA_DIRECTORY_PASSWORD"), std::string::npos) << handedDown;
}

// --- Profile Settings and Servers ------------------------------------------------------------

TEST_F(VelaConfigE2E, ServerTypesAndSettingsFilesAreWorkedFromBothTabs) {
    const std::string cfg = dataFolder_ + "\\framework.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, kDistinctConfig));
    const std::string store = dataFolder_ + "\\ProfileSettings";
    ASSERT_NO_FATAL_FAILURE(Start(cfg));
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    ASSERT_TRUE(d::Activate(main_));

    // Servers, two tabs on: a new type through the prompt.
    const HWND newType = d::FindControl(main_, "Button", "New server type");
    const HWND deleteType = d::FindControl(main_, "Button", "Delete server type");
    ASSERT_TRUE(newType && deleteType);
    const HWND servers = ::GetParent(newType);
    const HWND combo5 = d::FindControlAfter(servers, "Server type", "ComboBox");
    ASSERT_NE(combo5, nullptr);
    d::PressKey(VK_NEXT, VK_CONTROL);
    d::PressKey(VK_NEXT, VK_CONTROL);
    ASSERT_TRUE(d::WaitFor([&] { return ::IsWindowVisible(newType) != FALSE; })) << "the Servers tab is not shown";
    ASSERT_TRUE(d::Click(newType));
    HWND prompt = d::WaitForTopLevel(app_->id(), "New server type", "#32770");
    ASSERT_NE(prompt, nullptr) << "no prompt \"New server type\"";
    ExpectCentredOnMain(prompt);
    EXPECT_NE(d::FindControl(prompt, "Static", "Server type name:"), nullptr);
    ASSERT_TRUE(d::TypeInto(d::FindByClass(prompt, "Edit"), "Web"));
    ASSERT_TRUE(d::PressDialogButton(prompt, IDOK));
    ASSERT_TRUE(d::WaitFor([&] { return vela::testing::FolderExists(store + "\\Web"); })) << "no type folder";
    ASSERT_TRUE(d::PickFreshComboEntry(combo5, "Web"));
    EXPECT_EQ(d::ComboItems(combo5), (std::vector<std::string>{"(DEFAULT)", "Web"}));

    // Profile Settings, one tab back: the type's folder, a new file from the template, edited.
    d::PressKey(VK_PRIOR, VK_CONTROL);
    const HWND newFile = d::FindControl(main_, "Button", "New");
    ASSERT_NE(newFile, nullptr);
    ASSERT_TRUE(d::WaitFor([&] { return ::IsWindowVisible(newFile) != FALSE; })) << "the Profile Settings tab is not shown";
    const HWND settings = ::GetParent(newFile);
    const HWND combo1 = d::FindControlAfter(settings, "Server type", "ComboBox");
    const HWND file1 = d::FindControlAfter(settings, "Profile Settings", "ListBox");
    const HWND text3 = d::FindByClass(settings, "Edit");
    ASSERT_TRUE(combo1 && file1 && text3);
    ASSERT_TRUE(d::PickFreshComboEntry(combo1, "Web"));
    ASSERT_TRUE(d::Click(newFile));
    prompt = d::WaitForTopLevel(app_->id(), "New settings file", "#32770");
    ASSERT_NE(prompt, nullptr) << "no prompt \"New settings file\"";
    ASSERT_TRUE(d::TypeInto(d::FindByClass(prompt, "Edit"), "office"));
    ASSERT_TRUE(d::PressDialogButton(prompt, IDOK));
    const std::string office = store + "\\Web\\office.INI";
    const auto created = WaitForWrite(office, std::nullopt);
    ASSERT_TRUE(created) << "New did not write " << office;
    EXPECT_EQ(*created, std::string(vela::kSettingsFileTemplate) + "\r\n");

    ASSERT_TRUE(d::Click(file1));
    d::PressKey(VK_HOME);
    ASSERT_TRUE(d::WaitFor([&] { return d::TextOf(text3) == *created; })) << d::TextOf(text3);
    ASSERT_TRUE(d::Click(text3));
    d::PressKey(VK_END, VK_CONTROL);
    d::TypeText("x=1");
    ASSERT_TRUE(d::Click(d::FindControl(settings, "Button", "Save")));
    const auto saved = WaitForWrite(office, created);
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, *created + "x=1") << "an edit is saved as typed, nothing added";

    // Deleting the file: asked, then gone.
    ASSERT_TRUE(d::Click(d::FindControl(settings, "Button", "Delete")));
    HWND question = d::WaitForTopLevel(app_->id(), "Confirm deletion", "#32770");
    ASSERT_NE(question, nullptr);
    ExpectCentredOnMain(question);
    ASSERT_TRUE(d::PressDialogButton(question, IDYES));
    ASSERT_TRUE(d::WaitFor([&] { return !vela::testing::FileExists(office); })) << "the file is still there";

    // Back on Servers: No keeps the type, Yes removes it.
    d::PressKey(VK_NEXT, VK_CONTROL);
    ASSERT_TRUE(d::WaitFor([&] { return ::IsWindowVisible(newType) != FALSE; }));
    ASSERT_TRUE(d::PickFreshComboEntry(combo5, "Web"));
    for (const int answer : {IDNO, IDYES}) {
        ASSERT_TRUE(d::Click(deleteType));
        question = d::WaitForTopLevel(app_->id(), "Confirm deletion", "#32770");
        ASSERT_NE(question, nullptr);
        ASSERT_TRUE(d::PressDialogButton(question, answer));
        ASSERT_TRUE(d::WaitFor([&] { return Dialogs().empty(); }));
        Sync();
        EXPECT_EQ(vela::testing::FolderExists(store + "\\Web"), answer == IDNO);
    }
    EXPECT_TRUE(vela::testing::FolderExists(store));
    EXPECT_EQ(vela::testing::ReadWholeFile(cfg), kDistinctConfig);
    // The ending runs the system folder's reg.exe, not the one planted in the current folder.
    ExpectEndsAfterOneHiddenUnload([&] { Menu('q'); });
}

// No browse list (Wine's NetServerEnum answers 6118), but a directory (VELA_DIRECTORY): its enabled
// server accounts are listed, this computer among them, under the note and with a column for the
// program folder's package; ticking this computer with a type picked writes the type into its
// registry; a right click shows the context menu.
TEST_F(VelaConfigE2E, WithoutABrowseListTheDirectorysServersAreListedAndTicked) {
    const auto folder = vela::testing::GetEnv("VELA_TEST_DIRECTORY");
    ASSERT_TRUE(folder && !folder->empty()) << "no test directory: run under ctest";
    const std::string url = Lines(vela::testing::ReadWholeFile("Z:" + *folder + "/url").value_or("")).front();
    ASSERT_TRUE(::SetEnvironmentVariableA("VELA_DIRECTORY", url.c_str()));  // the program inherits it
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Orvanta\\Vela Framework", &key), ERROR_SUCCESS);
    ::RegDeleteValueA(key, "ServerType");
    const auto held = [&] {
        char data[64] = {};
        DWORD size = sizeof data;
        return ::RegQueryValueExA(key, "ServerType", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) ==
                       ERROR_SUCCESS
                   ? std::string(data)
                   : std::string("(none)");
    };
    const std::string cfg = dataFolder_ + "\\framework.ini";
    ASSERT_TRUE(vela::testing::WriteWholeFile(cfg, kDistinctConfig));
    ASSERT_TRUE(::CreateDirectoryA((dataFolder_ + "\\ProfileSettings").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((dataFolder_ + "\\ProfileSettings\\Web").c_str(), nullptr));
    ASSERT_TRUE(vela::testing::WriteWholeFile(programFolder_ + "\\Office.msi", ""));
    Start(cfg);
    ::SetEnvironmentVariableA("VELA_DIRECTORY", nullptr);
    ASSERT_NO_FATAL_FAILURE(WaitForMain());
    ASSERT_TRUE(d::Activate(main_));

    const HWND note = d::FindControl(main_, "Static", "NOTE! This requires administrative registry access to remote servers");
    const HWND list = d::FindControlAfter(main_, "Configured servers", "SysListView32");
    const HWND combo5 = d::FindControlAfter(::GetParent(list), "Server type", "ComboBox");
    ASSERT_TRUE(note && list && combo5);
    d::PressKey(VK_TAB, VK_CONTROL);
    d::PressKey(VK_TAB, VK_CONTROL);
    ASSERT_TRUE(d::WaitFor([&] { return ::IsWindowVisible(list) != FALSE; })) << "the Servers tab is not shown";
    const auto send = [](HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
        DWORD_PTR r = 0;
        ::SendMessageTimeoutA(w, msg, wp, lp, SMTO_NORMAL, 5000, &r);
        return r;
    };
    ASSERT_TRUE(d::WaitFor([&] { return send(list, LVM_GETITEMCOUNT) == 2; })) << "the directory's two servers are not listed";
    EXPECT_EQ(d::TextOf(d::FindByClass(main_, "msctls_statusbar32")), "2 servers from the directory");
    EXPECT_TRUE(::IsWindowVisible(note));
    EXPECT_EQ(send(reinterpret_cast<HWND>(send(list, LVM_GETHEADER)), HDM_GETITEMCOUNT), 3u) << "no column for Office.msi";

    ASSERT_TRUE(d::PickFreshComboEntry(combo5, "Web"));
    Sync();
    // Both rows ticked with the keyboard: only this computer takes the write and keeps its mark.
    ASSERT_TRUE(d::Click(list));
    d::PressKey(VK_HOME);
    d::PressKey(VK_SPACE);
    d::PressKey(VK_DOWN);
    d::PressKey(VK_SPACE);
    Sync();
    EXPECT_TRUE(d::WaitFor([&] { return held() == "Web"; })) << held();
    const auto checked = [&](int row) {
        return (send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK) >> 12) == 2;
    };
    EXPECT_NE(checked(0), checked(1)) << "exactly one server holds the type";
    const std::string status = d::TextOf(d::FindByClass(main_, "msctls_statusbar32"));
    EXPECT_NE(status.find("could not be written to srv01.example.test: the server's registry cannot be reached"),
              std::string::npos) << status;
    const int own = checked(0) ? 0 : 1;
    // The package's column shows its name (a column inserted without a width is 10 pixels wide).
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    SIZE office{};
    ::GetTextExtentPoint32A(dc, "Office", 6, &office);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    EXPECT_GE(static_cast<LONG>(send(list, LVM_GETCOLUMNWIDTH, 2)), office.cx);

    // A new pick takes the failure away; F5 lists the servers again and marks them for the type
    // still shown.
    ASSERT_TRUE(d::PickFreshComboEntry(combo5, "Web"));
    EXPECT_TRUE(d::WaitFor([&] { return d::TextOf(d::FindByClass(main_, "msctls_statusbar32")) == "2 servers from the directory"; }));
    ASSERT_TRUE(d::Click(list));
    d::PressKey(VK_F5);
    Sync();
    EXPECT_TRUE(d::WaitFor([&] { return checked(own) && !checked(1 - own); })) << "F5 lost the marks";
    // The box dropped and closed without a pick: no marks, and a tick writes nothing.
    const auto dropped = [&] { return send(combo5, CB_GETDROPPEDSTATE) != 0; };
    ASSERT_TRUE(d::Click(combo5));
    ASSERT_TRUE(d::WaitFor(dropped));
    d::PressKey(VK_ESCAPE);
    ASSERT_TRUE(d::WaitFor([&] { return !dropped(); }));
    EXPECT_EQ(d::ComboText(combo5), "");
    EXPECT_TRUE(d::WaitFor([&] { return !checked(0) && !checked(1); })) << "marks stayed with no type picked";
    ASSERT_TRUE(d::Click(list));
    d::PressKey(VK_HOME);
    for (int i = 0; i < own; ++i) d::PressKey(VK_DOWN);
    d::PressKey(VK_SPACE);
    Sync();
    EXPECT_TRUE(d::WaitFor([&] {
        return d::TextOf(d::FindByClass(main_, "msctls_statusbar32")).starts_with("No server type is picked");
    }));
    EXPECT_FALSE(checked(own));
    EXPECT_EQ(held(), "Web") << "a tick with no type picked changed the server";

    ASSERT_TRUE(d::RightClick(list));
    const auto menus = [&] { return d::TopLevelWindows(app_->id(), "#32768"); };
    EXPECT_TRUE(d::WaitFor([&] { return !menus().empty(); })) << "no context menu";
    d::PressKey(VK_ESCAPE);
    EXPECT_TRUE(d::WaitFor([&] { return menus().empty(); })) << "the context menu stayed open";
    ::RegDeleteValueA(key, "ServerType");
    ::RegCloseKey(key);
    ExpectEndsAfterOneHiddenUnload([&] { Menu('q'); });
}

}  // namespace
