// VelaRefresh.exe for real: the tests write a user's appearance into HKCU, run the program as a
// child process and read back what the system holds, its console output and its window.
//
// Wine caches system parameters per process: a running process never sees what another one
// set.  So the system's state is read by a fresh process, this program started with --probe,
// and before each run the test sets a known baseline that differs from the registry, so a value
// only shows up if the refresher applied it.  Every registry value and live setting a test
// changes is put back in TearDown.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "refresher/platform_win32.h"
#include "refresher/run_sequence.h"
#include "refresher/win32/unique.h"

namespace vela::refresher {
namespace {

using win32::UniqueHandle;
using win32::UniqueKey;

constexpr const char* kDesktop = "Control Panel\\Desktop";
constexpr const char* kColors = "Control Panel\\Colors";
constexpr const char* kMetrics = "Control Panel\\Desktop\\WindowMetrics";
constexpr UINT kNcmSize = win32::kNonClientMetricsSize;

// What a process sees of the system's appearance.
struct Observed {
    NONCLIENTMETRICSA ncm;
    ICONMETRICSA icm;
    COLORREF colours[31];
    char wallpaper[MAX_PATH + 1];
    UINT timeout;
};

Observed Observe() {
    Observed o{};
    o.ncm.cbSize = kNcmSize;
    o.icm.cbSize = sizeof(ICONMETRICSA);
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kNcmSize, &o.ncm, 0);
    ::SystemParametersInfoA(SPI_GETICONMETRICS, sizeof(ICONMETRICSA), &o.icm, 0);
    for (int i = 0; i < 31; ++i) o.colours[i] = ::GetSysColor(i);
    ::SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, o.wallpaper, 0);
    ::SystemParametersInfoA(SPI_GETSCREENSAVETIMEOUT, 0, &o.timeout, 0);
    return o;
}

// Sets the live settings of the whole session without storing them in the registry.
void Apply(Observed o) {
    int elements[31];
    for (int i = 0; i < 31; ++i) elements[i] = i;
    ASSERT_TRUE(::SetSysColors(31, elements, o.colours));
    o.ncm.cbSize = kNcmSize;
    ASSERT_TRUE(::SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, kNcmSize, &o.ncm, 0));
    o.icm.cbSize = sizeof(ICONMETRICSA);
    ASSERT_TRUE(::SystemParametersInfoA(SPI_SETICONMETRICS, sizeof(ICONMETRICSA), &o.icm, 0));
    ASSERT_TRUE(::SystemParametersInfoA(SPI_SETDESKWALLPAPER, static_cast<UINT>(std::strlen(o.wallpaper) + 1),
                                        o.wallpaper, 0));
    ASSERT_TRUE(::SystemParametersInfoA(SPI_SETSCREENSAVETIMEOUT, o.timeout, nullptr, 0));
}

std::string WindowsPath(std::string unixPath) {
    for (char& c : unixPath) if (c == '/') c = '\\';
    return std::string("Z:") + unixPath;
}

std::string ThisProgram() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string TempFile(const char* prefix) {
    char dir[MAX_PATH] = {}, file[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, dir);
    ::GetTempFileNameA(dir, prefix, 0, file);
    return file;
}

std::string ReadFileText(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

// A started child whose standard output (and error) goes to a temporary file.
class Child {
public:
    explicit Child(const std::string& commandLine) : outPath_(TempFile("vrt")) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        UniqueHandle out(::CreateFileA(outPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = nullptr;
        si.hStdOutput = si.hStdError = out.get();
        PROCESS_INFORMATION pi{};
        std::string cmd = commandLine;
        if (::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
            process_.reset(pi.hProcess);
            ::CloseHandle(pi.hThread);
            pid_ = pi.dwProcessId;
        }
    }
    ~Child() {
        if (process_ && Running()) ::TerminateProcess(process_.get(), 99);
        process_.reset();
        ::DeleteFileA(outPath_.c_str());
    }
    bool Started() const { return static_cast<bool>(process_); }
    DWORD Pid() const { return pid_; }
    bool Running() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    // The exit code, or nothing when the process did not end in time.
    std::optional<DWORD> Wait(DWORD ms = 60000) {
        if (::WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return std::nullopt;
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        return code;
    }
    // What was written so far, CR LF read as LF.
    std::string Output() const {
        std::string text = ReadFileText(outPath_), lf;
        for (size_t i = 0; i < text.size(); ++i)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lf += text[i];
        return lf;
    }

private:
    std::string outPath_;
    UniqueHandle process_;
    DWORD pid_ = 0;
};

std::string RefresherCommand(const std::string& arguments) {
    std::string cmd = "\"";
    cmd += WindowsPath(VELA_REFRESH_EXE);
    cmd += '"';
    if (!arguments.empty()) cmd += " " + arguments;
    return cmd;
}

// What a fresh process sees.
Observed Probe() {
    const std::string file = TempFile("vrp");
    Child probe(std::string("\"") + ThisProgram() + "\" --probe \"" + file + "\"");
    Observed o{};
    EXPECT_EQ(probe.Wait(), DWORD{0});
    const std::string bytes = ReadFileText(file);
    ::DeleteFileA(file.c_str());
    EXPECT_EQ(bytes.size(), sizeof o);
    if (bytes.size() == sizeof o) std::memcpy(&o, bytes.data(), sizeof o);
    return o;
}

std::string SystemText(DWORD code) {
    char* text = nullptr;
    ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = text ? text : "";
    ::LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

// What one run prints on this system: the banner, then the reports of the calls that really
// fail here (Wine refuses SPI_SETICONS and SPI_SETCURSORS); the other steps must succeed.
std::string ExpectedRunOutput(bool usage) {
    std::string out = usage ? std::string(kUsageHint) : "";
    out += std::string(kBannerLine1) + std::string(kBannerLine2);
    if (!::SystemParametersInfoA(SPI_SETICONS, 0, nullptr, 0))
        out += "ERROR: " + SystemText(::GetLastError()) + "\n" + StepReport(Step::SetIconSize);
    if (!::SystemParametersInfoA(SPI_SETCURSORS, 0, nullptr, 0)) out += StepReport(Step::SetCursors);
    return out;
}

std::vector<BYTE> WideFontImage(const wchar_t* face, LONG height, LONG weight, BYTE charSet = DEFAULT_CHARSET) {
    LOGFONTW f{};
    f.lfHeight = height;
    f.lfWeight = weight;
    f.lfCharSet = charSet;
    f.lfQuality = DEFAULT_QUALITY;
    f.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    wcsncpy(f.lfFaceName, face, LF_FACESIZE - 1);
    const auto* p = reinterpret_cast<const BYTE*>(&f);
    return std::vector<BYTE>(p, p + sizeof f);
}

LOGFONTA Font(const char* face, LONG height, LONG weight) {
    LOGFONTA f{};
    f.lfHeight = height;
    f.lfWeight = weight;
    f.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(f.lfFaceName, face, LF_FACESIZE - 1);
    return f;
}

// Saves every registry value and the live appearance it touches, and sets a baseline that no
// test writes into the registry; TearDown puts everything back.
class Appearance : public testing::Test {
protected:
    void SetUp() override {
        original_ = Observe();
        baseline_ = original_;
        for (int i = 0; i < 31; ++i) baseline_.colours[i] = RGB(11, 22, i);
        NONCLIENTMETRICSA& n = baseline_.ncm;
        n.iBorderWidth = 3;
        n.iCaptionHeight = 25;
        n.iCaptionWidth = 26;
        n.iMenuHeight = 27;
        n.iMenuWidth = 28;
        n.iScrollHeight = 23;
        n.iScrollWidth = 24;
        n.iSmCaptionHeight = 21;
        n.iSmCaptionWidth = 22;
        n.lfMenuFont = n.lfMessageFont = n.lfCaptionFont = n.lfSmCaptionFont = n.lfStatusFont =
            Font("Courier New", -14, 400);
        baseline_.icm.iHorzSpacing = 90;
        baseline_.icm.iVertSpacing = 95;
        baseline_.icm.iTitleWrap = 1;
        baseline_.icm.lfFont = Font("Courier New", -14, 400);
        std::strcpy(baseline_.wallpaper, "");
        baseline_.timeout = 777;
        Apply(baseline_);
    }

    void TearDown() override {
        for (const auto& [where, value] : saved_) {
            UniqueKey key;
            if (::RegCreateKeyExA(HKEY_CURRENT_USER, where.first.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  key.put(), nullptr) != ERROR_SUCCESS)
                continue;
            if (value) {
                ::RegSetValueExA(key.get(), where.second.c_str(), 0, value->first, value->second.data(),
                                 static_cast<DWORD>(value->second.size()));
            } else {
                ::RegDeleteValueA(key.get(), where.second.c_str());
            }
        }
        Apply(original_);
    }

    void SetText(const char* key, const char* name, const std::string& text) {
        Write(key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), text.size() + 1);
    }
    void SetBinary(const char* key, const char* name, const std::vector<BYTE>& bytes) {
        Write(key, name, REG_BINARY, bytes.data(), bytes.size());
    }
    void SetDword(const char* key, const char* name, DWORD value) {
        Write(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    void Delete(const char* key, const char* name) {
        Save(key, name);
        UniqueKey k;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, k.put()) == ERROR_SUCCESS)
            ::RegDeleteValueA(k.get(), name);
    }

    // The registry values of a whole appearance of someone else's choosing.
    void WriteUserAppearance() {
        const std::array<ColourRow, kColourRows> rows = ColourTable({6, 1});
        for (size_t i = 0; i < rows.size(); ++i)
            SetText(kColors, rows[i].name, std::to_string(200 - i) + " " + std::to_string(10 + i) + "  " +
                                               std::to_string(100 + 3 * i));
        SetText(kMetrics, "BorderWidth", "-30");
        SetText(kMetrics, "CaptionHeight", "-300");
        SetText(kMetrics, "CaptionWidth", "-330");
        SetText(kMetrics, "MenuHeight", "-285");
        SetText(kMetrics, "MenuWidth", "-270");
        SetText(kMetrics, "ScrollHeight", "-240");
        SetText(kMetrics, "ScrollWidth", "19");  // pixels, as Wine's own profile stores them
        SetText(kMetrics, "SmCaptionHeight", "-225");
        SetText(kMetrics, "SmCaptionWidth", "-255");
        SetBinary(kMetrics, "MenuFont", WideFontImage(L"Tahoma", -13, 400));
        SetBinary(kMetrics, "MessageFont", WideFontImage(L"Verdana", -12, 400));
        SetBinary(kMetrics, "CaptionFont", WideFontImage(L"Tahoma", -11, 700));
        SetBinary(kMetrics, "SmCaptionFont", WideFontImage(L"Arial", -10, 700));
        SetBinary(kMetrics, "StatusFont", WideFontImage(L"Font \x20AC", -12, 400));
        SetBinary(kMetrics, "IconFont", WideFontImage(L"Segoe UI", -12, 400));
        SetText(kMetrics, "IconSpacing", "-1200");
        SetText(kMetrics, "IconVerticalspacing", "-1275");
        SetText(kMetrics, "IconTitleWrap", "0");
        SetText(kDesktop, "Wallpaper", "C:\\windows\\vela-test-wallpaper.bmp");
        SetText(kDesktop, "ScreenSaveTimeOut", "1234");
    }

    static COLORREF Stored(size_t row) { return RGB(200 - row, 10 + row, 100 + 3 * row); }

    Observed original_{};
    Observed baseline_{};

private:
    void Save(const char* key, const char* name) {
        const std::pair<std::string, std::string> where(key, name);
        if (saved_.count(where)) return;
        std::optional<std::pair<DWORD, std::vector<BYTE>>> value;
        UniqueKey k;
        DWORD type = 0, size = 0;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, k.put()) == ERROR_SUCCESS &&
            ::RegQueryValueExA(k.get(), name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            std::vector<BYTE> bytes(size);
            if (::RegQueryValueExA(k.get(), name, nullptr, &type, bytes.data(), &size) == ERROR_SUCCESS)
                value.emplace(type, std::move(bytes));
        }
        saved_.emplace(where, std::move(value));
    }
    void Write(const char* key, const char* name, DWORD type, const BYTE* data, size_t size) {
        Save(key, name);
        UniqueKey k;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExA(k.get(), name, 0, type, data, static_cast<DWORD>(size)), ERROR_SUCCESS);
    }

    std::map<std::pair<std::string, std::string>, std::optional<std::pair<DWORD, std::vector<BYTE>>>> saved_;
};

void ExpectFont(const LOGFONTA& got, const char* face, LONG height, LONG weight) {
    EXPECT_STREQ(got.lfFaceName, face);
    EXPECT_EQ(got.lfHeight, height) << face;
    EXPECT_EQ(got.lfWeight, weight) << face;
}

std::string Narrowed(const wchar_t* face) {
    char out[LF_FACESIZE] = {};
    ::WideCharToMultiByte(CP_ACP, 0, face, -1, out, LF_FACESIZE, nullptr, nullptr);
    return out;
}

TEST_F(Appearance, RegistryValuesAreWhatTheSystemHoldsAfterOneRun) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 96) << "the expected pixel counts below are those of 96 pixels per inch";
    WriteUserAppearance();

    // Without the refresher a new process still sees the baseline, not the registry.
    const Observed before = Probe();
    EXPECT_EQ(before.ncm.iCaptionHeight, 25);
    EXPECT_EQ(before.colours[COLOR_MENU], RGB(11, 22, COLOR_MENU));

    Child run(RefresherCommand(""));
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(run.Wait(), DWORD{0});
    EXPECT_EQ(run.Output(), ExpectedRunOutput(false));

    const Observed after = Probe();
    const std::array<ColourRow, kColourRows> rows = ColourTable({6, 1});
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 4) continue;  // element 20 twice: the later row, ButtonHilight, is what stays
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(after.colours[rows[i].element], Stored(i));
    }
    EXPECT_EQ(after.colours[COLOR_BTNHIGHLIGHT], Stored(7));
    EXPECT_EQ(after.colours[COLOR_MENUHILIGHT], Stored(29));
    EXPECT_EQ(after.colours[COLOR_MENUBAR], Stored(30));

    EXPECT_EQ(after.ncm.iBorderWidth, 2);
    EXPECT_EQ(after.ncm.iCaptionHeight, 20);
    EXPECT_EQ(after.ncm.iCaptionWidth, 22);
    EXPECT_EQ(after.ncm.iMenuHeight, 19);
    EXPECT_EQ(after.ncm.iMenuWidth, 18);
    EXPECT_EQ(after.ncm.iScrollHeight, 16);
    EXPECT_EQ(after.ncm.iScrollWidth, 19);
    EXPECT_EQ(after.ncm.iSmCaptionHeight, 15);
    EXPECT_EQ(after.ncm.iSmCaptionWidth, 17);
    ExpectFont(after.ncm.lfMenuFont, "Tahoma", -13, 400);
    ExpectFont(after.ncm.lfMessageFont, "Verdana", -12, 400);
    ExpectFont(after.ncm.lfCaptionFont, "Tahoma", -11, 700);
    ExpectFont(after.ncm.lfSmCaptionFont, "Arial", -10, 700);
    if (::GetACP() == 1252) {
        // The euro sign is 0x80 in code page 1252; its low byte 0xAC would read as a not sign.
        EXPECT_EQ(Narrowed(L"Font \x20AC"), "Font \x80");
        ExpectFont(after.ncm.lfStatusFont, "Font \x80", -12, 400);
    } else {
        ExpectFont(after.ncm.lfStatusFont, Narrowed(L"Font \x20AC").c_str(), -12, 400);
    }

    ExpectFont(after.icm.lfFont, "Segoe UI", -12, 400);
    EXPECT_EQ(after.icm.iHorzSpacing, 80);
    EXPECT_EQ(after.icm.iVertSpacing, 85);
    EXPECT_EQ(after.icm.iTitleWrap, 0);
    EXPECT_STREQ(after.wallpaper, "C:\\windows\\vela-test-wallpaper.bmp");
    EXPECT_EQ(after.timeout, 1234u);
}

TEST_F(Appearance, UnusableValuesLeaveTheCurrentSettings) {
    WriteUserAppearance();
    Delete(kColors, "Menu");
    SetText(kColors, "Window", "1 2");
    SetDword(kColors, "WindowText", 0x00FFFFFF);
    Delete(kMetrics, "CaptionHeight");
    SetText(kMetrics, "ScrollHeight", "-00000000000240");  // one byte over the metric limit
    SetDword(kMetrics, "BorderWidth", 7);
    SetBinary(kMetrics, "MenuFont", std::vector<BYTE>(60, 0x41));  // shorter than a LOGFONTW
    Delete(kMetrics, "IconSpacing");
    Delete(kMetrics, "IconFont");
    Delete(kDesktop, "Wallpaper");
    Delete(kDesktop, "ScreenSaveTimeOut");

    Child run(RefresherCommand(""));
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(run.Wait(), DWORD{0});
    EXPECT_EQ(run.Output(), ExpectedRunOutput(false));

    const Observed after = Probe();
    EXPECT_EQ(after.colours[COLOR_MENU], baseline_.colours[COLOR_MENU]);
    EXPECT_EQ(after.colours[COLOR_WINDOW], baseline_.colours[COLOR_WINDOW]);
    EXPECT_EQ(after.colours[COLOR_WINDOWTEXT], baseline_.colours[COLOR_WINDOWTEXT]);
    EXPECT_EQ(after.colours[COLOR_MENUTEXT], Stored(23));  // the readable ones still apply
    EXPECT_EQ(after.ncm.iCaptionHeight, 25);
    EXPECT_EQ(after.ncm.iScrollHeight, 23);
    EXPECT_EQ(after.ncm.iBorderWidth, 3);
    EXPECT_EQ(after.ncm.iMenuHeight, 19);
    ExpectFont(after.ncm.lfMenuFont, "Courier New", -14, 400);
    ExpectFont(after.ncm.lfCaptionFont, "Tahoma", -11, 700);
    EXPECT_EQ(after.icm.iHorzSpacing, 90);
    EXPECT_EQ(after.icm.iVertSpacing, 85);
    ExpectFont(after.icm.lfFont, "Courier New", -14, 400);
    EXPECT_STREQ(after.wallpaper, "");
    EXPECT_EQ(after.timeout, 777u);
}

TEST_F(Appearance, AbsurdMetricsAndFontsKeepTheCurrentSettings) {
    WriteUserAppearance();
    SetText(kMetrics, "BorderWidth", "-2147483648");
    SetText(kMetrics, "CaptionWidth", "-99999999999");
    SetText(kMetrics, "IconSpacing", "-2147483648");
    SetBinary(kMetrics, "MessageFont", std::vector<BYTE>(92, 0xFF));
    SetBinary(kMetrics, "IconFont", WideFontImage(L"Segoe UI", -12, 1001));

    Child run(RefresherCommand(""));
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(run.Wait(), DWORD{0});
    EXPECT_EQ(run.Output(), ExpectedRunOutput(false));

    const Observed after = Probe();
    EXPECT_EQ(after.ncm.iBorderWidth, 3);
    EXPECT_EQ(after.ncm.iCaptionWidth, 26);
    EXPECT_EQ(after.icm.iHorzSpacing, 90);
    ExpectFont(after.ncm.lfMessageFont, "Courier New", -14, 400);
    ExpectFont(after.icm.lfFont, "Courier New", -14, 400);
    // The sound values beside them still apply.
    EXPECT_EQ(after.ncm.iCaptionHeight, 20);
    EXPECT_EQ(after.icm.iVertSpacing, 85);
    ExpectFont(after.ncm.lfMenuFont, "Tahoma", -13, 400);
}

TEST_F(Appearance, CommandLineWordsInAnyCaseAndTheUsageHint) {
    const struct {
        const char* arguments;
        bool usage;
    } cases[] = {{"/?", true}, {"DEBUG", false}, {"-d", false}, {"x /?", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        Child run(RefresherCommand(c.arguments));
        ASSERT_TRUE(run.Started());
        EXPECT_EQ(run.Wait(), DWORD{0});
        EXPECT_EQ(run.Output(), ExpectedRunOutput(c.usage));
    }
}

// The same run sequence and Win32 steps as the program, in this process, on a system that
// reports another version.
class OtherVersion final : public win32::Win32Platform {
public:
    explicit OtherVersion(OsVersion v) : version_(v) {}
    OsVersion Version() override { return version_; }
    bool StartWindowThread(bool) override { return ++threads, true; }
    StepOutcome RunStep(Step step, const StepContext& context) override {
        ++steps;
        return Win32Platform::RunStep(step, context);
    }
    void Write(std::string_view text) override { out += text; }
    std::string out;
    int threads = 0, steps = 0;

private:
    OsVersion version_;
};

TEST(OldSystem, BannerAndTheErrorLineOnly) {
    for (const OsVersion v : {OsVersion{4, 0}, OsVersion{4, 10}}) {
        OtherVersion platform(v);
        const std::string_view args[] = {"/d"};
        EXPECT_EQ(RunRefresher(args, platform), 0);
        EXPECT_EQ(platform.out,
                  std::string(kBannerLine1) + std::string(kBannerLine2) + "ERROR: Windows 2000 and higher only\n");
        EXPECT_EQ(platform.threads, 0);
        EXPECT_EQ(platform.steps, 0);
    }
}

TEST_F(Appearance, Windows2000KeepsTheMenuColoursAndRepeatsFrameAndText) {
    WriteUserAppearance();
    for (const auto& [version, menuColours] : {std::pair{OsVersion{5, 0}, false}, std::pair{OsVersion{10, 0}, true}}) {
        SCOPED_TRACE(version.major);
        Apply(baseline_);
        OtherVersion platform(version);
        EXPECT_EQ(RunRefresher({}, platform), 0);
        EXPECT_EQ(platform.steps, 8);
        EXPECT_EQ(platform.out, ExpectedRunOutput(false));
        // This process applied the settings itself, so its own view is current.
        EXPECT_EQ(::GetSysColor(COLOR_WINDOWFRAME), Stored(27));
        EXPECT_EQ(::GetSysColor(COLOR_WINDOWTEXT), Stored(28));
        EXPECT_EQ(::GetSysColor(COLOR_MENUHILIGHT), menuColours ? Stored(29) : baseline_.colours[COLOR_MENUHILIGHT]);
        EXPECT_EQ(::GetSysColor(COLOR_MENUBAR), menuColours ? Stored(30) : baseline_.colours[COLOR_MENUBAR]);
    }
}

// A top-level window of this process that holds the settings broadcast (WM_SETTINGCHANGE with
// both parameters 0) until released, so the refresher's step 6 waits while the test looks.
class BroadcastHolder {
public:
    BroadcastHolder()
        : arrived_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          release_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          ready_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        thread_.reset(::CreateThread(nullptr, 0, &Thread, this, 0, &threadId_));
        ::WaitForSingleObject(ready_.get(), 10000);
    }
    ~BroadcastHolder() {
        Release();
        ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        ::WaitForSingleObject(thread_.get(), 10000);
    }
    bool WaitArrived(DWORD ms = 30000) { return ::WaitForSingleObject(arrived_.get(), ms) == WAIT_OBJECT_0; }
    void Release() { ::SetEvent(release_.get()); }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_SETTINGCHANGE && wp == 0 && lp == 0) {
            auto* self = reinterpret_cast<BroadcastHolder*>(::GetWindowLongPtrA(w, GWLP_USERDATA));
            if (self) {
                ::SetEvent(self->arrived_.get());
                ::WaitForSingleObject(self->release_.get(), 30000);
            }
            return 0;
        }
        return ::DefWindowProcA(w, msg, wp, lp);
    }
    static DWORD WINAPI Thread(void* p) {
        auto* self = static_cast<BroadcastHolder*>(p);
        WNDCLASSA wc{};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VelaTestBroadcastHolder";
        ::RegisterClassA(&wc);
        const HWND w = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                         wc.hInstance, nullptr);
        ::SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread has a queue from here on
        ::SetEvent(self->ready_.get());
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
        ::DestroyWindow(w);
        return 0;
    }

    UniqueHandle arrived_, release_, ready_, thread_;
    DWORD threadId_ = 0;
};

struct Found {
    DWORD pid;
    std::vector<HWND> dialogs;
};

std::vector<HWND> DialogsOf(DWORD pid) {
    Found found{pid, {}};
    ::EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* f = reinterpret_cast<Found*>(lp);
            DWORD owner = 0;
            char cls[32] = {};
            ::GetWindowThreadProcessId(w, &owner);
            ::GetClassNameA(w, cls, sizeof cls);
            if (owner == f->pid && std::strcmp(cls, "#32770") == 0) f->dialogs.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.dialogs;
}

// The window thread may still be creating the window when the main thread reaches step 6.
std::vector<HWND> AwaitDialogsOf(DWORD pid) {
    std::vector<HWND> dialogs;
    for (int i = 0; i < 100 && (dialogs = DialogsOf(pid)).empty(); ++i) ::Sleep(100);
    return dialogs;
}

std::vector<std::string> ChildTexts(HWND dialog) {
    std::vector<std::string> texts;
    for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        char text[128] = {};
        ::GetWindowTextA(c, text, sizeof text);
        texts.push_back(text);
    }
    return texts;
}

constexpr const char* kWaitText = "Please wait while the windows appearance is refreshed";

TEST_F(Appearance, SlashDShowsTheWindowCentredOnTopWithoutCaptionAndEscapeClosesIt) {
    BroadcastHolder holder;
    Child run(RefresherCommand("/D"));
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(holder.WaitArrived()) << "the settings broadcast never came";

    const std::vector<HWND> dialogs = AwaitDialogsOf(run.Pid());
    ASSERT_EQ(dialogs.size(), 1u);
    const HWND dialog = dialogs[0];
    EXPECT_TRUE(::IsWindowVisible(dialog));
    const LONG style = ::GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_NE(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(::GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    const std::vector<std::string> texts = ChildTexts(dialog);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], kWaitText);
    EXPECT_FALSE(texts[1].empty());

    RECT r{};
    ::GetWindowRect(dialog, &r);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    ::GetMonitorInfoA(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi);
    EXPECT_NEAR((r.left + r.right) / 2.0, (mi.rcWork.left + mi.rcWork.right) / 2.0, 1.0);
    EXPECT_NEAR((r.top + r.bottom) / 2.0, (mi.rcWork.top + mi.rcWork.bottom) / 2.0, 1.0);

    // A screenshot script can ask for time to capture the window.
    char hold[16] = {};
    if (::GetEnvironmentVariableA("VELA_REFRESH_HOLD_MS", hold, sizeof hold)) ::Sleep(std::strtoul(hold, nullptr, 10));

    ASSERT_TRUE(::PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001));
    for (int i = 0; i < 50 && ::IsWindow(dialog); ++i) ::Sleep(100);
    EXPECT_FALSE(::IsWindow(dialog));
    EXPECT_TRUE(run.Running()) << "the steps must go on after the window closed";

    holder.Release();
    EXPECT_EQ(run.Wait(), DWORD{0});
    EXPECT_EQ(run.Output(), ExpectedRunOutput(false));
}

TEST_F(Appearance, WithoutSlashDTheWindowExistsButIsNeverShown) {
    BroadcastHolder holder;
    Child run(RefresherCommand("debug"));
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(holder.WaitArrived()) << "the settings broadcast never came";
    const std::vector<HWND> dialogs = AwaitDialogsOf(run.Pid());
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(::IsWindowVisible(dialogs[0]));
    EXPECT_EQ(ChildTexts(dialogs[0]).at(0), kWaitText);
    holder.Release();
    EXPECT_EQ(run.Wait(), DWORD{0});
}

// Reads dialog template 107 from the program's resources (DLGTEMPLATEEX layout).
class TemplateReader {
public:
    TemplateReader(const BYTE* p, size_t size) : p_(p), end_(p + size) {}
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    short Short() { return Take<short>(); }
    BYTE Byte() { return Take<BYTE>(); }
    // A name or ordinal field: the text, or "#<ordinal>".
    std::string NameOrOrdinal() {
        if (p_ + 2 <= end_ && *reinterpret_cast<const WORD*>(p_) == 0xFFFF) {
            Word();
            return std::string("#") + std::to_string(Word());
        }
        std::string s;
        for (WORD c; (c = Word()) != 0;) s += static_cast<char>(c);
        return s;
    }
    void AlignDword(const BYTE* base) {
        while ((p_ - base) % 4) ++p_;
    }

private:
    template <typename T>
    T Take() {
        T v{};
        if (p_ + sizeof(T) <= end_) std::memcpy(&v, p_, sizeof(T));
        p_ += sizeof(T);
        return v;
    }
    const BYTE* p_;
    const BYTE* end_;
};

TEST(ProgressTemplate, Resource107IsLaidOutAsTheProgressWindow) {
    const HMODULE exe = ::LoadLibraryExA(WindowsPath(VELA_REFRESH_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    const HRSRC res = ::FindResourceA(exe, MAKEINTRESOURCEA(107), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_NE(res, nullptr);
    const auto* base = static_cast<const BYTE*>(::LockResource(::LoadResource(exe, res)));
    TemplateReader t(base, ::SizeofResource(exe, res));
    EXPECT_EQ(t.Word(), 1);
    EXPECT_EQ(t.Word(), 0xFFFF);
    t.Dword();  // help id
    EXPECT_EQ(t.Dword(), DWORD{WS_EX_TOPMOST});
    EXPECT_EQ(t.Dword(), DWORD{WS_POPUP | DS_CENTER | DS_SETFOREGROUND | DS_MODALFRAME | DS_SYSMODAL | DS_SETFONT |
                               DS_FIXEDSYS});
    const WORD items = t.Word();
    EXPECT_EQ(items, 2);
    EXPECT_EQ(t.Short(), 0);
    EXPECT_EQ(t.Short(), 0);
    EXPECT_EQ(t.Short(), 198);
    EXPECT_EQ(t.Short(), 43);
    EXPECT_EQ(t.NameOrOrdinal(), "");  // no menu
    EXPECT_EQ(t.NameOrOrdinal(), "");  // the standard dialog class
    EXPECT_EQ(t.NameOrOrdinal(), "");  // no caption text
    EXPECT_EQ(t.Word(), 8);
    EXPECT_EQ(t.Word(), 400);
    EXPECT_EQ(t.Byte(), 0);  // not italic
    t.Byte();
    EXPECT_EQ(t.NameOrOrdinal(), "MS Shell Dlg");

    const struct {
        DWORD style;
        short x, y, cx, cy;
        const char* text;
    } controls[] = {
        {SS_CENTER | SS_CENTERIMAGE, 0, 4, 196, 16, kWaitText},
        {SS_CENTER, 0, 27, 196, 10, nullptr},
    };
    for (int i = 0; i < items && i < 2; ++i) {
        SCOPED_TRACE(i);
        t.AlignDword(base);
        t.Dword();  // help id
        EXPECT_EQ(t.Dword(), 0u);
        EXPECT_EQ(t.Dword(), WS_CHILD | WS_VISIBLE | controls[i].style);
        EXPECT_EQ(t.Short(), controls[i].x);
        EXPECT_EQ(t.Short(), controls[i].y);
        EXPECT_EQ(t.Short(), controls[i].cx);
        EXPECT_EQ(t.Short(), controls[i].cy);
        EXPECT_EQ(static_cast<int>(t.Dword()), -1);
        const std::string cls = t.NameOrOrdinal();  // the static class, by ordinal or by name
        EXPECT_TRUE(cls == "#130" || lstrcmpiA(cls.c_str(), "Static") == 0) << cls;
        const std::string text = t.NameOrOrdinal();
        if (controls[i].text) EXPECT_EQ(text, controls[i].text);
        else EXPECT_FALSE(text.empty());
        EXPECT_EQ(t.Word(), 0);  // no creation data
    }
    ::FreeLibrary(exe);
}

// --probe <file>: writes what this new process sees of the appearance, for the tests above.
int WriteProbe(const char* file) {
    const Observed o = Observe();
    FILE* f = std::fopen(file, "wb");
    if (!f) return 2;
    const bool ok = std::fwrite(&o, sizeof o, 1, f) == 1;
    return std::fclose(f) == 0 && ok ? 0 : 3;
}

}  // namespace
}  // namespace vela::refresher

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--probe") == 0) return vela::refresher::WriteProbe(argv[2]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
