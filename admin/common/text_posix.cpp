#include "admin/common/text.h"

namespace vela {

// ISO 8859-1: a byte is the code point of the same number, so exactly U+0000..U+00FF fit.
std::optional<std::string> Utf16ToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c > 0xFF) return std::nullopt;
        out.push_back(static_cast<char>(c));
    }
    return out;
}

std::u16string AnsiToUtf16(std::string_view ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (char c : ansi) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace vela
