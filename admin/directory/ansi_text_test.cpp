// The ANSI form of the terminal-server path: natively the ISO 8859-1 model, under Wine the
// process's code page through WideCharToMultiByte.  Both give the exact bytes or nothing.
#include "admin/directory/ansi_text.h"

#include <gtest/gtest.h>

namespace vela::directory {
namespace {

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
}  // namespace vela::directory
