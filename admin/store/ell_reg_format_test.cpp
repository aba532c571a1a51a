#include "admin/store/ell_reg_format.h"

#include <gtest/gtest.h>

#include <string>

namespace vela::ellreg {
namespace {

using namespace std::string_literals;

TEST(DisplayText, TurnsEachTypeIntoItsText) {
    const struct {
        std::uint32_t type;
        std::string data;
        std::string text;
    } cases[] = {
        {kRegDword, "\x00\x00\x00\x00"s, "000"},
        {kRegDword, "\x07\x00\x00\x00"s, "007"},
        {kRegDword, "\xD2\x04\x00\x00"s, "1234"},
        {kRegDword, "\xFF\xFF\xFF\xFF"s, "4294967295"},
        {kRegDword, "\x05"s, "005"},                     // short data: missing bytes are 0
        {kRegDword, "\x05\x00\x00\x00\x01"s, "005"},     // bytes past the fourth are ignored
        {kRegBinary, "\x0A\xFF"s, "0AFF"},
        {kRegBinary, "", ""},
        {kRegSz, "abc\0"s, "abc"},
        {kRegSz, "abc", "abc"},                          // no terminator: nothing is cut off
        {kRegSz, "\0"s, ""},
        {kRegSz, "", ""},
        {kRegSz, "a\0b\0"s, "a b"},
        {kRegSz, "M\xFCller\0"s, "M\xFCller"},
        {kRegMultiSz, "a\0b\0\0"s, "a b "},
        {kRegExpandSz, "%SystemRoot%\0"s, "%SystemRoot%"},
        {11, "\x01\0\0\0\0\0\0\0"s, "\x01      "s},  // REG_QWORD and other types read as text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " data size " << c.data.size());
        EXPECT_EQ(DisplayText(c.type, c.data), c.text);
    }
}

TEST(DisplayText, RefusesDataLongerThanTheReadBuffer) {
    for (const std::uint32_t type : {kRegSz, kRegBinary, kRegDword, kRegMultiSz}) {
        SCOPED_TRACE(type);
        EXPECT_TRUE(DisplayText(type, std::string(kReadBufferBytes, '\x01')).has_value());
        EXPECT_EQ(DisplayText(type, std::string(kReadBufferBytes + 1, '\x01')), std::nullopt);
    }
    EXPECT_EQ(DisplayText(kRegBinary, std::string(kReadBufferBytes, '\xAB'))->size(), 2 * kReadBufferBytes);
}

TEST(DwordFromText, TakesSigned32BitNumbersOnly) {
    const struct {
        const char* text;
        std::optional<std::uint32_t> value;
    } cases[] = {
        {"5", 5u},           {" 42 ", 42u},      {"+7", 7u},          {"0", 0u},
        {"-1", 0xFFFFFFFFu}, {"2147483647", 0x7FFFFFFFu},            {"-2147483648", 0x80000000u},
        {"2147483648", std::nullopt},           {"4294967295", std::nullopt},
        {"", std::nullopt},  {"-", std::nullopt}, {"12a", std::nullopt}, {"0x10", std::nullopt},
        {"99999999999999999999", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DwordFromText(c.text), c.value);
    }
}

}  // namespace
}  // namespace vela::ellreg
