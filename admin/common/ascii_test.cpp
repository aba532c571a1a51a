#include "admin/common/ascii.h"

#include <gtest/gtest.h>

namespace vela {
namespace {

TEST(Ascii, FoldsOnlyAsciiLettersOverAllBytes) {
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        SCOPED_TRACE(b);
        if (b >= 'A' && b <= 'Z') {
            EXPECT_EQ(AsciiLower(c), static_cast<char>(b + 32));
            EXPECT_EQ(AsciiUpper(c), c);
        } else if (b >= 'a' && b <= 'z') {
            EXPECT_EQ(AsciiUpper(c), static_cast<char>(b - 32));
            EXPECT_EQ(AsciiLower(c), c);
        } else {
            EXPECT_EQ(AsciiLower(c), c);
            EXPECT_EQ(AsciiUpper(c), c);
        }
    }
    // An accented capital in the ANSI code page keeps its byte: no locale folding.
    EXPECT_EQ(AsciiLower("M\xDC" "LLER"), "m\xDC" "ller");
    EXPECT_FALSE(AsciiIEquals("\xDC", "\xFC"));
}

TEST(Ascii, ComparesAndSearchesIgnoringCase) {
    EXPECT_TRUE(AsciiIEquals("Disable_Backup", "DISABLE_BACKUP"));
    EXPECT_FALSE(AsciiIEquals("Disable_Backup", "DISABLE_BACKUP "));
    EXPECT_TRUE(AsciiIContains("C:\\x.INI.d\\a", ".ini"));
    EXPECT_TRUE(AsciiIContains("name.Ini", ".ini"));
    EXPECT_FALSE(AsciiIContains("name.in", ".ini"));
    EXPECT_FALSE(AsciiIContains("", ".ini"));
    EXPECT_TRUE(AsciiIContains("anything", ""));
}

TEST(Ascii, TrimsSpacesAndTabsOnly) {
    EXPECT_EQ(TrimBlanks(" \t value \t"), "value");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimBlanks(""), "");
    EXPECT_EQ(TrimBlanks("a b"), "a b");
    EXPECT_EQ(TrimBlanks("\r\nx\n"), "\r\nx\n");  // line ends are not blanks
}

}  // namespace
}  // namespace vela
