// Our upper-case table against CompareStringOrdinal itself: every pair of units up to U+052F
// must be equal to the system exactly when OrdinalUpper makes them one unit, and each unit equal
// to its upper case wherever that lies.
#include <windows.h>

#include <gtest/gtest.h>

#include "admin/common/name_case.h"

namespace vela {
namespace {

constexpr int kLastCovered = 0x052F;

bool SystemEqual(wchar_t a, wchar_t b) { return ::CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL; }

TEST(OrdinalUpper, AgreesWithCompareStringOrdinal) {
    int mismatches = 0;
    for (int a = 0; a <= kLastCovered; ++a) {
        const char16_t up = OrdinalUpper(static_cast<char16_t>(a));
        if (!SystemEqual(static_cast<wchar_t>(a), static_cast<wchar_t>(up)) && ++mismatches <= 20)
            ADD_FAILURE() << std::hex << "U+" << a << " is not U+" << int(up);
        for (int b = a + 1; b <= kLastCovered; ++b) {
            const bool ours = OrdinalUpper(static_cast<char16_t>(a)) == OrdinalUpper(static_cast<char16_t>(b));
            if (ours != SystemEqual(static_cast<wchar_t>(a), static_cast<wchar_t>(b)) && ++mismatches <= 20)
                ADD_FAILURE() << std::hex << "U+" << a << " U+" << b << ": ours " << ours;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(NamesEqualIgnoringCase, AsksTheSystemInTheAnsiCodePage) {
    if (::GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << ::GetACP() << ", not 1252";
    EXPECT_TRUE(NamesEqualIgnoringCase("B\xFC" "ro", "B\xDC" "RO"));
    EXPECT_TRUE(NamesEqualIgnoringCase("\xFF", "\x9F"));  // ÿ and Ÿ, which 1252 holds at 0x9F
    EXPECT_FALSE(NamesEqualIgnoringCase("Stra\xDF" "e", "STRASSE"));
}

}  // namespace
}  // namespace vela
