// The configuration editor's model and the two operations that move values between a
// configuration file and it.
//
// The window owns one ConfigEditor.  Before LoadConfig or SaveConfig it copies what its controls
// show into `model`; afterwards it shows `model` again.  A field that a load does not set keeps
// what it held, so the controls are the model's only other copy.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "admin/store/file_system.h"
#include "admin/store/settings_path.h"

namespace vela {

// A three-state switch: 0 off, 1 on, 2 indeterminate (only ever read from a file).
using Switch = int;

enum class StoreRoot { Auto, UserHomeDrive, TerminalServerHomeDrive, Specify };

inline constexpr std::array<std::string_view, 5> kCompressionPriorities = {
    "LOW", "BELOWNORMAL", "NORMAL", "ABOVENORMAL", "HIGH"};
inline constexpr std::array<std::string_view, 3> kFrameworkErrorEntries = {
    "Disable Vela Framework Error Messages",
    "Show only error messages during the Logon processes",
    "Show only error messages during Logon and Logoff"};
inline constexpr std::array<std::string_view, 4> kProflwizErrorEntries = {
    "Run in quiet mode",
    "Display error messages; suppress progress indicators",
    "Display error messages and progress indicators",
    "Display progress indicators; suppress error messages"};

struct FrameworkConfig {
    Switch refreshWindowsAppearance = 0;  // Check1
    Switch refreshKeyboard = 0;           // Check2
    Switch refreshMouse = 0;              // Check3
    Switch enablePasswords = 0;           // Check7
    Switch enableCertificates = 0;        // Check4
    Switch compression = 0;               // Check5
    std::optional<int> compressionPriority;  // Combo2: index into kCompressionPriorities
    StoreRoot storeRoot = StoreRoot::Auto;   // Option1..Option4
    std::string storeRootPath;               // Text1, used only with Specify
    std::string storeFolder = "SETTINGS\\VELA";  // Text2
    Switch disableBackup = 0;                    // Checkbackup
    std::optional<int> displayFrameworkError;    // Combo3: 0..2
    std::optional<int> displayProflwizError;     // Combo4: 0..3

    friend bool operator==(const FrameworkConfig&, const FrameworkConfig&) = default;
};

// The INI access the editor goes through: by default inimod's ReadIniValue and WriteIniValue.
// Tests derive from it to watch the order of reads and writes.
class ConfigIni {
public:
    virtual ~ConfigIni() = default;
    [[nodiscard]] virtual std::string Read(const std::string& section, const std::string& key,
                                           const std::string& file);
    // False when the value could not be written.
    [[nodiscard]] virtual bool Write(const std::string& section, const std::string& key, const std::string& value,
                                     const std::string& file);
};

// Load and save follow a fixed order of steps, each of which may fail on its own without
// stopping the rest: resolve the file, point the settings store at its folder, then move the
// keys.  A load reports only whether the path named a file.  A save first asks the file system
// whether the file can be written; when it cannot, or a write fails on the way, nothing changes:
// the file on disk keeps its bytes, the current file stays, and `model` keeps the edits that
// were to be saved.
//
// Where values leave room for choice, the editor shows what the file says rather than keeping an
// older file's value, so that a later save does not write that older value into this file:
//   - COMPRESSION_PRIORITY matches its entries ignoring ASCII letter case and surrounding blanks
//     ("normal" selects NORMAL; a save writes it back as "NORMAL"); an empty value clears the
//     selection, a value that names no entry keeps it.
//   - An error-message number outside its list (DISPLAY_FRAMEWORK_ERROR=7, or -1) clears the
//     selection, so the next save leaves that key of the file alone; an empty value or text that
//     is no number keeps it.
//   - A whole number is an optional sign and decimal digits, blanks around it ignored ("2x" is no
//     number, " 1 " and "01" are 1).
// A save writes only what a field can hold: a switch outside 0..2, or an error-message entry
// outside its list, leaves its key alone; a priority outside the list writes an empty value.
// With no current file (ConfigFilePath empty) nothing is read or written and every read counts as
// empty text: the profile functions look for a name without a folder in the Windows folder.
class ConfigEditor {
public:
    ConfigEditor(FileSystem& fs, SettingsLocation& settings);
    ConfigEditor(FileSystem& fs, SettingsLocation& settings, ConfigIni& ini)
        : fs_(fs), settings_(settings), ini_(ini) {}

    // Reads the file at `path` into `model` and makes it current.  A path that names no existing
    // file keeps the current file and reads that one again; false then.
    bool LoadConfig(const std::string& path);
    // Writes `model` into the file at `path` (which may be new), makes it current and loads it
    // back: Allowed.  Otherwise why the file could not be written, with everything kept (see
    // above); Other too when there is no file to write.
    WriteAccess SaveConfig(const std::string& path);

    // Start-up's fallback: "untitledconfig.ini" in `folder` becomes current without a load, and
    // `folder` becomes ConfigFolder.  The settings store is not touched.
    void SetUntitled(const std::string& folder);

    FrameworkConfig model;
    [[nodiscard]] const std::string& ConfigFilePath() const { return configFilePath_; }
    [[nodiscard]] const std::string& ConfigFolder() const { return configFolder_; }

private:
    FileSystem& fs_;
    SettingsLocation& settings_;
    ConfigIni& ini_;
    std::string configFilePath_;
    std::string configFolder_;
};

}  // namespace vela
