#include <windows.h>

#include "admin/directory/ansi_text.h"

namespace vela::directory {

std::string Utf16ToAnsi(std::u16string_view text) {
    if (text.empty()) return {};
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    const int len = static_cast<int>(text.size());
    const int n = ::WideCharToMultiByte(CP_ACP, 0, w, len, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, w, len, out.data(), n, nullptr, nullptr);
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

}  // namespace vela::directory
