// Our own private-profile reader and writer.
//
// Where the Windows private-profile functions are missing (the native tree), inimod reads and
// writes INI files through this engine, so it has to give the results GetPrivateProfileStringA
// and WritePrivateProfileStringA give.  The rules below were measured against kernel32 under Wine
// and checked against Microsoft's documentation; ini_differential_test compares the two on a
// corpus and on random operation sequences.  Where Wine's behaviour contradicts the documentation
// the engine follows the documentation (see GetString and SetString).
//
// A file is bytes in the ANSI code page.  A line ends at CR LF, at a lone LF or at a lone CR; the
// last line may lack an end.  A line is classified after trimming blanks (IsProfileBlank):
//   - blank: nothing left;
//   - section header: starts with '[' and holds a ']' later; the name is what lies between the
//     '[' and the LAST ']', trimmed ("[ Main ] ; x" names "Main");
//   - anything else is an entry.  Its name is the text before the first '=' (trimmed), its value
//     the text after that '=' (trimmed).  A line without '=' is an entry with a name and no value;
//     comment lines (";...") are nothing special, they are entries whose names start with ';'.
// Lines before the first header belong to no section the engine can be asked for.  Names are
// compared ignoring the case of ASCII letters only; bytes above 127 are never folded.  When a
// section or a key occurs more than once, only the first occurrence counts: a key in a repeated
// section header further down is not found.
//
// The writer changes at most one line of an existing file (or adds one, or a header and one):
// every other byte stays as it was, including comments, blank lines, unknown entries, LF-only
// line ends and bytes above 127.  What it adds ends in CR LF.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "admin/store/file_system.h"

namespace vela::profile {

// The blanks that kernel32 trims around names and values (measured): space, tab, vertical tab,
// form feed and ^Z (a DOS end-of-file mark that some old files carry at their end).  A no-break
// space (0xA0) and other control bytes are kept.  CR and LF end lines and never reach the trimming.
[[nodiscard]] constexpr bool IsProfileBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a';
}

// The value text of `key` in `section` as it stands in the file: after the first '=', blanks
// trimmed, quotes NOT removed.  nullopt when the section or key is missing, when the key's line
// has no '=', or when a name is empty after trimming.  Names are cut at a NUL, as a C API would.
[[nodiscard]] std::optional<std::string_view> FindValue(std::string_view content,
                                                        std::string_view section,
                                                        std::string_view key);

// What GetPrivateProfileStringA would copy into a buffer of `bufferChars` characters (the
// terminating NUL not included): the value with one pair of enclosing quotes removed ('...' or
// "..." of at least two characters), else `def` with its trailing spaces removed; either cut to
// bufferChars - 1 characters.  A buffer of 0 characters receives nothing.
//
// Wine loses the last character of a quoted value whose unquoted length is exactly
// bufferChars - 1 (it cuts first, then drops what it takes for the closing quote).  The engine
// follows the documented rule instead: the quotes are discarded, and the text is cut only when
// it does not fit.
[[nodiscard]] std::string GetString(std::string_view content, std::string_view section,
                                    std::string_view key, std::string_view def,
                                    std::size_t bufferChars);

// True when `name` can name a section or key: not empty after cutting at a NUL and trimming.
[[nodiscard]] bool IsUsableName(std::string_view name) noexcept;

// The file bytes after WritePrivateProfileStringA(section, key, value) on a file holding
// `content` (empty for a missing file).  Leading blanks, CR and LF of `value` are dropped, as
// kernel32 drops them (measured); trailing ones are written.  Names are trimmed.
//   - The first entry named `key` in the first section named `section` keeps everything up to its
//     value (indentation, the key's own spelling, blanks around '=') and its line end; only the
//     value text is replaced.  An entry without '=' gains "=" and the value.  When the stored value
//     already equals `value` byte for byte, nothing changes.
//   - A missing key is added as "key=value" CR LF directly after the last non-blank line of the
//     section (the header when the section has nothing else), so blank lines that separate it
//     from the next section stay below it.
//   - A missing section is added at the end of the file as "[section]" CR LF "key=value" CR LF.
//   - A last line without a line end gets CR LF before anything is added after it.
// Returns `content` unchanged when either name is unusable (see IsUsableName).
[[nodiscard]] std::string SetString(std::string_view content, std::string_view section,
                                    std::string_view key, std::string_view value);

// ---- File level ---------------------------------------------------------------------------------
// Files are read and written through the file-system service handed in, so paths are its
// Windows-form text ("folder\ProfileSettings\a.ini" works in both trees).  A relative path is
// taken from the current folder, where the Windows functions would look in the Windows folder;
// the program only passes full paths.  Files are bytes: a Unicode (UTF-16) profile file is not
// recognised.

// GetString on the file at `path`; a missing or unreadable file reads as empty.
[[nodiscard]] std::string ReadString(FileSystem& fs, const std::string& path, std::string_view section,
                                     std::string_view key, std::string_view def, std::size_t bufferChars);

// SetString on the file at `path`, stored with the file system's replace (a temporary file in the
// same folder renamed over it), so a failure at any point leaves the old file whole.  False when
// nothing could be written: an unusable name, an unreadable file (which is not an empty one), a
// read-only file (as WritePrivateProfileStringA refuses it) or a missing folder.  An unchanged
// value writes nothing and is true.
[[nodiscard]] bool WriteString(FileSystem& fs, const std::string& path, std::string_view section,
                               std::string_view key, std::string_view value);

}  // namespace vela::profile
