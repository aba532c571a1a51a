// The eight reapplication steps: each reads the current user's appearance from the registry,
// converts it and hands it to the running system in one setting call.
//
// The steps reach the platform through two small services, so the native tests run them against
// fakes: `Registry` (the user's stored values, read only) and `SystemSettings` (the running
// system's setting calls).  An entry whose key cannot be opened, or whose value is missing, of
// the wrong type, unreadable, too long or malformed, keeps the system's current setting, and so
// does a metric outside the sizes the appearance settings allow or a font that cannot be a
// screen font (MetricRange, IsScreenFont): the steps start from what the system holds now and
// overwrite only what was read and sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "refresher/conversions.h"

namespace vela::refresher {

// The keys below HKEY_CURRENT_USER that the steps read.
enum class UserKey {
    Desktop,        // "Control Panel\Desktop"
    Colors,         // "Control Panel\Colors"
    WindowMetrics,  // "Control Panel\Desktop\WindowMetrics"
};

// Read limits in bytes, the terminating NUL included.
inline constexpr std::size_t kTextLimit = 255;    // paths, time-out and colours
inline constexpr std::size_t kMetricLimit = 15;   // window metrics
inline constexpr std::size_t kFontLimit = 255;    // LOGFONTW images

// One opened key.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // The text of a string value, up to its first NUL.  Nothing when the value is missing, is not
    // a plain string, cannot be read or needs more than `limit` bytes.
    [[nodiscard]] virtual std::optional<std::string> ReadText(const char* name, std::size_t limit) = 0;
    // The bytes of a binary value; nothing when it is missing, not binary, unreadable or longer
    // than `limit`.
    [[nodiscard]] virtual std::optional<std::vector<std::uint8_t>> ReadBinary(const char* name,
                                                                             std::size_t limit) = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    // The key opened for reading, or null when it cannot be opened.
    [[nodiscard]] virtual std::unique_ptr<RegistryKey> Open(UserKey key) = 0;
};

// NONCLIENTMETRICSA's members, in pixels (the 340-byte form: no padded border).
struct WindowMetrics {
    std::int32_t borderWidth = 0, scrollWidth = 0, scrollHeight = 0;
    std::int32_t captionWidth = 0, captionHeight = 0;
    AnsiLogFont captionFont;
    std::int32_t smCaptionWidth = 0, smCaptionHeight = 0;
    AnsiLogFont smCaptionFont;
    std::int32_t menuWidth = 0, menuHeight = 0;
    AnsiLogFont menuFont, statusFont, messageFont;
    friend bool operator==(const WindowMetrics&, const WindowMetrics&) = default;
};

// ICONMETRICSA's members, in pixels.
struct IconMetrics {
    std::int32_t horzSpacing = 0, vertSpacing = 0, titleWrap = 0;
    AnsiLogFont font;
    friend bool operator==(const IconMetrics&, const IconMetrics&) = default;
};

// The running system's settings.  Each Set... is one system call and returns its success; the
// getters give what the system holds now (nothing when it cannot tell).
class SystemSettings {
public:
    virtual ~SystemSettings() = default;
    [[nodiscard]] virtual bool ReloadIcons() = 0;                      // SPI_SETICONS
    // The system's message text, in the user's language, for the last failure of ReloadIcons.
    [[nodiscard]] virtual std::string IconsFailureText() = 0;
    [[nodiscard]] virtual std::optional<std::string> Wallpaper() = 0;
    // `byteCount` is the path's length with its terminator.
    [[nodiscard]] virtual bool SetWallpaper(const std::string& path, std::uint32_t byteCount) = 0;
    [[nodiscard]] virtual std::uint32_t Colour(int element) = 0;
    [[nodiscard]] virtual bool SetColours(std::span<const int> elements,
                                          std::span<const std::uint32_t> colours) = 0;
    [[nodiscard]] virtual std::optional<WindowMetrics> CurrentWindowMetrics() = 0;
    [[nodiscard]] virtual bool SetWindowMetrics(const WindowMetrics& metrics) = 0;  // with SPIF_SENDCHANGE
    [[nodiscard]] virtual std::optional<IconMetrics> CurrentIconMetrics() = 0;
    [[nodiscard]] virtual bool SetIconMetrics(const IconMetrics& metrics) = 0;
    // Sends (not posts) WM_SETTINGCHANGE with both parameters 0 to every top-level window.
    [[nodiscard]] virtual bool BroadcastSettingChange() = 0;
    [[nodiscard]] virtual bool ReloadCursors() = 0;                    // SPI_SETCURSORS, SPIF_SENDCHANGE
    [[nodiscard]] virtual std::optional<std::uint32_t> ScreenSaveTimeout() = 0;
    [[nodiscard]] virtual bool SetScreenSaveTimeout(std::uint32_t seconds) = 0;
};

enum class Step {
    SetIconSize,
    SetWallpaper,
    SetColors,
    SetNonClientMetrics,
    SetIconMetrics,
    MsgChangedSetting,
    SetCursors,
    SetScreenSaver,
};
inline constexpr Step kSteps[] = {Step::SetIconSize,         Step::SetWallpaper,
                                  Step::SetColors,           Step::SetNonClientMetrics,
                                  Step::SetIconMetrics,      Step::MsgChangedSetting,
                                  Step::SetCursors,          Step::SetScreenSaver};

// What the steps share with the run: the metric divisor (MetricDivisor) and the system version.
struct StepContext {
    std::int32_t divisor = -15;
    OsVersion version;
};

struct StepOutcome {
    bool ok = false;
    // Step 1 only: the system's text for its failure, printed before the step's report.
    std::optional<std::string> errorText;
};

class SettingsSteps {
public:
    SettingsSteps(Registry& registry, SystemSettings& system, AnsiConverter toAnsi);
    // Runs one step; it succeeds exactly when its setting call does.  A step whose current
    // values cannot be obtained makes no call and fails, as nothing sound could be applied.
    [[nodiscard]] StepOutcome Run(Step step, const StepContext& context);

private:
    StepOutcome SetIconSize();
    bool SetWallpaper();
    bool SetColors(OsVersion version);
    bool SetNonClientMetrics(std::int32_t divisor);
    bool SetIconMetrics(std::int32_t divisor);
    bool SetScreenSaver();
    std::optional<AnsiLogFont> ReadFont(RegistryKey& key, const char* name, std::int32_t divisor);

    Registry& registry_;
    SystemSettings& system_;
    AnsiConverter toAnsi_;
};

}  // namespace vela::refresher
