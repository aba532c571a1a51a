// The ANSI code page where the terminal-server path needs it: CtxWFProfilePath holds the path's
// bytes in the code page of the machine that wrote it.  Windows: the process's ANSI code page;
// the native tree stands in ISO 8859-1 for it (tests use characters that are the same in 1252).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vela::directory {

// The text in the ANSI code page, or nullopt when the code page cannot carry it exactly: nothing
// is guessed, neither '?' for a missing character nor a look-alike (U+0141 is no "L", a
// full-width letter no ASCII one), since a guessed path could name another existing folder.
// Exact means the bytes read back (AnsiToUtf16) as `text` itself; lone surrogates never do.
[[nodiscard]] std::optional<std::string> Utf16ToAnsi(std::u16string_view text);
// Every byte string reads as some text; bytes the code page leaves undefined read as the
// platform maps them.
[[nodiscard]] std::u16string AnsiToUtf16(std::string_view ansi);

}  // namespace vela::directory
