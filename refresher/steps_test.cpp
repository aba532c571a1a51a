#include "refresher/steps.h"

#include <gtest/gtest.h>

#include <map>
#include <variant>

namespace vela::refresher {
namespace {

using Value = std::variant<std::string, std::vector<std::uint8_t>>;

// The user's stored values.  Reads honour the byte limit the way the registry does: a text
// needs its length plus the terminator.
class FakeRegistry final : public Registry {
public:
    std::map<UserKey, std::map<std::string, Value>> keys;

    std::unique_ptr<RegistryKey> Open(UserKey key) override {
        const auto it = keys.find(key);
        if (it == keys.end()) return nullptr;
        return std::make_unique<Key>(it->second);
    }

private:
    struct Key final : RegistryKey {
        explicit Key(const std::map<std::string, Value>& v) : values(v) {}
        std::optional<std::string> ReadText(const char* name, std::size_t limit) override {
            const auto it = values.find(name);
            if (it == values.end()) return std::nullopt;
            const auto* text = std::get_if<std::string>(&it->second);
            if (!text || text->size() + 1 > limit) return std::nullopt;
            return *text;
        }
        std::optional<std::vector<std::uint8_t>> ReadBinary(const char* name, std::size_t limit) override {
            const auto it = values.find(name);
            if (it == values.end()) return std::nullopt;
            const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&it->second);
            if (!bytes || bytes->size() > limit) return std::nullopt;
            return *bytes;
        }
        const std::map<std::string, Value>& values;
    };
};

AnsiLogFont Font(const char* face, std::int32_t height) {
    AnsiLogFont f;
    f.height = height;
    f.weight = 400;
    std::copy(face, face + std::char_traits<char>::length(face), f.face.begin());
    return f;
}

// The running system: holds current settings, records every setting call, and can refuse one.
class FakeSystem final : public SystemSettings {
public:
    std::optional<std::string> wallpaper = "C:\\old.bmp";
    std::optional<WindowMetrics> windowMetrics = [] {
        WindowMetrics m;
        m.borderWidth = 1; m.scrollWidth = 17; m.scrollHeight = 17; m.captionWidth = 18;
        m.captionHeight = 19; m.smCaptionWidth = 15; m.smCaptionHeight = 16; m.menuWidth = 18;
        m.menuHeight = 20;
        m.captionFont = Font("Current Caption", -12);
        m.smCaptionFont = m.menuFont = m.statusFont = m.messageFont = Font("Current", -11);
        return m;
    }();
    std::optional<IconMetrics> iconMetrics = IconMetrics{70, 71, 1, Font("Current Icon", -11)};
    std::optional<std::uint32_t> screenSaveTimeout = 900;
    bool refuse = false;  // every setting call fails

    struct WallpaperCall { std::string path; std::uint32_t byteCount; };
    std::vector<WallpaperCall> wallpaperCalls;
    std::vector<std::pair<std::vector<int>, std::vector<std::uint32_t>>> colourCalls;
    std::vector<WindowMetrics> windowMetricsCalls;
    std::vector<IconMetrics> iconMetricsCalls;
    std::vector<std::uint32_t> timeoutCalls;
    int broadcasts = 0, cursorReloads = 0;

    bool ReloadIcons() override { return !refuse; }
    std::string IconsFailureText() override { return "Invalid system-wide (SPI_*) parameter.\r\n"; }
    std::optional<std::string> Wallpaper() override { return wallpaper; }
    bool SetWallpaper(const std::string& path, std::uint32_t byteCount) override {
        wallpaperCalls.push_back({path, byteCount});
        return !refuse;
    }
    std::uint32_t Colour(int element) override { return 0xC00000u + static_cast<std::uint32_t>(element); }
    bool SetColours(std::span<const int> e, std::span<const std::uint32_t> c) override {
        colourCalls.emplace_back(std::vector<int>(e.begin(), e.end()), std::vector<std::uint32_t>(c.begin(), c.end()));
        return !refuse;
    }
    std::optional<WindowMetrics> CurrentWindowMetrics() override { return windowMetrics; }
    bool SetWindowMetrics(const WindowMetrics& m) override {
        windowMetricsCalls.push_back(m);
        return !refuse;
    }
    std::optional<IconMetrics> CurrentIconMetrics() override { return iconMetrics; }
    bool SetIconMetrics(const IconMetrics& m) override {
        iconMetricsCalls.push_back(m);
        return !refuse;
    }
    bool BroadcastSettingChange() override { return ++broadcasts, !refuse; }
    bool ReloadCursors() override { return ++cursorReloads, !refuse; }
    std::optional<std::uint32_t> ScreenSaveTimeout() override { return screenSaveTimeout; }
    bool SetScreenSaveTimeout(std::uint32_t s) override {
        timeoutCalls.push_back(s);
        return !refuse;
    }
};

std::optional<std::string> Latin1(std::u16string_view t) {
    std::string s;
    for (char16_t c : t) {
        if (c >= 0x100) return std::nullopt;
        s += static_cast<char>(c);
    }
    return s;
}

std::vector<std::uint8_t> FontImage(std::u16string_view face, std::int32_t height, std::size_t size = 92,
                                    std::int32_t weight = 400) {
    std::vector<std::uint8_t> b(size, 0);
    for (std::size_t i = 0; i < 4; ++i) {
        b[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(height) >> (8 * i));
        b[16 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(weight) >> (8 * i));
    }
    for (std::size_t i = 0; i < face.size(); ++i) {
        b[28 + 2 * i] = static_cast<std::uint8_t>(face[i]);
        b[29 + 2 * i] = static_cast<std::uint8_t>(face[i] >> 8);
    }
    return b;
}

class Steps : public testing::Test {
protected:
    FakeRegistry registry;
    FakeSystem system;
    SettingsSteps steps{registry, system, &Latin1};

    StepOutcome Run(Step s, std::int32_t divisor = -15, OsVersion v = {10, 0}) { return steps.Run(s, {divisor, v}); }
    std::map<std::string, Value>& Key(UserKey k) { return registry.keys[k]; }
};

TEST_F(Steps, ColoursCarryAll31RowsWithElementTwentyTwiceInOrder) {
    auto& colours = Key(UserKey::Colors);
    const std::array<ColourRow, kColourRows> table = ColourTable({10, 0});
    for (std::size_t i = 0; i < kColourRows; ++i)
        colours[table[i].name] = std::to_string(i) + " 0 1";
    ASSERT_TRUE(Run(Step::SetColors).ok);
    ASSERT_EQ(system.colourCalls.size(), 1u);
    const auto& [elements, values] = system.colourCalls[0];
    ASSERT_EQ(elements.size(), 31u);
    ASSERT_EQ(values.size(), 31u);
    EXPECT_EQ(elements[4], 20);
    EXPECT_EQ(values[4], 4u | 1u << 16);  // ButtonAlternateFace
    EXPECT_EQ(elements[7], 20);
    EXPECT_EQ(values[7], 7u | 1u << 16);  // ButtonHilight, later, so it is the one that stays
    EXPECT_EQ(elements[29], 29);
    EXPECT_EQ(values[29], 29u | 1u << 16);
    EXPECT_EQ(elements[30], 30);
    EXPECT_EQ(values[30], 30u | 1u << 16);
}

TEST_F(Steps, ColoursOnWindows2000RepeatFrameAndText) {
    auto& colours = Key(UserKey::Colors);
    colours["WindowFrame"] = "1 2 3";
    colours["WindowText"] = "4 5 6";
    colours["MenuHilight"] = "7 8 9";
    ASSERT_TRUE(Run(Step::SetColors, -15, {5, 0}).ok);
    const auto& [elements, values] = system.colourCalls.at(0);
    ASSERT_EQ(elements.size(), 31u);
    EXPECT_EQ(elements[29], 6);
    EXPECT_EQ(values[29], 0x030201u);
    EXPECT_EQ(elements[30], 8);
    EXPECT_EQ(values[30], 0x060504u);
}

TEST_F(Steps, UnreadableColoursKeepTheCurrentOnes) {
    auto& colours = Key(UserKey::Colors);
    colours["ActiveBorder"] = "10 20";                         // two numbers only
    colours["ActiveTitle"] = std::vector<std::uint8_t>{1, 2, 3};  // wrong type
    colours["AppWorkSpace"] = std::string(255, '1');           // longer than the limit
    colours["Background"] = "1 2 3";
    ASSERT_TRUE(Run(Step::SetColors).ok);
    const auto& values = system.colourCalls.at(0).second;
    EXPECT_EQ(values[0], 0xC00000u + 10);
    EXPECT_EQ(values[1], 0xC00000u + 2);
    EXPECT_EQ(values[2], 0xC00000u + 12);
    EXPECT_EQ(values[3], 0x030201u);
    EXPECT_EQ(values[5], 0xC00000u + 21);  // missing

    registry.keys.clear();  // the key cannot be opened: every row keeps its colour, call still made
    ASSERT_TRUE(Run(Step::SetColors).ok);
    ASSERT_EQ(system.colourCalls.size(), 2u);
    const auto& [elements, current] = system.colourCalls[1];
    for (std::size_t i = 0; i < kColourRows; ++i)
        EXPECT_EQ(current[i], 0xC00000u + static_cast<std::uint32_t>(elements[i])) << i;
}

TEST_F(Steps, WallpaperPassesItsByteCountOrTheCurrentPath) {
    const struct {
        std::optional<std::string> stored;
        std::string path;
        std::uint32_t count;
    } cases[] = {
        {"C:\\Windows\\Web\\tile.bmp", "C:\\Windows\\Web\\tile.bmp", 24},
        {"", "", 1},
        {std::nullopt, "C:\\old.bmp", 11},
        {std::string(255, 'w'), "C:\\old.bmp", 11},  // 256 bytes with its terminator: too long
        {std::string(254, 'w'), std::string(254, 'w'), 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        system.wallpaperCalls.clear();
        Key(UserKey::Desktop).clear();
        if (c.stored) Key(UserKey::Desktop)["Wallpaper"] = *c.stored;
        ASSERT_TRUE(Run(Step::SetWallpaper).ok);
        ASSERT_EQ(system.wallpaperCalls.size(), 1u);
        EXPECT_EQ(system.wallpaperCalls[0].path, c.path);
        EXPECT_EQ(system.wallpaperCalls[0].byteCount, c.count);
    }

    registry.keys.clear();
    system.wallpaper.reset();
    system.wallpaperCalls.clear();
    EXPECT_FALSE(Run(Step::SetWallpaper).ok);
    EXPECT_TRUE(system.wallpaperCalls.empty());
}

TEST_F(Steps, WindowMetricsConvertTwipsAndKeepWhatIsNotReadable) {
    auto& m = Key(UserKey::WindowMetrics);
    m["CaptionHeight"] = "-270";
    m["CaptionWidth"] = "-1125";
    m["ScrollWidth"] = "19";                 // pixels already
    m["ScrollHeight"] = "-00000000000270";   // 16 bytes with its terminator: over the limit
    m["MenuHeight"] = "-0000000000270";      // 15 bytes: fits
    m["BorderWidth"] = std::vector<std::uint8_t>{0xFF};  // wrong type
    m["MenuFont"] = FontImage(u"Tahoma", -13);
    m["CaptionFont"] = FontImage(u"Verdana", -15, 91);   // shorter than a LOGFONTW
    m["StatusFont"] = std::string("Tahoma");             // wrong type

    for (const auto& [divisor, caption, width, menu] : {std::tuple{-15, 18, 75, 18}, std::tuple{-12, 22, 93, 22}}) {
        SCOPED_TRACE(divisor);
        system.windowMetricsCalls.clear();
        ASSERT_TRUE(Run(Step::SetNonClientMetrics, divisor).ok);
        ASSERT_EQ(system.windowMetricsCalls.size(), 1u);
        const WindowMetrics& got = system.windowMetricsCalls[0];
        WindowMetrics want = *system.windowMetrics;
        want.captionHeight = caption;
        want.captionWidth = width;
        want.scrollWidth = 19;
        want.menuHeight = menu;
        want.menuFont = Font("Tahoma", -13);
        EXPECT_EQ(got.captionHeight, want.captionHeight);
        EXPECT_EQ(got.scrollHeight, want.scrollHeight);
        EXPECT_EQ(std::string(got.menuFont.face.data()), "Tahoma");
        EXPECT_EQ(std::string(got.captionFont.face.data()), "Current Caption");
        EXPECT_TRUE(got == want);
    }
}

TEST_F(Steps, IconMetricsApplyTheSpacingRuleOnlyToHorizontalSpacing) {
    const struct {
        const char* spacing;
        const char* vertical;
        const char* wrap;
        std::int32_t horz, vert, titleWrap;
    } cases[] = {
        {"-1125", "-1125", "1", 75, 75, 1},
        {"75", "75", "0", 75, 75, 0},
        {"-480", "-480", "1", 32, 32, 1},
        // Below an icon's width, or past the widest spacing, the current spacing stays.
        {"-479", "-479", "0", 75, 71, 0},
        {"", "", "", 75, 71, 0},
        {"-2730", "-2730", "1", 182, 182, 1},
        {"-2745", "182", "1", 70, 182, 1},
        {"-2147483648", "183", "1", 70, 71, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.spacing);
        auto& m = Key(UserKey::WindowMetrics);
        m["IconSpacing"] = c.spacing;
        m["IconVerticalspacing"] = c.vertical;
        m["IconTitleWrap"] = c.wrap;
        m["IconFont"] = FontImage(u"Segoe UI", -12);
        system.iconMetricsCalls.clear();
        ASSERT_TRUE(Run(Step::SetIconMetrics).ok);
        ASSERT_EQ(system.iconMetricsCalls.size(), 1u);
        const IconMetrics& got = system.iconMetricsCalls[0];
        EXPECT_EQ(got.horzSpacing, c.horz);
        EXPECT_EQ(got.vertSpacing, c.vert);
        EXPECT_EQ(got.titleWrap, c.titleWrap);
        EXPECT_EQ(got.font, Font("Segoe UI", -12));
    }

    Key(UserKey::WindowMetrics).clear();
    system.iconMetricsCalls.clear();
    ASSERT_TRUE(Run(Step::SetIconMetrics).ok);
    EXPECT_EQ(system.iconMetricsCalls.at(0), *system.iconMetrics);
}

TEST_F(Steps, WindowMetricsOutsideTheAppearanceSizesKeepTheCurrentOnes) {
    const struct {
        const char* name;
        const char* text;
        std::int32_t WindowMetrics::*member;
        std::int32_t pixels;  // what is applied; the current value when outside
    } cases[] = {
        {"BorderWidth", "-750", &WindowMetrics::borderWidth, 50},
        {"BorderWidth", "-765", &WindowMetrics::borderWidth, 1},
        {"BorderWidth", "-2147483648", &WindowMetrics::borderWidth, 1},
        {"CaptionWidth", "-1500", &WindowMetrics::captionWidth, 100},
        {"CaptionWidth", "-1515", &WindowMetrics::captionWidth, 18},
        {"ScrollWidth", "101", &WindowMetrics::scrollWidth, 17},
        {"SmCaptionHeight", "2147483647", &WindowMetrics::smCaptionHeight, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.text);
        Key(UserKey::WindowMetrics) = {{c.name, c.text}};
        system.windowMetricsCalls.clear();
        ASSERT_TRUE(Run(Step::SetNonClientMetrics).ok);
        WindowMetrics want = *system.windowMetrics;
        want.*c.member = c.pixels;
        EXPECT_EQ(system.windowMetricsCalls.at(0), want);
    }
}

TEST_F(Steps, FontsThatCannotBeScreenFontsKeepTheCurrentOnes) {
    const struct {
        std::vector<std::uint8_t> image;
        bool applied;
    } cases[] = {
        {FontImage(u"Tahoma", -100, 92, 1000), true},
        {FontImage(u"Tahoma", -101, 92, 400), false},
        {FontImage(u"Tahoma", -13, 92, -1), false},
        {FontImage(u"Font \u20AC", -13), false},  // no form in this code page
        {std::vector<std::uint8_t>(92, 0xFF), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Key(UserKey::WindowMetrics) = {{"CaptionFont", c.image}, {"IconFont", c.image}};
        system.windowMetricsCalls.clear();
        system.iconMetricsCalls.clear();
        ASSERT_TRUE(Run(Step::SetNonClientMetrics).ok);
        ASSERT_TRUE(Run(Step::SetIconMetrics).ok);
        const std::optional<AnsiLogFont> stored = NarrowLogFont(*DecodeWideLogFont(c.image), &Latin1);
        EXPECT_EQ(system.windowMetricsCalls.at(0).captionFont, c.applied ? *stored : system.windowMetrics->captionFont);
        EXPECT_EQ(system.iconMetricsCalls.at(0).font, c.applied ? *stored : system.iconMetrics->font);
    }
}

TEST_F(Steps, ScreenSaverTimeoutParsedOrKeptWhenUnusable) {
    const std::pair<std::optional<std::string>, std::uint32_t> cases[] = {
        {"600", 600}, {" 1200 seconds", 1200}, {"none", 0}, {"-5", 900}, {std::nullopt, 900},
    };
    for (const auto& [stored, seconds] : cases) {
        SCOPED_TRACE(stored.value_or("(missing)"));
        Key(UserKey::Desktop).clear();
        if (stored) Key(UserKey::Desktop)["ScreenSaveTimeOut"] = *stored;
        system.timeoutCalls.clear();
        ASSERT_TRUE(Run(Step::SetScreenSaver).ok);
        EXPECT_EQ(system.timeoutCalls, std::vector<std::uint32_t>{seconds});
    }
}

TEST_F(Steps, EachStepReportsWhatItsCallReturned) {
    for (const Step step : kSteps) {
        SCOPED_TRACE(static_cast<int>(step));
        system.refuse = false;
        EXPECT_TRUE(Run(step).ok);
        system.refuse = true;
        const StepOutcome failed = Run(step);
        EXPECT_FALSE(failed.ok);
        EXPECT_EQ(failed.errorText.has_value(), step == Step::SetIconSize);
    }
    EXPECT_EQ(Run(Step::SetIconSize).errorText, "Invalid system-wide (SPI_*) parameter.\r\n");
    EXPECT_EQ(system.broadcasts, 2);
    EXPECT_EQ(system.cursorReloads, 2);
}

TEST_F(Steps, MetricStepsMakeNoCallWithoutTheCurrentSettings) {
    system.windowMetrics.reset();
    system.iconMetrics.reset();
    Key(UserKey::WindowMetrics)["CaptionHeight"] = "-270";
    EXPECT_FALSE(Run(Step::SetNonClientMetrics).ok);
    EXPECT_FALSE(Run(Step::SetIconMetrics).ok);
    EXPECT_TRUE(system.windowMetricsCalls.empty());
    EXPECT_TRUE(system.iconMetricsCalls.empty());
}

}  // namespace
}  // namespace vela::refresher
