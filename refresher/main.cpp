// VelaRefresh: makes the running system apply the current user's stored desktop appearance.
// Started by the framework's logon script; always ends with exit code 0.
#include <string_view>
#include <vector>

#include "refresher/platform_win32.h"
#include "refresher/run_sequence.h"

int main(int argc, char** argv) {
    try {
        const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        vela::refresher::win32::Win32Platform platform;
        return vela::refresher::RunRefresher(arguments, platform);
    } catch (...) {
        // Out of memory is the only thing that throws; the logon script must never see a failure.
        return 0;
    }
}
