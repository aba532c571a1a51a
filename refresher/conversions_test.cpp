#include "refresher/conversions.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <vector>

namespace vela::refresher {
namespace {

TEST(ParseNumber, ReadsLeadingDecimalLikeTheRegistryTextIsWritten) {
    const struct {
        std::string_view text;
        std::int32_t expected;
    } cases[] = {
        {"", 0},           {"-270", -270},    {"  12", 12},        {"\t\r\n\v\f7", 7},
        {"+5", 5},         {"12abc", 12},     {"abc", 0},          {"- 5", 0},
        {"--5", 0},        {"0x10", 0},       {"1 2 3", 1},        {"\xFF" "12", 0},
        {"2147483647", INT_MAX},              {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},             {"-99999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
        EXPECT_EQ(ParseNumber(c.text), c.expected);
    }
}

TEST(ParseColour, ThreeSpaceSeparatedNumbersKeepTheirLowByte) {
    const struct {
        std::string_view text;
        std::optional<std::uint32_t> expected;
    } cases[] = {
        {"255 255 255", 0xFFFFFFu},
        {"0 128 128", 0x808000u},
        {"  10   20 30", 10u | 20u << 8 | 30u << 16},
        {"300 0 0", 44u},
        {"256 0 -1", 0xFF0000u},
        {"1 2 3 4", 0x030201u},
        {"1 2 3x", 0x030201u},
        {"0 78 152 ", 0u | 78u << 8 | 152u << 16},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"10 20", std::nullopt},
        {"10 20 ", std::nullopt},
        {"10 x 30", std::nullopt},
        {"\xE9 1 2", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
        EXPECT_EQ(ParseColour(c.text), c.expected);
    }
}

TEST(MetricDivisor, TwipsPerPixelNegatedAndNeverZero) {
    const std::pair<int, std::int32_t> cases[] = {
        {96, -15}, {120, -12}, {144, -10}, {72, -20}, {100, -14},
        {1440, -1}, {2000, -1}, {0, -15}, {-96, -15},
    };
    for (const auto& [dpi, divisor] : cases) {
        SCOPED_TRACE(dpi);
        EXPECT_EQ(MetricDivisor(dpi), divisor);
    }
}

TEST(ConvertMetric, DividesTwipsAndKeepsPixels) {
    const struct {
        std::int32_t value, divisor, expected;
    } cases[] = {
        {-15, -15, 1},   {-270, -15, 18},  {-1125, -15, 75}, {0, -15, 0},  {-7, -15, 0},
        {-16, -15, 1},   {-270, -12, 22},  {-1125, -12, 93}, {-270, -10, 27},
        // Positive values are pixels already: 18 must not become -1.
        {15, -15, 15},   {18, -15, 18},    {18, -12, 18},
        {INT_MIN, -1, INT_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " / " << c.divisor);
        EXPECT_EQ(ConvertMetric(c.value, c.divisor), c.expected);
    }
}

TEST(IconSpacingRule, AnythingAboveMinus480BecomesTheDefaultSpacing) {
    const std::pair<std::string_view, std::int32_t> cases[] = {
        {"-1125", 75}, {"75", 75}, {"-480", 32}, {"-479", 75}, {"0", 75}, {"", 75},
        {"none", 75},  {"-481", 32}, {"-1500", 100},
    };
    for (const auto& [text, pixels] : cases) {
        SCOPED_TRACE(std::string(text));
        EXPECT_EQ(ConvertMetric(IconSpacingRule(ParseNumber(text)), -15), pixels);
    }
}

TEST(WithinRange, TheAppearanceSettingsSizesScaleWithTheScreen) {
    const struct {
        std::int32_t pixels;
        MetricRange range;
        std::int32_t divisor;
        bool within;
    } cases[] = {
        {0, kBorderRange, -15, true},       {50, kBorderRange, -15, true},
        {51, kBorderRange, -15, false},     {-1, kBorderRange, -15, false},
        {62, kBorderRange, -12, true},      {63, kBorderRange, -12, false},
        {100, kBarRange, -15, true},        {101, kBarRange, -15, false},
        {125, kBarRange, -12, true},        {126, kBarRange, -12, false},
        {32, kIconSpacingRange, -15, true}, {31, kIconSpacingRange, -15, false},
        {182, kIconSpacingRange, -15, true}, {183, kIconSpacingRange, -15, false},
        {40, kIconSpacingRange, -12, true}, {39, kIconSpacingRange, -12, false},
        {INT_MAX, kBarRange, -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pixels << " px, " << c.range.maxTwips << " twips, " << c.divisor);
        EXPECT_EQ(WithinRange(c.pixels, c.range, c.divisor), c.within ? std::optional(c.pixels) : std::nullopt);
    }
}

TEST(IsScreenFont, WeightUpTo1000AndNoTallerThanTheTallestBar) {
    const struct {
        std::int32_t height, weight, divisor;
        bool screen;
    } cases[] = {
        {-12, 0, -15, true},     {-12, 1000, -15, true},  {-12, -1, -15, false},   {-12, 1001, -15, false},
        {-100, 400, -15, true},  {100, 400, -15, true},   {-101, 400, -15, false}, {101, 400, -15, false},
        {0, 400, -15, true},     {-125, 400, -12, true},  {-126, 400, -12, false},
        {INT_MIN, 400, -15, false}, {INT_MAX, 400, -15, false}, {-1, -1, -15, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.height << " high, weight " << c.weight << ", " << c.divisor);
        WideLogFont f;
        f.height = c.height;
        f.weight = c.weight;
        EXPECT_EQ(IsScreenFont(f, c.divisor), c.screen);
    }
}

TEST(CheckVersion, RequiresMajorFive) {
    EXPECT_FALSE(CheckVersion(0));
    EXPECT_FALSE(CheckVersion(4));
    EXPECT_TRUE(CheckVersion(5));
    EXPECT_TRUE(CheckVersion(10));
}

std::vector<int> Elements(OsVersion v) {
    std::vector<int> e;
    for (const ColourRow& row : ColourTable(v)) e.push_back(row.element);
    return e;
}

TEST(ColourTable, RowOrderWithElementTwentyTwice) {
    const std::array<ColourRow, kColourRows> t = ColourTable({6, 1});
    EXPECT_EQ(Elements({6, 1}), (std::vector<int>{10, 2, 12, 1, 20, 21, 15, 20, 22, 16, 18, 27, 28, 17, 13, 14,
                                                  26, 11, 3, 19, 23, 24, 4, 7, 0, 9, 5, 6, 8, 29, 30}));
    EXPECT_STREQ(t[4].name, "ButtonAlternateFace");
    EXPECT_STREQ(t[7].name, "ButtonHilight");
    EXPECT_STREQ(t[19].name, "InactiveTitleText");
    EXPECT_STREQ(t[24].name, "Scrollbar");
}

TEST(ColourTable, MenuRowsFromFivePointOneOnIncludingMinorZeroOfLaterMajors) {
    const struct {
        OsVersion version;
        const char* row30;
        int element30;
        const char* row31;
        int element31;
    } cases[] = {
        {{5, 0}, "WindowFrame", 6, "WindowText", 8},  {{5, 1}, "MenuHilight", 29, "MenuBar", 30},
        {{5, 2}, "MenuHilight", 29, "MenuBar", 30},   {{6, 0}, "MenuHilight", 29, "MenuBar", 30},
        {{10, 0}, "MenuHilight", 29, "MenuBar", 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.version.major << "." << c.version.minor);
        const std::array<ColourRow, kColourRows> t = ColourTable(c.version);
        EXPECT_STREQ(t[29].name, c.row30);
        EXPECT_EQ(t[29].element, c.element30);
        EXPECT_STREQ(t[30].name, c.row31);
        EXPECT_EQ(t[30].element, c.element31);
    }
}

// The LOGFONTW byte image of a font, as the registry stores it.
std::vector<std::uint8_t> FontImage(std::int32_t height, std::int32_t weight, std::u16string_view face,
                                    std::size_t size = kWideLogFontSize) {
    std::vector<std::uint8_t> b(size, 0);
    const auto put32 = [&](std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
    };
    put32(0, height);
    put32(4, -3);
    put32(8, 900);
    put32(12, 450);
    put32(16, weight);
    for (std::size_t i = 0; i < 8; ++i) b[20 + i] = static_cast<std::uint8_t>(0xF1 + i);
    for (std::size_t i = 0; i < face.size() && 29 + 2 * i < size; ++i) {
        b[28 + 2 * i] = static_cast<std::uint8_t>(face[i] & 0xFF);
        b[29 + 2 * i] = static_cast<std::uint8_t>(face[i] >> 8);
    }
    return b;
}

TEST(DecodeWideLogFont, ReadsTheLittleEndianImageAndRejectsShortOnes) {
    const std::optional<WideLogFont> f = DecodeWideLogFont(FontImage(-11, 700, u"Tahoma"));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->height, -11);
    EXPECT_EQ(f->width, -3);
    EXPECT_EQ(f->escapement, 900);
    EXPECT_EQ(f->orientation, 450);
    EXPECT_EQ(f->weight, 700);
    EXPECT_EQ(f->italic, 0xF1);
    EXPECT_EQ(f->pitchAndFamily, 0xF8);
    EXPECT_EQ(std::u16string(f->face.data()), u"Tahoma");

    EXPECT_FALSE(DecodeWideLogFont(FontImage(-11, 400, u"Tahoma", 91)));
    EXPECT_FALSE(DecodeWideLogFont({}));
    const std::optional<WideLogFont> longer = DecodeWideLogFont(FontImage(-13, 400, u"Arial", 120));
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->height, -13);
}

// Stands in for WideCharToMultiByte: Latin-1 passes, a few Cyrillic letters map as code page
// 1251 does, CJK takes two bytes (as in a double-byte code page), a surrogate pair four, anything
// else has no form.  Records what it was handed.
struct FakeCodePage {
    std::vector<std::u16string>* calls;
    std::optional<std::string> operator()(std::u16string_view text) const {
        calls->emplace_back(text);
        static const std::map<char16_t, char> cyrillic = {{u'\u0413', '\xC3'}, {u'\u0435', '\xE5'},
                                                          {u'\u043E', '\xEE'}, {u'\u0440', '\xF0'}};
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t c = text[i];
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                out += "????";  // a character outside the BMP, as a four-byte sequence
                ++i;
            } else if (c < 0x100) out += static_cast<char>(c);
            else if (auto it = cyrillic.find(c); it != cyrillic.end()) out += it->second;
            else if (c >= 0x4E00 && c <= 0x9FFF) out += "\x88\x9F";
            else return std::nullopt;
        }
        return out;
    }
};

std::string Face(const std::optional<AnsiLogFont>& f) { return f ? std::string(f->face.data()) : "(none)"; }

TEST(NarrowLogFont, CopiesNumbersAndConvertsTheFaceThroughTheCodePage) {
    std::vector<std::u16string> calls;
    const FakeCodePage cp{&calls};
    const AnsiLogFont tahoma = NarrowLogFont(*DecodeWideLogFont(FontImage(-11, 700, u"Tahoma")), cp).value();
    EXPECT_EQ(tahoma.height, -11);  // no metric conversion of the height
    EXPECT_EQ(tahoma.width, -3);
    EXPECT_EQ(tahoma.escapement, 900);
    EXPECT_EQ(tahoma.orientation, 450);
    EXPECT_EQ(tahoma.weight, 700);
    EXPECT_EQ(tahoma.italic, 0xF1);
    EXPECT_EQ(tahoma.underline, 0xF2);
    EXPECT_EQ(tahoma.strikeOut, 0xF3);
    EXPECT_EQ(tahoma.charSet, 0xF4);
    EXPECT_EQ(tahoma.outPrecision, 0xF5);
    EXPECT_EQ(tahoma.clipPrecision, 0xF6);
    EXPECT_EQ(tahoma.quality, 0xF7);
    EXPECT_EQ(tahoma.pitchAndFamily, 0xF8);
    EXPECT_EQ(Face(tahoma), "Tahoma");

    const struct {
        std::u16string face;
        std::string expected;
    } faces[] = {
        {u"\u00C9cole", "\xC9" "cole"},
        // U+0413 would keep only its low byte 0x13 without a code-page conversion.
        {u"\u0413\u0435\u043E\u0440", "\xC3\xE5\xEE\xF0"},
        {u"\u5B8B\u4F53", "\x88\x9F\x88\x9F"},
        {u"", ""},
        // Not text in the code page: the font is not used at all.
        {u"Arial \u20AC", "(none)"},
        {std::u16string(32, u'\xFFFF'), "(none)"},
    };
    for (const auto& f : faces) {
        SCOPED_TRACE(f.expected);
        calls.clear();
        EXPECT_EQ(Face(NarrowLogFont(*DecodeWideLogFont(FontImage(-12, 400, f.face)), cp)), f.expected);
        EXPECT_EQ(calls, f.face.empty() ? std::vector<std::u16string>{} : std::vector<std::u16string>{f.face});
    }
}

TEST(NarrowLogFont, LongResultsDropWholeCharactersAndStayTerminated) {
    std::vector<std::u16string> calls;
    const FakeCodePage cp{&calls};
    // 20 double-byte characters need 40 bytes; 15 of them fit in 31.
    const std::u16string cjk(20, u'\u5B8B');
    const std::string narrowed = Face(NarrowLogFont(*DecodeWideLogFont(FontImage(-12, 400, cjk)), cp));
    EXPECT_EQ(narrowed.size(), 30u);

    // A surrogate pair at the end is dropped as one: the converter never sees half of it.
    calls.clear();
    const std::u16string withPair = std::u16string(29, u'a') + u"\xD83D\xDE00";
    EXPECT_EQ(Face(NarrowLogFont(*DecodeWideLogFont(FontImage(-12, 400, withPair)), cp)), std::string(29, 'a'));
    for (const std::u16string& call : calls) {
        SCOPED_TRACE(call.size());
        EXPECT_FALSE(call.back() >= 0xD800 && call.back() <= 0xDBFF);
    }

    // 32 units without a terminator: the last one is dropped to make room for it.
    const AnsiLogFont full = NarrowLogFont(*DecodeWideLogFont(FontImage(-12, 400, std::u16string(32, u'b'))), cp).value();
    EXPECT_EQ(Face(full), std::string(31, 'b'));
    EXPECT_EQ(full.face[31], '\0');
}

}  // namespace
}  // namespace vela::refresher
