#include <windows.h>

#include "admin/common/text.h"

namespace vela {

std::optional<std::string> Utf16ToAnsi(std::u16string_view text) {
    if (text.empty()) return std::string();  // a zero result would read as failure
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    const int len = static_cast<int>(text.size());
    // Flags 0 would allow best-fit mapping: U+0141 becomes 'L'.  A UTF-8 code page takes neither
    // that flag nor a default character; it fails on what it cannot carry (lone surrogates).
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int n = ::WideCharToMultiByte(CP_ACP, flags, w, len, nullptr, 0, nullptr, usedDefaultOut);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    if (::WideCharToMultiByte(CP_ACP, flags, w, len, out.data(), n, nullptr, usedDefaultOut) != n || usedDefault)
        return std::nullopt;
    // A code page may still map a character to bytes that read back as another one; only a text
    // that comes back unchanged is exact.
    if (AnsiToUtf16(out) != text) return std::nullopt;
    return out;
}

std::u16string AnsiToUtf16(std::string_view ansi) {
    if (ansi.empty()) return {};
    const int len = static_cast<int>(ansi.size());
    const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), len, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), len, reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

}  // namespace vela
