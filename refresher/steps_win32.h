// The Win32 side of the reapplication steps: the current user's registry and the system's
// setting calls (user32's SystemParametersInfoA, SetSysColors, SendMessageA).  Calls and
// structure copies only; every decision is in steps.cpp.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "refresher/steps.h"

namespace vela::refresher::win32 {

// Keys below HKEY_CURRENT_USER, opened with KEY_READ for as long as one step runs.
class UserRegistry final : public Registry {
public:
    [[nodiscard]] std::unique_ptr<RegistryKey> Open(UserKey key) override;
};

class Win32SystemSettings final : public SystemSettings {
public:
    [[nodiscard]] bool ReloadIcons() override;
    [[nodiscard]] std::string IconsFailureText() override;
    [[nodiscard]] std::optional<std::string> Wallpaper() override;
    [[nodiscard]] bool SetWallpaper(const std::string& path, std::uint32_t byteCount) override;
    [[nodiscard]] std::uint32_t Colour(int element) override;
    [[nodiscard]] bool SetColours(std::span<const int> elements,
                                  std::span<const std::uint32_t> colours) override;
    [[nodiscard]] std::optional<WindowMetrics> CurrentWindowMetrics() override;
    [[nodiscard]] bool SetWindowMetrics(const WindowMetrics& metrics) override;
    [[nodiscard]] std::optional<IconMetrics> CurrentIconMetrics() override;
    [[nodiscard]] bool SetIconMetrics(const IconMetrics& metrics) override;
    [[nodiscard]] bool BroadcastSettingChange() override;
    [[nodiscard]] bool ReloadCursors() override;
    [[nodiscard]] std::optional<std::uint32_t> ScreenSaveTimeout() override;
    [[nodiscard]] bool SetScreenSaveTimeout(std::uint32_t seconds) override;

private:
    DWORD iconsError_ = 0;
};

// The 340-byte NONCLIENTMETRICSA: the headers declare the padded-border member for Vista and
// later, the stored settings and the steps use the form without it.
inline constexpr UINT kNonClientMetricsSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
static_assert(kNonClientMetricsSize == 340);
static_assert(sizeof(ICONMETRICSA) == 76);

[[nodiscard]] LOGFONTA ToLogFont(const AnsiLogFont& font);
[[nodiscard]] AnsiLogFont FromLogFont(const LOGFONTA& font);
[[nodiscard]] NONCLIENTMETRICSA ToNonClientMetrics(const WindowMetrics& metrics);
[[nodiscard]] WindowMetrics FromNonClientMetrics(const NONCLIENTMETRICSA& metrics);
[[nodiscard]] ICONMETRICSA ToIconMetrics(const IconMetrics& metrics);
[[nodiscard]] IconMetrics FromIconMetrics(const ICONMETRICSA& metrics);

// UTF-16 text in the ANSI code page (WideCharToMultiByte, CP_ACP); nothing when a character has
// no exact form there.
[[nodiscard]] std::optional<std::string> ToAnsi(std::u16string_view text);

}  // namespace vela::refresher::win32
