#include "admin/common/text.h"

#include <cstdint>

namespace vela {
namespace {

// Decodes UTF-8 and hands each UTF-16 code unit to `emit`; false on bytes that are not UTF-8.
// A blob's code units include lone surrogates in their three-byte form; text (`strict`) may not.
template <bool strict, typename Emit>
bool DecodeUtf8(std::string_view s, Emit&& emit) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {  // the common case in a blob: headers and hex digits below 0x80
            emit(static_cast<char16_t>(b0));
            ++i;
            continue;
        }
        std::size_t len;
        std::uint32_t cp;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2, cp = b0 & 0x1Fu;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3, cp = b0 & 0x0Fu;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4, cp = b0 & 0x07u;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
        if (strict && cp >= 0xD800 && cp <= 0xDFFF) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            emit(static_cast<char16_t>(0xD800 + (cp >> 10)));
            emit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            emit(static_cast<char16_t>(cp));  // lone surrogates pass: blobs contain them
        }
        i += len;
    }
    return true;
}

}  // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    if (!DecodeUtf8<false>(utf8, [&](char16_t u) { out.push_back(u); })) return std::nullopt;
    return out;
}

bool IsUtf8(std::string_view text) {
    return DecodeUtf8<true>(text, [](char16_t) {});
}

std::string Utf16ToUtf8(std::u16string_view units) {
    std::string out;
    const std::size_t count = units.size();
    out.reserve(count + count / 2);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t cp = units[i];
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count) {
            const std::uint32_t lo = units[i + 1];
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace vela
