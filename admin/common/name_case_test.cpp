#include "admin/common/name_case.h"

#include <gtest/gtest.h>

#include <string>

#include "admin/common/ascii.h"

namespace vela {
namespace {

TEST(OrdinalUpper, MapsLettersOfTheCoveredScriptsOneToOne) {
    const struct {
        char16_t in, out;
    } cases[] = {
        {u'a', u'A'},      {u'z', u'Z'},      {u'A', u'A'},      {u'@', u'@'},      {u'[', u'['},
        {0x00E0, 0x00C0},  {0x00FC, 0x00DC},  {0x00FE, 0x00DE},  {0x00F7, 0x00F7},  // the division sign
        {0x00DF, 0x00DF},  // sharp s: upper case would be two letters
        {0x00FF, 0x0178},  {0x00AA, 0x00AA},  {0x00DC, 0x00DC},
        {0x00B5, 0x00B5},  {0x0131, 0x0131},  {0x017F, 0x017F},  // not their capitals' own lower case
        {0x0101, 0x0100},  {0x0100, 0x0100},  {0x0130, 0x0130},  {0x0149, 0x0149},
        {0x013E, 0x013D},  {0x0148, 0x0147},  {0x0177, 0x0176},  {0x017E, 0x017D},
        {0x0180, 0x0243},  {0x01C4, 0x01C4},  {0x01C5, 0x01C5},  {0x01C6, 0x01C4},  {0x01DD, 0x018E},
        {0x01F3, 0x01F1},  {0x0219, 0x0218},  {0x0250, 0x2C6F},  {0x0253, 0x0181},  {0x0345, 0x0345},
        {0x03C2, 0x03C2},  {0x03D0, 0x03D0},  {0x03C3, 0x03A3},  {0x03C9, 0x03A9},  {0x03AC, 0x0386},
        {0x0430, 0x0410},  {0x044F, 0x042F},  {0x0451, 0x0401},
        {0x04CF, 0x04C0},  {0x052F, 0x052E},  {0x0530, 0x0530},  {0x1E01, 0x1E01},  {0xFF41, 0xFF41},
    };
    for (const auto& c : cases) EXPECT_EQ(OrdinalUpper(c.in), c.out) << std::hex << int(c.in);
}

TEST(OrdinalUpper, AgreesWithAsciiFoldingAndIsStableOverAllUnits) {
    for (int u = 0; u <= 0xFFFF; ++u) {
        const auto c = static_cast<char16_t>(u);
        const char16_t up = OrdinalUpper(c);
        ASSERT_EQ(OrdinalUpper(up), up) << std::hex << u;  // an upper-case letter stays
        if (u < 0x80) {
            ASSERT_EQ(up, static_cast<char16_t>(AsciiUpper(static_cast<char>(u)))) << u;
        }
    }
}

TEST(NamesEqualIgnoringCase, ComparesAnsiNamesLetterForLetter) {
    const struct {
        const char *a, *b;
        bool equal;
    } cases[] = {
        {"Web", "WEB", true},
        {"B\xFC" "ro", "B\xDC" "RO", true},   // ü and Ü
        {"\xE9t\xE9", "\xC9T\xC9", true},     // é and É
        {"\xFF", "\xFF", true},               // ÿ: its capital lies outside Latin-1
        {"Stra\xDF" "e", "STRASSE", false},   // ß is not SS
        {"Stra\xDF" "e", "STRA\xDF" "E", true},
        {"\xD7", "\xF7", false},              // multiplication and division signs
        {"Web", "Web ", false},
        {"", "", true},
        {"A", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " | " + c.b);
        EXPECT_EQ(NamesEqualIgnoringCase(c.a, c.b), c.equal);
        EXPECT_EQ(NamesEqualIgnoringCase(c.b, c.a), c.equal);
    }
    EXPECT_TRUE(OrdinalEqualsIgnoringCase(u"\u00FF\u0101\u03C3\u0436", u"\u0178\u0100\u03A3\u0416"));
    EXPECT_FALSE(OrdinalEqualsIgnoringCase(u"\u03C2", u"\u03C3"));  // the final sigma stays itself
    EXPECT_FALSE(OrdinalEqualsIgnoringCase(u"\u0131", u"I"));
}

}  // namespace
}  // namespace vela
