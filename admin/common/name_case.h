// Letter case in names as Windows ignores it.  Windows compares names (files, folders, registry
// keys) with CompareStringOrdinal and bIgnoreCase: each UTF-16 unit is upper-cased through one
// fixed one-to-one table, then the units are compared as numbers.  No locale is involved, and no
// letter becomes two ("\xDF" stays itself, it never equals "SS").
//
// The server types the Servers tab compares are such names.  On Windows NamesEqualIgnoringCase
// asks the system; natively it applies OrdinalUpper, our own copy of the table for the scripts
// an administrator plausibly types (Latin-1, Latin Extended-A and -B, the phonetic letters,
// Greek, Cyrillic).  The Windows test program holds OrdinalUpper against the real call for every
// unit up to U+052F.
#pragma once

#include <string_view>

namespace vela {

// The unit `c` is upper-cased to in an ordinal compare that ignores case; `c` itself when it
// has no upper-case form in one unit, or lies outside the scripts above.
[[nodiscard]] char16_t OrdinalUpper(char16_t c) noexcept;

// True when `a` and `b` have the same length and agree unit for unit after OrdinalUpper.
[[nodiscard]] bool OrdinalEqualsIgnoringCase(std::u16string_view a, std::u16string_view b) noexcept;

// True when the ANSI texts `a` and `b` name the same thing, letter case ignored as above.
// Windows: CompareStringOrdinal over their UTF-16 forms in the process's ANSI code page.
// Natively ISO 8859-1 stands in for that code page and OrdinalEqualsIgnoringCase decides.
[[nodiscard]] bool NamesEqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vela
