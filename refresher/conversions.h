// Conversions of the refresher: the registry keeps a user's appearance as text and byte images
// (numbers, "R G B" colours, twip counts, LOGFONTW images); the system's setting calls take
// pixels, COLORREFs and LOGFONTA.  Everything here is pure and platform-free, so the native
// tests reach every rule; the Windows layer only copies the results into the real structures.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vela::refresher {

// The operating system's version as its version information reports it.
struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
};

// True for Windows 2000 (5.0) and later; only the major number is looked at.
[[nodiscard]] bool CheckVersion(std::uint32_t major);

// Decimal number at the start of `text`: leading white space (space, tab, CR, LF, VT, FF) is
// skipped, one optional sign is taken, and the digits up to the first other character make the
// number.  Text without digits gives 0.  Values beyond the 32-bit range saturate.
[[nodiscard]] std::int32_t ParseNumber(std::string_view text);

// COLORREF (red + 256 * green + 65536 * blue) of a text of three numbers separated by runs of
// spaces ("0 78 152"); each number keeps its low 8 bits (256 gives 0, -1 gives 255), pieces
// after the third are ignored.  Nothing when there are fewer than three pieces or one of the
// first three holds no number (as ParseNumber reads it), so a partial colour is never applied.
[[nodiscard]] std::optional<std::uint32_t> ParseColour(std::string_view text);

// Twips per pixel, negated, for a screen of `logPixelsX` pixels per inch: -1440 / logPixelsX,
// truncated toward zero (-15 at 96, -12 at 120, -10 at 144).  Never 0: a non-positive input is
// taken as 96 pixels per inch, and more than 1440 pixels per inch gives -1.
[[nodiscard]] std::int32_t MetricDivisor(int logPixelsX);

// Pixels of a stored window metric.  A negative value is a twip count and is divided by
// `divisor` (from MetricDivisor), truncating toward zero; zero and positive values are pixels
// already (the platform stores and accepts both forms) and are returned unchanged.
[[nodiscard]] std::int32_t ConvertMetric(std::int32_t value, std::int32_t divisor);

// The horizontal icon spacing rule, applied to the parsed number before ConvertMetric: anything
// above -480 twips (so also 0, positive numbers and text without a number) becomes -1125.
[[nodiscard]] std::int32_t IconSpacingRule(std::int32_t twips);

// The sizes the system's appearance settings allow for a metric, in twips (the registry's unit),
// so that the pixel range follows the screen's resolution as the stored values do.  A restored
// profile can hold anything; a value outside its range would leave the desktop unusable.
struct MetricRange {
    std::int32_t minTwips = 0;
    std::int32_t maxTwips = 0;
};
// The sizing border: 0 to 750 twips, 0 to 50 pixels at 96 pixels per inch.
inline constexpr MetricRange kBorderRange{0, 750};
// Caption, small caption, menu and scroll bar sizes: up to 1500 twips, 100 pixels at 96.
inline constexpr MetricRange kBarRange{0, 1500};
// Icon spacing: no narrower than an icon (480 twips, 32 pixels at 96), up to 2730 twips (182).
inline constexpr MetricRange kIconSpacingRange{480, 2730};

// `pixels` (a ConvertMetric result) when it lies within `range` as `divisor` converts its ends
// to pixels, both ends included; nothing otherwise.
[[nodiscard]] std::optional<std::int32_t> WithinRange(std::int32_t pixels, MetricRange range,
                                                     std::int32_t divisor);

// One row of the colour table: the registry value under "Control Panel\Colors" and the system
// colour index it is given to.
struct ColourRow {
    const char* name;
    int element;
};
inline constexpr std::size_t kColourRows = 31;

// The 31 rows in the order the colour call carries them.  Element 20 appears twice (rows 5 and
// 8).  Rows 30 and 31 are "MenuHilight" -> 29 and "MenuBar" -> 30 on 5.1 and later; on 5.0 they
// repeat "WindowFrame" -> 6 and "WindowText" -> 8.
[[nodiscard]] std::array<ColourRow, kColourRows> ColourTable(OsVersion version);

// Size of the LOGFONTW byte image the registry holds for a font.
inline constexpr std::size_t kWideLogFontSize = 92;
inline constexpr std::size_t kFaceSize = 32;

// LOGFONTW as its little-endian byte image lays it out.
struct WideLogFont {
    std::int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
    std::uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
    std::uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    std::array<char16_t, kFaceSize> face{};
};

// LOGFONTA's members; the face name is ANSI text, always NUL-terminated within its 32 bytes.
struct AnsiLogFont {
    std::int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
    std::uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
    std::uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    std::array<char, kFaceSize> face{};
    friend bool operator==(const AnsiLogFont&, const AnsiLogFont&) = default;
};

// The font in a stored LOGFONTW image; nothing when the image is shorter than 92 bytes.  Bytes
// after the first 92 are ignored.
[[nodiscard]] std::optional<WideLogFont> DecodeWideLogFont(std::span<const std::uint8_t> image);

// The tallest font the steps apply: as tall as the tallest bar (kBarRange), in twips.
inline constexpr std::int32_t kMaxFontHeightTwips = 1500;
// LOGFONT weights run from 0 (the default) to 1000.
inline constexpr std::int32_t kMaxFontWeight = 1000;

// True when `font` can be a screen font: its weight lies within 0..1000 and its height, taken
// either as a cell height (positive) or a character height (negative), is no more than
// kMaxFontHeightTwips converted to pixels by `divisor`.
[[nodiscard]] bool IsScreenFont(const WideLogFont& font, std::int32_t divisor);

// Converts UTF-16 text (no terminator, no embedded NUL) to the ANSI code page; nothing when a
// character has no form of its own there (it would arrive as the default character).
using AnsiConverter = std::function<std::optional<std::string>(std::u16string_view)>;

// LOGFONTA of a LOGFONTW: the numbers and the eight byte fields are copied unchanged (the height
// is not converted); the face name, up to its first NUL, goes through `toAnsi`.  When the result
// needs more than 31 bytes, whole UTF-16 characters are dropped from the end until it fits, so a
// double-byte character is never cut in half.  Nothing when the face name is not text in the
// ANSI code page.
[[nodiscard]] std::optional<AnsiLogFont> NarrowLogFont(const WideLogFont& font, const AnsiConverter& toAnsi);

}  // namespace vela::refresher
