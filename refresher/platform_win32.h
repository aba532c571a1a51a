// The Win32 platform of the run: version information, the progress window's thread, the
// screen's pixels per inch, the steps against the real registry and system, standard output.
#pragma once

#include <windows.h>

#include <string_view>

#include "refresher/run_sequence.h"
#include "refresher/steps_win32.h"
#include "refresher/win32/unique.h"

namespace vela::refresher::win32 {

class Win32Platform : public RunPlatform {
public:
    // GetVersionExA: the program's manifest names the supported systems, so this is the real
    // version and not the compatibility one.
    [[nodiscard]] OsVersion Version() override;
    // The thread creates the progress window from dialog template 107 of the program's own
    // module, shows it when asked, and polls its messages every 100 ms until Escape is released
    // in it; nobody waits for the thread, it ends with the process.
    [[nodiscard]] bool StartWindowThread(bool showWindow) override;
    [[nodiscard]] int LogPixelsX() override;
    [[nodiscard]] StepOutcome RunStep(Step step, const StepContext& context) override;
    // Flushed at once, so a reader sees the reports while a later step blocks.  On a console
    // the text is converted to the OEM code page.
    void Write(std::string_view text) override;

private:
    UserRegistry registry_;
    Win32SystemSettings system_;
    UniqueHandle thread_;
};

}  // namespace vela::refresher::win32
