// The refresher's whole run: command line, banner, version check, window thread, metric
// divisor, the eight steps in their fixed order and every console text.
//
// The run reaches the platform only through `RunPlatform`, so the native tests drive it with a
// fake (an old version, a thread that cannot start, failing steps); the program wires the Win32
// implementation in.  The exit code is 0 in every case.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "refresher/conversions.h"
#include "refresher/steps.h"

namespace vela::refresher {

// What the first command-line argument asked for.  Each word is compared on its own, ignoring
// ASCII letter case: "debug", "/?" and "/d".
struct Arguments {
    bool debug = false;
    bool usage = false;
    bool showWindow = false;
};
[[nodiscard]] Arguments MatchArgument(std::optional<std::string_view> first);

// The console texts, exactly as printed.
inline constexpr std::string_view kUsageHint = "To enter debug mode: \"velarefresh debug\"\n";
inline constexpr std::string_view kBannerPrefix = "VelaRefresh.Exe v1.60 - ";
inline constexpr std::string_view kBannerLine1 =
    "VelaRefresh.Exe v1.60 - written by the Vela Framework team, https://vela-framework.example.org\n";
inline constexpr std::string_view kBannerLine2 =
    "VelaRefresh.Exe v1.60 - cursor reload routine contributed by the Vela Framework community\n";
inline constexpr std::string_view kVersionError = "ERROR: Windows 2000 and higher only\n";
inline constexpr std::string_view kThreadError = "Failed to create thread";
inline constexpr std::string_view kSupportAddress = "https://vela-framework.example.org/support";
inline constexpr std::string_view kReportPrefix = "VelaRefresh: ";

// The step's name as reports show it ("SET_ICONSIZE", "MSG_ChangedSetting", ...).
[[nodiscard]] std::string_view StepName(Step step);
// "Error during <name>! Try <support address>", without a line break.
[[nodiscard]] std::string StepMessage(Step step);
// "VelaRefresh: " and the step's message, without a line break.
[[nodiscard]] std::string StepReport(Step step);
// "ERROR: <text>\n" for a system's failure text; the text's own trailing line break is dropped.
[[nodiscard]] std::string ErrorLine(std::string_view systemText);

class RunPlatform {
public:
    virtual ~RunPlatform() = default;
    [[nodiscard]] virtual OsVersion Version() = 0;
    // Starts the thread that owns the progress window, shown when `showWindow`; the flag is set
    // before the thread runs.  False when the thread cannot be started.
    [[nodiscard]] virtual bool StartWindowThread(bool showWindow) = 0;
    // LOGPIXELSX of the whole screen's device context.
    [[nodiscard]] virtual int LogPixelsX() = 0;
    [[nodiscard]] virtual StepOutcome RunStep(Step step, const StepContext& context) = 0;
    // Standard output; the text goes out as given.
    virtual void Write(std::string_view text) = 0;
};

// Runs the refresher with the arguments after the program name; returns the exit code (0).
int RunRefresher(std::span<const std::string_view> arguments, RunPlatform& platform);

}  // namespace vela::refresher
