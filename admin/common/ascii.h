// ASCII-only text helpers for the administration program.
//
// All text is bytes in the ANSI code page.  Letter case is folded for A-Z / a-z only: bytes above
// 127 pass through unchanged (std::tolower on a signed char would be undefined for them, and the
// Windows profile functions compare names the same way for ASCII letters).
#pragma once

#include <string>
#include <string_view>

namespace vela {

[[nodiscard]] constexpr char AsciiLower(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
[[nodiscard]] constexpr char AsciiUpper(char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

[[nodiscard]] std::string AsciiLower(std::string_view s);
[[nodiscard]] std::string AsciiUpper(std::string_view s);
// True when a and b are equal apart from the case of ASCII letters.
[[nodiscard]] bool AsciiIEquals(std::string_view a, std::string_view b) noexcept;
// True when `needle` occurs in `hay`, ASCII case ignored.
[[nodiscard]] bool AsciiIContains(std::string_view hay, std::string_view needle) noexcept;

// Blank means space or tab: what "surrounding blanks removed" strips from a name or a value.
[[nodiscard]] constexpr bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }
[[nodiscard]] std::string_view TrimBlanks(std::string_view s) noexcept;

// "1 user restored", "5 users restored": `n` followed by `one` or `many`.
[[nodiscard]] std::string Plural(long long n, std::string_view one, std::string_view many);

}  // namespace vela
