// The administration program's text conversions: UTF-8 and the ANSI code page to and from UTF-16.
//
// The program holds text as UTF-8 (directory names and values, status lines) or as ANSI bytes
// (INI values, settings files, registry values, the terminal-server path); the platform and the
// directory's blobs speak UTF-16.  Every conversion between them goes through this pair of pairs,
// and all four follow one rule for input that is not what it claims to be:
//
//   Nothing is guessed and nothing is replaced.  A conversion that cannot be exact gives nullopt,
//   never a '?', a U+FFFD or a look-alike character, and the caller decides what that means
//   (refuse a write, show nothing, report the value as unreadable).  A conversion that is exact
//   for every input returns its value plainly.
//
// UTF-16 is taken as code units, so a lone surrogate (which a Windows name or a userParameters
// blob can hold) is text like any other: it has a three-byte UTF-8 form that reads back as the
// same unit.  Windows: ANSI is the process's code page.  The native tree stands in ISO 8859-1 for
// it (tests use characters that are the same in 1252).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vela {

// UTF-8 to UTF-16 code units.  Accepts U+0000 and the three-byte form of lone surrogates (what a
// server sends for a blob); nullopt for anything else that is not UTF-8: overlong forms, stray
// continuation bytes, truncated sequences, code points above U+10FFFF.
[[nodiscard]] std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);
// The reverse, exact for every input: a valid surrogate pair becomes one four-byte sequence, a
// lone surrogate three bytes.
[[nodiscard]] std::string Utf16ToUtf8(std::u16string_view units);
// Whether `text` is well-formed UTF-8 as text must be (DNs, filters, paths): unlike a blob's
// code units it may not hold surrogates, lone or in pairs of three-byte forms.
[[nodiscard]] bool IsUtf8(std::string_view text);

// The text in the ANSI code page, or nullopt when the code page cannot carry it exactly: neither
// '?' for a missing character nor a best-fit look-alike (U+0141 is no "L", a full-width letter
// no ASCII one), since a guessed path could name another existing folder.  Exact means the bytes
// read back (AnsiToUtf16) as `text` itself; lone surrogates never do.
[[nodiscard]] std::optional<std::string> Utf16ToAnsi(std::u16string_view text);
// Every byte string reads as some text; bytes the code page leaves undefined read as the
// platform maps them.
[[nodiscard]] std::u16string AnsiToUtf16(std::string_view ansi);

}  // namespace vela
