// The display-text table of the common values runs under Wine against the real registry
// (ell_reg_win32_test.cpp); here only what no ordinary value shows.
#include "admin/store/ell_reg_format.h"

#include <gtest/gtest.h>

namespace vela::ellreg {
namespace {

using namespace std::string_literals;

TEST(DisplayText, OddSizesAndOtherTypes) {
    EXPECT_EQ(DisplayText(kRegDword, "\x05"s), "005");                  // missing bytes count as 0
    EXPECT_EQ(DisplayText(kRegDword, "\x05\0\0\0\x01"s), "005");        // bytes past the fourth ignored
    EXPECT_EQ(DisplayText(kRegBinary, ""), "");
    EXPECT_EQ(DisplayText(11, "\x01\0\0\0\0\0\0\0"s), "\x01      "s);  // REG_QWORD reads as text
    EXPECT_EQ(DisplayText(kRegDword, std::string(2049, '\0')), std::nullopt);
}

TEST(DwordFromText, TakesSigned32BitNumbersOnly) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {" 42 ", 42u},         {"+7", 7u},           {"-1", 0xFFFFFFFFu}, {"-2147483648", 0x80000000u},
        {"2147483647", 0x7FFFFFFFu}, {"2147483648", std::nullopt}, {"", std::nullopt}, {"-", std::nullopt},
        {"12a", std::nullopt}, {"0x10", std::nullopt}, {"99999999999999999999", std::nullopt},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(DwordFromText(text), value) << text;
}

}  // namespace
}  // namespace vela::ellreg
