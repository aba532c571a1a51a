#include "refresher/steps.h"

#include <utility>

namespace vela::refresher {
namespace {

// Reads a metric value into `target` (converted to pixels); leaves it alone when not readable or
// outside `range`.
void ReadMetric(RegistryKey& key, const char* name, MetricRange range, std::int32_t divisor,
                std::int32_t& target) {
    if (const std::optional<std::string> text = key.ReadText(name, kMetricLimit)) {
        const std::int32_t pixels = ConvertMetric(ParseNumber(*text), divisor);
        if (const std::optional<std::int32_t> within = WithinRange(pixels, range, divisor)) target = *within;
    }
}

}  // namespace

SettingsSteps::SettingsSteps(Registry& registry, SystemSettings& system, AnsiConverter toAnsi)
    : registry_(registry), system_(system), toAnsi_(std::move(toAnsi)) {}

StepOutcome SettingsSteps::Run(Step step, const StepContext& context) {
    switch (step) {
        case Step::SetIconSize: return SetIconSize();
        case Step::SetWallpaper: return {SetWallpaper(), std::nullopt};
        case Step::SetColors: return {SetColors(context.version), std::nullopt};
        case Step::SetNonClientMetrics: return {SetNonClientMetrics(context.divisor), std::nullopt};
        case Step::SetIconMetrics: return {SetIconMetrics(context.divisor), std::nullopt};
        case Step::MsgChangedSetting: return {system_.BroadcastSettingChange(), std::nullopt};
        case Step::SetCursors: return {system_.ReloadCursors(), std::nullopt};
        case Step::SetScreenSaver: return {SetScreenSaver(), std::nullopt};
    }
    return {};
}

StepOutcome SettingsSteps::SetIconSize() {
    if (system_.ReloadIcons()) return {true, std::nullopt};
    return {false, system_.IconsFailureText()};
}

bool SettingsSteps::SetWallpaper() {
    std::optional<std::string> path;
    if (const std::unique_ptr<RegistryKey> key = registry_.Open(UserKey::Desktop))
        path = key->ReadText("Wallpaper", kTextLimit);
    if (!path) path = system_.Wallpaper();
    if (!path) return false;
    return system_.SetWallpaper(*path, static_cast<std::uint32_t>(path->size() + 1));
}

bool SettingsSteps::SetColors(OsVersion version) {
    const std::array<ColourRow, kColourRows> table = ColourTable(version);
    const std::unique_ptr<RegistryKey> key = registry_.Open(UserKey::Colors);
    std::array<int, kColourRows> elements{};
    std::array<std::uint32_t, kColourRows> colours{};
    for (std::size_t i = 0; i < kColourRows; ++i) {
        elements[i] = table[i].element;
        std::optional<std::uint32_t> colour;
        if (key) {
            if (const std::optional<std::string> text = key->ReadText(table[i].name, kTextLimit))
                colour = ParseColour(*text);
        }
        colours[i] = colour ? *colour : system_.Colour(table[i].element);
    }
    return system_.SetColours(elements, colours);
}

std::optional<AnsiLogFont> SettingsSteps::ReadFont(RegistryKey& key, const char* name, std::int32_t divisor) {
    const std::optional<std::vector<std::uint8_t>> image = key.ReadBinary(name, kFontLimit);
    if (!image) return std::nullopt;
    const std::optional<WideLogFont> wide = DecodeWideLogFont(*image);
    if (!wide || !IsScreenFont(*wide, divisor)) return std::nullopt;
    return NarrowLogFont(*wide, toAnsi_);
}

bool SettingsSteps::SetNonClientMetrics(std::int32_t divisor) {
    std::optional<WindowMetrics> m = system_.CurrentWindowMetrics();
    if (!m) return false;
    if (const std::unique_ptr<RegistryKey> key = registry_.Open(UserKey::WindowMetrics)) {
        ReadMetric(*key, "BorderWidth", kBorderRange, divisor, m->borderWidth);
        ReadMetric(*key, "CaptionHeight", kBarRange, divisor, m->captionHeight);
        ReadMetric(*key, "CaptionWidth", kBarRange, divisor, m->captionWidth);
        ReadMetric(*key, "MenuHeight", kBarRange, divisor, m->menuHeight);
        ReadMetric(*key, "MenuWidth", kBarRange, divisor, m->menuWidth);
        ReadMetric(*key, "ScrollHeight", kBarRange, divisor, m->scrollHeight);
        ReadMetric(*key, "ScrollWidth", kBarRange, divisor, m->scrollWidth);
        ReadMetric(*key, "SmCaptionHeight", kBarRange, divisor, m->smCaptionHeight);
        ReadMetric(*key, "SmCaptionWidth", kBarRange, divisor, m->smCaptionWidth);
        const std::pair<const char*, AnsiLogFont*> fonts[] = {
            {"MenuFont", &m->menuFont},       {"MessageFont", &m->messageFont},
            {"CaptionFont", &m->captionFont}, {"SmCaptionFont", &m->smCaptionFont},
            {"StatusFont", &m->statusFont},
        };
        for (const auto& [name, target] : fonts) {
            if (const std::optional<AnsiLogFont> font = ReadFont(*key, name, divisor)) *target = *font;
        }
    }
    return system_.SetWindowMetrics(*m);
}

bool SettingsSteps::SetIconMetrics(std::int32_t divisor) {
    std::optional<IconMetrics> m = system_.CurrentIconMetrics();
    if (!m) return false;
    if (const std::unique_ptr<RegistryKey> key = registry_.Open(UserKey::WindowMetrics)) {
        if (const std::optional<AnsiLogFont> font = ReadFont(*key, "IconFont", divisor)) m->font = *font;
        if (const std::optional<std::string> text = key->ReadText("IconSpacing", kMetricLimit)) {
            const std::int32_t pixels = ConvertMetric(IconSpacingRule(ParseNumber(*text)), divisor);
            if (const std::optional<std::int32_t> within = WithinRange(pixels, kIconSpacingRange, divisor))
                m->horzSpacing = *within;
        }
        ReadMetric(*key, "IconVerticalspacing", kIconSpacingRange, divisor, m->vertSpacing);
        if (const std::optional<std::string> text = key->ReadText("IconTitleWrap", kMetricLimit))
            m->titleWrap = ParseNumber(*text);
    }
    return system_.SetIconMetrics(*m);
}

bool SettingsSteps::SetScreenSaver() {
    std::optional<std::uint32_t> seconds;
    if (const std::unique_ptr<RegistryKey> key = registry_.Open(UserKey::Desktop)) {
        // A negative time-out would reach the call as some four billion seconds.
        if (const std::optional<std::string> text = key->ReadText("ScreenSaveTimeOut", kTextLimit);
            text && ParseNumber(*text) >= 0)
            seconds = static_cast<std::uint32_t>(ParseNumber(*text));
    }
    if (!seconds) seconds = system_.ScreenSaveTimeout();
    if (!seconds) return false;
    return system_.SetScreenSaveTimeout(*seconds);
}

}  // namespace vela::refresher
