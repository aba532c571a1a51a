#include "admin/store/ell_reg_format.h"

#include <cstdio>

#include "admin/common/ascii.h"

namespace vela::ellreg {

std::optional<std::string> DisplayText(std::uint32_t type, std::string_view data) {
    if (data.size() > kReadBufferBytes) return std::nullopt;
    if (type == kRegDword) {
        std::uint32_t n = 0;
        for (std::size_t i = 0; i < 4 && i < data.size(); ++i)
            n |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03lu", static_cast<unsigned long>(n));
        return std::string(digits);
    }
    if (type == kRegBinary) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string out;
        out.reserve(data.size() * 2);
        for (const char c : data) {
            const auto b = static_cast<unsigned char>(c);
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
        return out;
    }
    // Data stored without its terminator keeps its last character.
    if (!data.empty() && data.back() == '\0') data.remove_suffix(1);
    std::string out(data);
    for (char& c : out)
        if (c == '\0') c = ' ';
    return out;
}

std::optional<std::uint32_t> DwordFromText(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
        if (n > 2147483648LL) return std::nullopt;
    }
    if (negative) n = -n;
    if (n > 2147483647LL) return std::nullopt;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(n));
}

}  // namespace vela::ellreg
