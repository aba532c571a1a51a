#include "refresher/platform_win32.h"

#include <cstdio>
#include <string>

#include "refresher/resource.h"

namespace vela::refresher::win32 {
namespace {

// Written by the main thread before the window thread starts, only read by that thread.
bool g_showWindow = false;

DWORD WINAPI ProgressWindowThread(void*) {
    // No dialog procedure: the system's default dialog handling serves the window.
    const HWND dialog =
        ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, nullptr, 0);
    if (dialog && g_showWindow) ::ShowWindow(dialog, SW_SHOW);
    // Filtered on the window (a null filter when it was not created); PeekMessageA also runs the
    // messages other threads send to it, which the settings broadcast waits for.
    for (;;) {
        MSG msg;
        if (::PeekMessageA(&msg, dialog, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_KEYUP && msg.wParam == VK_ESCAPE) break;
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        } else {
            ::Sleep(100);
        }
    }
    if (dialog) ::DestroyWindow(dialog);
    return 0;
}

}  // namespace

OsVersion Win32Platform::Version() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExA(&info)) return {};
    return {info.dwMajorVersion, info.dwMinorVersion};
}

bool Win32Platform::StartWindowThread(bool showWindow) {
    g_showWindow = showWindow;
    thread_.reset(::CreateThread(nullptr, 0, &ProgressWindowThread, nullptr, 0, nullptr));
    return static_cast<bool>(thread_);
}

int Win32Platform::LogPixelsX() {
    const HDC screen = ::GetDC(nullptr);
    if (!screen) return 0;
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

StepOutcome Win32Platform::RunStep(Step step, const StepContext& context) {
    return SettingsSteps(registry_, system_, &ToAnsi).Run(step, context);
}

void Win32Platform::Write(std::string_view text) {
    std::string out(text);
    if (::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR && !out.empty())
        ::CharToOemBuffA(out.data(), out.data(), static_cast<DWORD>(out.size()));
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

}  // namespace vela::refresher::win32
