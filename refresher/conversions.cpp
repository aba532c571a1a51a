#include "refresher/conversions.h"

#include <algorithm>
#include <limits>

namespace vela::refresher {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The number at the start of `text`, or nothing when no digit follows the blanks and the sign.
std::optional<std::int32_t> ScanNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = std::min(kLimit, magnitude * 10 + (text[i] - '0'));
    const std::int64_t value = negative ? -magnitude : std::min(magnitude, kLimit - 1);
    return static_cast<std::int32_t>(value);
}

std::int32_t ReadInt32(std::span<const std::uint8_t> bytes, std::size_t at) {
    const std::uint32_t u = std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
                            std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
    return static_cast<std::int32_t>(u);
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

bool CheckVersion(std::uint32_t major) { return major >= 5; }

std::int32_t ParseNumber(std::string_view text) { return ScanNumber(text).value_or(0); }

std::optional<std::uint32_t> ParseColour(std::string_view text) {
    std::uint32_t parts[3] = {};
    std::size_t pos = 0;
    for (std::uint32_t& part : parts) {
        while (pos < text.size() && text[pos] == ' ') ++pos;
        if (pos == text.size()) return std::nullopt;
        const std::size_t end = std::min(text.find(' ', pos), text.size());
        const std::optional<std::int32_t> n = ScanNumber(text.substr(pos, end - pos));
        if (!n) return std::nullopt;
        part = static_cast<std::uint32_t>(*n) & 0xFFu;
        pos = end;
    }
    return parts[0] | parts[1] << 8 | parts[2] << 16;
}

std::int32_t MetricDivisor(int logPixelsX) {
    if (logPixelsX <= 0) logPixelsX = 96;
    return std::min(-1440 / logPixelsX, -1);
}

std::int32_t ConvertMetric(std::int32_t value, std::int32_t divisor) {
    if (value >= 0 || divisor == 0) return value;
    // 64 bits: INT32_MIN / -1 does not fit in 32.
    const std::int64_t pixels = std::int64_t{value} / divisor;
    return static_cast<std::int32_t>(std::min<std::int64_t>(pixels, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t IconSpacingRule(std::int32_t twips) { return twips > -480 ? -1125 : twips; }

std::optional<std::int32_t> WithinRange(std::int32_t pixels, MetricRange range, std::int32_t divisor) {
    if (pixels < ConvertMetric(-range.minTwips, divisor) || pixels > ConvertMetric(-range.maxTwips, divisor))
        return std::nullopt;
    return pixels;
}

bool IsScreenFont(const WideLogFont& font, std::int32_t divisor) {
    const std::int64_t height = font.height < 0 ? -std::int64_t{font.height} : font.height;
    return font.weight >= 0 && font.weight <= kMaxFontWeight &&
           height <= ConvertMetric(-kMaxFontHeightTwips, divisor);
}

std::array<ColourRow, kColourRows> ColourTable(OsVersion version) {
    const bool menuColours = version.major > 5 || (version.major == 5 && version.minor >= 1);
    return {{
        {"ActiveBorder", 10},
        {"ActiveTitle", 2},
        {"AppWorkSpace", 12},
        {"Background", 1},
        {"ButtonAlternateFace", 20},
        {"ButtonDkShadow", 21},
        {"ButtonFace", 15},
        {"ButtonHilight", 20},
        {"ButtonLight", 22},
        {"ButtonShadow", 16},
        {"ButtonText", 18},
        {"GradientActiveTitle", 27},
        {"GradientInactiveTitle", 28},
        {"GrayText", 17},
        {"Hilight", 13},
        {"HilightText", 14},
        {"HotTrackingColor", 26},
        {"InactiveBorder", 11},
        {"InactiveTitle", 3},
        {"InactiveTitleText", 19},
        {"InfoText", 23},
        {"InfoWindow", 24},
        {"Menu", 4},
        {"MenuText", 7},
        {"Scrollbar", 0},
        {"TitleText", 9},
        {"Window", 5},
        {"WindowFrame", 6},
        {"WindowText", 8},
        menuColours ? ColourRow{"MenuHilight", 29} : ColourRow{"WindowFrame", 6},
        menuColours ? ColourRow{"MenuBar", 30} : ColourRow{"WindowText", 8},
    }};
}

std::optional<WideLogFont> DecodeWideLogFont(std::span<const std::uint8_t> image) {
    if (image.size() < kWideLogFontSize) return std::nullopt;
    WideLogFont f;
    f.height = ReadInt32(image, 0);
    f.width = ReadInt32(image, 4);
    f.escapement = ReadInt32(image, 8);
    f.orientation = ReadInt32(image, 12);
    f.weight = ReadInt32(image, 16);
    f.italic = image[20];
    f.underline = image[21];
    f.strikeOut = image[22];
    f.charSet = image[23];
    f.outPrecision = image[24];
    f.clipPrecision = image[25];
    f.quality = image[26];
    f.pitchAndFamily = image[27];
    for (std::size_t i = 0; i < kFaceSize; ++i)
        f.face[i] = static_cast<char16_t>(image[28 + 2 * i] | image[29 + 2 * i] << 8);
    return f;
}

std::optional<AnsiLogFont> NarrowLogFont(const WideLogFont& font, const AnsiConverter& toAnsi) {
    AnsiLogFont a;
    a.height = font.height;
    a.width = font.width;
    a.escapement = font.escapement;
    a.orientation = font.orientation;
    a.weight = font.weight;
    a.italic = font.italic;
    a.underline = font.underline;
    a.strikeOut = font.strikeOut;
    a.charSet = font.charSet;
    a.outPrecision = font.outPrecision;
    a.clipPrecision = font.clipPrecision;
    a.quality = font.quality;
    a.pitchAndFamily = font.pitchAndFamily;

    std::u16string_view face(font.face.data(), font.face.size());
    face = face.substr(0, std::min(face.find(u'\0'), face.size()));
    const auto convert = [&]() -> std::optional<std::string> {
        return face.empty() ? std::string() : toAnsi(face);
    };
    std::optional<std::string> narrow = convert();
    while (narrow && narrow->size() > kFaceSize - 1) {
        const bool pair = face.size() >= 2 && IsLowSurrogate(face.back()) &&
                          IsHighSurrogate(face[face.size() - 2]);
        face.remove_suffix(pair ? 2 : 1);
        narrow = convert();
    }
    if (!narrow) return std::nullopt;
    std::copy(narrow->begin(), narrow->end(), a.face.begin());
    return a;
}

}  // namespace vela::refresher
