// EllReg's rules for turning a registry value into the text the program shows, and a text into
// REG_DWORD data.  Plain C++: the Win32 side (ell_reg_win32.cpp) only fetches the bytes and calls
// these, so every rule is tested natively.
//
// Data handed in is what the ANSI registry functions would return: for the text types (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ) the bytes in the ANSI code page, for every other type the stored
// bytes.  ell_reg_win32.cpp reads through the wide functions and narrows the text types first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vela::ellreg {

// The registry's type codes, for code that cannot include <windows.h>.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// What a read gives when it fails for any reason.
inline constexpr std::string_view kNotFound = "Not Found";
// The read buffer: a value whose data is longer cannot be read.
inline constexpr std::size_t kReadBufferBytes = 2048;

// True for the types whose data the platform keeps as text (and converts between code pages).
[[nodiscard]] constexpr bool IsTextType(std::uint32_t type) noexcept {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// The display text of a value of `type` with `data`; nullopt when the data is longer than the
// read buffer.
//  - REG_DWORD: the bytes as a little-endian unsigned number, decimal, at least three digits
//    (0 -> "000", 1234 -> "1234"); missing bytes of a short value count as 0, bytes past the
//    fourth are ignored.
//  - REG_BINARY: two upper-case hexadecimal digits per byte, no separator.
//  - any other type: the bytes as text, the last one dropped only when it is a NUL terminator,
//    every other NUL shown as one blank (a multi-string "a\0b\0\0" reads "a b ").
[[nodiscard]] std::optional<std::string> DisplayText(std::uint32_t type, std::string_view data);

// The text of a REG_DWORD write as the 32-bit pattern to store: an optional sign and decimal
// digits, blanks around them allowed, in the range of a signed 32-bit number (-1 is stored as
// 0xFFFFFFFF).  nullopt for anything else: nothing is then written.
[[nodiscard]] std::optional<std::uint32_t> DwordFromText(std::string_view text);

}  // namespace vela::ellreg
