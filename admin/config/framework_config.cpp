#include "admin/config/framework_config.h"

#include <climits>
#include <cstddef>
#include <utility>

#include "admin/common/ascii.h"
#include "admin/config/inimod.h"

namespace vela {
namespace {

constexpr char kMain[] = "MAIN";
constexpr char kLocations[] = "LOCATIONS";
constexpr char kErrorMessages[] = "ERRORMESSAGES";
constexpr char kUntitledConfig[] = "untitledconfig.ini";

constexpr Switch kSwitchMax = 2;

// An optional sign and decimal digits, blanks around them ignored.  Numbers too large for a long
// long saturate: they are still numbers, only out of every range.
std::optional<long long> WholeNumber(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    long long value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        const int digit = c - '0';
        value = value > (LLONG_MAX - digit) / 10 ? LLONG_MAX : value * 10 + digit;
    }
    return negative ? -value : value;
}

void SetSwitch(Switch& field, const std::string& value) {
    const std::optional<long long> n = WholeNumber(value);
    if (n && *n >= 0 && *n <= kSwitchMax) field = static_cast<Switch>(*n);
}

template <size_t N>
void SetErrorList(std::optional<int>& field, const std::string& value) {
    const std::optional<long long> n = WholeNumber(value);
    if (!n) return;
    if (*n >= 0 && *n < static_cast<long long>(N))
        field = static_cast<int>(*n);
    else
        field.reset();
}

void SetPriority(std::optional<int>& field, const std::string& value) {
    const std::string_view v = TrimBlanks(value);
    if (v.empty()) {
        field.reset();
        return;
    }
    for (size_t i = 0; i < kCompressionPriorities.size(); ++i)
        if (AsciiIEquals(v, kCompressionPriorities[i])) field = static_cast<int>(i);
}

std::optional<std::string> SwitchText(Switch s) {
    if (s < 0 || s > kSwitchMax) return std::nullopt;   // not a state a switch can have
    return std::to_string(s);
}

template <size_t N>
std::optional<std::string> ErrorListText(const std::optional<int>& field) {
    if (!field || *field < 0 || *field >= static_cast<int>(N)) return std::nullopt;
    return std::to_string(*field);
}

std::string PriorityText(const std::optional<int>& field) {
    if (!field || *field < 0 || *field >= static_cast<int>(kCompressionPriorities.size())) return {};
    return std::string(kCompressionPriorities[static_cast<size_t>(*field)]);
}

std::string StoreRootText(const FrameworkConfig& m) {
    switch (m.storeRoot) {
        case StoreRoot::Auto: return "1";
        case StoreRoot::UserHomeDrive: return "2";
        case StoreRoot::TerminalServerHomeDrive: return "3";
        case StoreRoot::Specify: break;
    }
    return m.storeRootPath;
}

ConfigIni& DefaultIni() {
    static ConfigIni ini;
    return ini;
}

}  // namespace

std::string ConfigIni::Read(const std::string& section, const std::string& key, const std::string& file) {
    return ReadIniValue(section, key, file);
}

bool ConfigIni::Write(const std::string& section, const std::string& key, const std::string& value,
                      const std::string& file) {
    return WriteIniValue(section, key, value, file);
}

ConfigEditor::ConfigEditor(FileSystem& fs, SettingsLocation& settings)
    : ConfigEditor(fs, settings, DefaultIni()) {}

bool ConfigEditor::LoadConfig(const std::string& path) {
    const std::optional<std::string> full = fs_.ExistingFile(path);
    if (full) {
        configFilePath_ = *full;
        configFolder_ = fs_.ParentFolder(*full);
    }
    settings_.GetSettingsPath(configFolder_);
    settings_.ShowCurrentFolder();

    const std::string file = configFilePath_;
    auto read = [&](const char* section, const char* key) {
        return file.empty() ? std::string() : ini_.Read(section, key, file);
    };
    FrameworkConfig& m = model;
    SetSwitch(m.disableBackup, read(kLocations, "Disable_Backup"));
    SetSwitch(m.refreshWindowsAppearance, read(kMain, "REFRESH_WINDOWS_APPEARANCE"));
    SetSwitch(m.refreshKeyboard, read(kMain, "REFRESH_KEYBOARD"));
    SetSwitch(m.refreshMouse, read(kMain, "REFRESH_MOUSE"));
    SetSwitch(m.enablePasswords, read(kMain, "ENABLE_PASSWORDS"));
    SetSwitch(m.enableCertificates, read(kMain, "ENABLE_CERTIFICATES"));
    SetSwitch(m.compression, read(kMain, "COMPRESSION"));
    SetPriority(m.compressionPriority, read(kMain, "COMPRESSION_PRIORITY"));

    // The store-root choice is set only once both LOCATIONS keys are read.  Anything but 1, 2
    // or 3 (a drive, a UNC path, empty text) is a path of its own.
    const std::string storeRoot = read(kLocations, "STOREROOT");
    m.storeFolder = read(kLocations, "STOREFOLDER");
    const std::optional<long long> rootNumber = WholeNumber(storeRoot);
    if (rootNumber == 1) {
        m.storeRoot = StoreRoot::Auto;
    } else if (rootNumber == 2) {
        m.storeRoot = StoreRoot::UserHomeDrive;
    } else if (rootNumber == 3) {
        m.storeRoot = StoreRoot::TerminalServerHomeDrive;
    } else {
        m.storeRoot = StoreRoot::Specify;
        m.storeRootPath = storeRoot;
    }

    SetErrorList<kFrameworkErrorEntries.size()>(m.displayFrameworkError, read(kErrorMessages, "DISPLAY_FRAMEWORK_ERROR"));
    SetErrorList<kProflwizErrorEntries.size()>(m.displayProflwizError, read(kErrorMessages, "DISPLAY_PROFLWIZ_ERROR"));
    return full.has_value();
}

WriteAccess ConfigEditor::SaveConfig(const std::string& path) {
    // The file need not exist yet; a name the platform cannot resolve keeps the current file.
    std::string full = fs_.FullPath(path);
    // Asked before anything moves: a file that cannot be written leaves the current file, the
    // settings store and the model as they are.
    if (const std::string& target = full.empty() ? configFilePath_ : full; !target.empty())
        if (const WriteAccess access = fs_.CheckWrite(target); access != WriteAccess::Allowed) return access;
    const std::string previousPath = configFilePath_, previousFolder = configFolder_;
    if (!full.empty()) {
        configFolder_ = fs_.ParentFolder(full);
        configFilePath_ = std::move(full);
    }
    settings_.GetSettingsPath(configFolder_);
    settings_.ShowCurrentFolder();

    const std::string file = configFilePath_;
    bool written = !file.empty();
    if (written) {
        // Kept to put back should a write fail half-way (a lock taken, a disk filled meanwhile).
        const std::optional<FileContent> before = fs_.ReadFile(file);
        const FrameworkConfig& m = model;
        auto write = [&](const char* section, const char* key, const std::optional<std::string>& value) {
            // nullopt: the key keeps its value.  After one failure the rest are not tried.
            if (value && written) written = ini_.Write(section, key, *value, file);
        };
        write(kLocations, "Disable_Backup", SwitchText(m.disableBackup));
        write(kMain, "REFRESH_WINDOWS_APPEARANCE", SwitchText(m.refreshWindowsAppearance));
        write(kMain, "REFRESH_KEYBOARD", SwitchText(m.refreshKeyboard));
        write(kMain, "REFRESH_MOUSE", SwitchText(m.refreshMouse));
        write(kMain, "ENABLE_PASSWORDS", SwitchText(m.enablePasswords));
        write(kMain, "ENABLE_CERTIFICATES", SwitchText(m.enableCertificates));
        write(kMain, "COMPRESSION", SwitchText(m.compression));
        write(kMain, "COMPRESSION_PRIORITY", PriorityText(m.compressionPriority));   // "" when unselected
        write(kLocations, "STOREROOT", StoreRootText(m));
        write(kLocations, "STOREFOLDER", m.storeFolder);
        write(kErrorMessages, "DISPLAY_FRAMEWORK_ERROR", ErrorListText<kFrameworkErrorEntries.size()>(m.displayFrameworkError));
        write(kErrorMessages, "DISPLAY_PROFLWIZ_ERROR", ErrorListText<kProflwizErrorEntries.size()>(m.displayProflwizError));
        if (!written) {
            // Best effort: the write that failed may well refuse this too.  A file that could not
            // be read before is left as it is.
            if (before && before->exists)
                (void)fs_.WriteFile(file, before->bytes);
            else if (before)
                (void)fs_.RemoveFile(file);
            if (configFolder_ != previousFolder && !previousFolder.empty()) {
                settings_.GetSettingsPath(previousFolder);
                settings_.ShowCurrentFolder();
            }
            configFilePath_ = previousPath;
            configFolder_ = previousFolder;
            const WriteAccess access = fs_.CheckWrite(file);
            return access == WriteAccess::Allowed ? WriteAccess::Other : access;
        }
    }
    LoadConfig(configFilePath_);
    return written ? WriteAccess::Allowed : WriteAccess::Other;
}

void ConfigEditor::SetUntitled(const std::string& folder) {
    const std::string name = JoinPath(folder, kUntitledConfig);
    const std::string full = fs_.FullPath(name);
    configFilePath_ = full.empty() ? name : full;
    configFolder_ = folder;
}

}  // namespace vela
