// The ANSI code page where the terminal-server path needs it: CtxWFProfilePath holds the path's
// bytes in the code page of the machine that wrote it.  Windows: the process's ANSI code page;
// the native tree stands in ISO 8859-1 for it (tests use characters that are the same in 1252).
#pragma once

#include <string>
#include <string_view>

namespace vela::directory {

// Characters the code page lacks become '?'.
[[nodiscard]] std::string Utf16ToAnsi(std::u16string_view text);
[[nodiscard]] std::u16string AnsiToUtf16(std::string_view ansi);

}  // namespace vela::directory
