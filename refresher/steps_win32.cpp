#include "refresher/steps_win32.h"

#include <algorithm>
#include <array>
#include <vector>

#include "refresher/win32/unique.h"

namespace vela::refresher::win32 {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));
static_assert(sizeof(COLORREF) == sizeof(std::uint32_t));

const char* KeyPath(UserKey key) {
    switch (key) {
        case UserKey::Desktop: return "Control Panel\\Desktop";
        case UserKey::Colors: return "Control Panel\\Colors";
        case UserKey::WindowMetrics: return "Control Panel\\Desktop\\WindowMetrics";
    }
    return "";
}

class UserRegistryKey final : public RegistryKey {
public:
    explicit UserRegistryKey(UniqueKey key) : key_(std::move(key)) {}

    std::optional<std::string> ReadText(const char* name, std::size_t limit) override {
        std::vector<char> buffer(limit + 1, '\0');
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(limit);
        if (::RegQueryValueExA(key_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                               &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return std::nullopt;
        // Stored text may lack its terminator; the buffer has one byte more than the limit.
        const std::string_view delivered(buffer.data(), std::min<std::size_t>(size, limit));
        return std::string(delivered.substr(0, std::min(delivered.find('\0'), delivered.size())));
    }

    std::optional<std::vector<std::uint8_t>> ReadBinary(const char* name, std::size_t limit) override {
        std::vector<std::uint8_t> buffer(limit);
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(limit);
        if (::RegQueryValueExA(key_.get(), name, nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS ||
            type != REG_BINARY)
            return std::nullopt;
        buffer.resize(std::min<std::size_t>(size, limit));
        return buffer;
    }

private:
    UniqueKey key_;
};

void CopyFace(const CHAR (&from)[LF_FACESIZE], std::array<char, kFaceSize>& to) {
    std::copy(std::begin(from), std::end(from), to.begin());
    to.back() = '\0';
}

}  // namespace

std::unique_ptr<RegistryKey> UserRegistry::Open(UserKey key) {
    UniqueKey opened;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath(key), 0, KEY_READ, opened.put()) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<UserRegistryKey>(std::move(opened));
}

LOGFONTA ToLogFont(const AnsiLogFont& f) {
    LOGFONTA l{};
    l.lfHeight = f.height;
    l.lfWidth = f.width;
    l.lfEscapement = f.escapement;
    l.lfOrientation = f.orientation;
    l.lfWeight = f.weight;
    l.lfItalic = f.italic;
    l.lfUnderline = f.underline;
    l.lfStrikeOut = f.strikeOut;
    l.lfCharSet = f.charSet;
    l.lfOutPrecision = f.outPrecision;
    l.lfClipPrecision = f.clipPrecision;
    l.lfQuality = f.quality;
    l.lfPitchAndFamily = f.pitchAndFamily;
    std::copy(f.face.begin(), f.face.end(), l.lfFaceName);
    l.lfFaceName[LF_FACESIZE - 1] = '\0';
    return l;
}

AnsiLogFont FromLogFont(const LOGFONTA& l) {
    AnsiLogFont f;
    f.height = l.lfHeight;
    f.width = l.lfWidth;
    f.escapement = l.lfEscapement;
    f.orientation = l.lfOrientation;
    f.weight = l.lfWeight;
    f.italic = l.lfItalic;
    f.underline = l.lfUnderline;
    f.strikeOut = l.lfStrikeOut;
    f.charSet = l.lfCharSet;
    f.outPrecision = l.lfOutPrecision;
    f.clipPrecision = l.lfClipPrecision;
    f.quality = l.lfQuality;
    f.pitchAndFamily = l.lfPitchAndFamily;
    CopyFace(l.lfFaceName, f.face);
    return f;
}

NONCLIENTMETRICSA ToNonClientMetrics(const WindowMetrics& m) {
    NONCLIENTMETRICSA n{};
    n.cbSize = kNonClientMetricsSize;
    n.iBorderWidth = m.borderWidth;
    n.iScrollWidth = m.scrollWidth;
    n.iScrollHeight = m.scrollHeight;
    n.iCaptionWidth = m.captionWidth;
    n.iCaptionHeight = m.captionHeight;
    n.lfCaptionFont = ToLogFont(m.captionFont);
    n.iSmCaptionWidth = m.smCaptionWidth;
    n.iSmCaptionHeight = m.smCaptionHeight;
    n.lfSmCaptionFont = ToLogFont(m.smCaptionFont);
    n.iMenuWidth = m.menuWidth;
    n.iMenuHeight = m.menuHeight;
    n.lfMenuFont = ToLogFont(m.menuFont);
    n.lfStatusFont = ToLogFont(m.statusFont);
    n.lfMessageFont = ToLogFont(m.messageFont);
    return n;
}

WindowMetrics FromNonClientMetrics(const NONCLIENTMETRICSA& n) {
    WindowMetrics m;
    m.borderWidth = n.iBorderWidth;
    m.scrollWidth = n.iScrollWidth;
    m.scrollHeight = n.iScrollHeight;
    m.captionWidth = n.iCaptionWidth;
    m.captionHeight = n.iCaptionHeight;
    m.captionFont = FromLogFont(n.lfCaptionFont);
    m.smCaptionWidth = n.iSmCaptionWidth;
    m.smCaptionHeight = n.iSmCaptionHeight;
    m.smCaptionFont = FromLogFont(n.lfSmCaptionFont);
    m.menuWidth = n.iMenuWidth;
    m.menuHeight = n.iMenuHeight;
    m.menuFont = FromLogFont(n.lfMenuFont);
    m.statusFont = FromLogFont(n.lfStatusFont);
    m.messageFont = FromLogFont(n.lfMessageFont);
    return m;
}

ICONMETRICSA ToIconMetrics(const IconMetrics& m) {
    ICONMETRICSA i{};
    i.cbSize = sizeof(ICONMETRICSA);
    i.iHorzSpacing = m.horzSpacing;
    i.iVertSpacing = m.vertSpacing;
    i.iTitleWrap = m.titleWrap;
    i.lfFont = ToLogFont(m.font);
    return i;
}

IconMetrics FromIconMetrics(const ICONMETRICSA& i) {
    IconMetrics m;
    m.horzSpacing = i.iHorzSpacing;
    m.vertSpacing = i.iVertSpacing;
    m.titleWrap = i.iTitleWrap;
    m.font = FromLogFont(i.lfFont);
    return m;
}

std::optional<std::string> ToAnsi(std::u16string_view text) {
    if (text.empty()) return std::string();  // a zero result would read as failure
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    // UTF-8 has a form for every character but refuses the default-character report; in other
    // code pages a character without an exact form (no best fit) shows as the default character.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr,
                                        utf8 ? nullptr : &usedDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    if (::WideCharToMultiByte(CP_ACP, flags, wide, length, out.data(), n, nullptr, nullptr) != n) return std::nullopt;
    return out;
}

bool Win32SystemSettings::ReloadIcons() {
    if (::SystemParametersInfoA(SPI_SETICONS, 0, nullptr, 0)) return true;
    iconsError_ = ::GetLastError();
    return false;
}

std::string Win32SystemSettings::IconsFailureText() {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, iconsError_, LANG_USER_DEFAULT, reinterpret_cast<char*>(&text), 0, nullptr);
    if (n == 0 || !text) return "error " + std::to_string(iconsError_);
    std::string result(text, n);
    ::LocalFree(text);
    return result;
}

std::optional<std::string> Win32SystemSettings::Wallpaper() {
    char path[MAX_PATH + 1] = {};
    if (!::SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, path, 0)) return std::nullopt;
    path[MAX_PATH] = '\0';
    return std::string(path);
}

bool Win32SystemSettings::SetWallpaper(const std::string& path, std::uint32_t byteCount) {
    // The call takes a non-const pointer but does not write through it.
    return ::SystemParametersInfoA(SPI_SETDESKWALLPAPER, byteCount, const_cast<char*>(path.c_str()), 0) != FALSE;
}

std::uint32_t Win32SystemSettings::Colour(int element) { return ::GetSysColor(element); }

bool Win32SystemSettings::SetColours(std::span<const int> elements, std::span<const std::uint32_t> colours) {
    const std::size_t n = std::min(elements.size(), colours.size());
    const std::vector<COLORREF> values(colours.begin(), colours.begin() + static_cast<std::ptrdiff_t>(n));
    return ::SetSysColors(static_cast<int>(n), elements.data(), values.data()) != FALSE;
}

std::optional<WindowMetrics> Win32SystemSettings::CurrentWindowMetrics() {
    NONCLIENTMETRICSA n{};
    n.cbSize = kNonClientMetricsSize;
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kNonClientMetricsSize, &n, 0)) return std::nullopt;
    return FromNonClientMetrics(n);
}

bool Win32SystemSettings::SetWindowMetrics(const WindowMetrics& metrics) {
    NONCLIENTMETRICSA n = ToNonClientMetrics(metrics);
    return ::SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, kNonClientMetricsSize, &n, SPIF_SENDCHANGE) != FALSE;
}

std::optional<IconMetrics> Win32SystemSettings::CurrentIconMetrics() {
    ICONMETRICSA i{};
    i.cbSize = sizeof(ICONMETRICSA);
    if (!::SystemParametersInfoA(SPI_GETICONMETRICS, sizeof(ICONMETRICSA), &i, 0)) return std::nullopt;
    return FromIconMetrics(i);
}

bool Win32SystemSettings::SetIconMetrics(const IconMetrics& metrics) {
    ICONMETRICSA i = ToIconMetrics(metrics);
    return ::SystemParametersInfoA(SPI_SETICONMETRICS, sizeof(ICONMETRICSA), &i, 0) != FALSE;
}

bool Win32SystemSettings::BroadcastSettingChange() {
    return ::SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0) != 0;
}

bool Win32SystemSettings::ReloadCursors() {
    return ::SystemParametersInfoA(SPI_SETCURSORS, 0, nullptr, SPIF_SENDCHANGE) != FALSE;
}

std::optional<std::uint32_t> Win32SystemSettings::ScreenSaveTimeout() {
    UINT seconds = 0;
    if (!::SystemParametersInfoA(SPI_GETSCREENSAVETIMEOUT, 0, &seconds, 0)) return std::nullopt;
    return seconds;
}

bool Win32SystemSettings::SetScreenSaveTimeout(std::uint32_t seconds) {
    return ::SystemParametersInfoA(SPI_SETSCREENSAVETIMEOUT, seconds, nullptr, 0) != FALSE;
}

}  // namespace vela::refresher::win32
