// The program's text conversions and their one rule: exact, or nothing.  UTF-8 is the same code
// in both trees; ANSI is natively the ISO 8859-1 model, under Wine the process's code page through
// WideCharToMultiByte.
#include "admin/common/text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vela {
namespace {

TEST(Utf8ToUtf16, AcceptsWhatServersSendAndRejectsTheRest) {
    // Every single code unit, lone surrogates and U+0000 included, survives the round trip.
    for (std::uint32_t u = 0; u <= 0xFFFF; ++u) {
        const std::u16string one(1, static_cast<char16_t>(u));
        const auto back = Utf8ToUtf16(Utf16ToUtf8(one));
        ASSERT_TRUE(back && *back == one) << u;
    }
    const std::u16string pair = u"\xD83D\xDE00";
    EXPECT_EQ(Utf16ToUtf8(pair), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), pair);
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), std::u16string(1, u'\xD800'));
    for (std::string_view bad : {"\x80", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE3\x94", "\xF0\x80\x80\x80",
                                 "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xFF", "a\xC3"}) {
        EXPECT_FALSE(Utf8ToUtf16(bad)) << ::testing::PrintToString(std::string(bad));
    }
}

TEST(Utf16ToAnsi, ExactBytesOrNothing) {
    // The table is a Western code page's (1252, or the native model): there 0xE9 is e-acute and
    // 0xA3 the pound sign, where a Central European one has L-stroke.
    if (AnsiToUtf16("\xE9\xA3") != u"\u00E9\u00A3") GTEST_SKIP() << "needs a Western ANSI code page";
    const struct {
        const char* what;
        std::u16string_view text;
        std::optional<std::string_view> ansi;
    } cases[] = {
        {"empty", u"", ""},
        {"ASCII", u"\\\\srv\\p", "\\\\srv\\p"},
        {"letters of the code page", u"\\\\fs\\M\u00FCller \u00E9t\u00E9", "\\\\fs\\M\xFC" "ller \xE9t\xE9"},
        {"not in the code page", u"\\\\srv\\\u5C71\u7530", std::nullopt},
        {"best fit would read L-stroke as L", u"\\\\srv\\\u0141\u00F3d\u017A", std::nullopt},
        {"best fit would read full-width A as A", u"\\\\srv\\\uFF21", std::nullopt},
        {"lone surrogate", u"\\\\srv\\\xD800", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Utf16ToAnsi(c.text), c.ansi);
        if (c.ansi) {
            EXPECT_EQ(AnsiToUtf16(*c.ansi), c.text);
        }
    }
}

}  // namespace
}  // namespace vela
