#include "refresher/run_sequence.h"

#include <algorithm>

namespace vela::refresher {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace

Arguments MatchArgument(std::optional<std::string_view> first) {
    Arguments a;
    if (!first) return a;
    a.debug = EqualsIgnoringCase(*first, "debug");
    a.usage = EqualsIgnoringCase(*first, "/?");
    a.showWindow = EqualsIgnoringCase(*first, "/d");
    return a;
}

std::string_view StepName(Step step) {
    switch (step) {
        case Step::SetIconSize: return "SET_ICONSIZE";
        case Step::SetWallpaper: return "SET_WALLPAPER";
        case Step::SetColors: return "SET_COLORS";
        case Step::SetNonClientMetrics: return "SET_NONCLIENTMETRICS";
        case Step::SetIconMetrics: return "SET_ICONMETRICS";
        case Step::MsgChangedSetting: return "MSG_ChangedSetting";
        case Step::SetCursors: return "SETCURSORS";
        case Step::SetScreenSaver: return "SET_SCREENSAVER";
    }
    return "";
}

std::string StepMessage(Step step) {
    std::string m = "Error during ";
    m += StepName(step);
    m += "! Try ";
    m += kSupportAddress;
    return m;
}

std::string StepReport(Step step) {
    std::string r(kReportPrefix);
    r += StepMessage(step);
    return r;
}

std::string ErrorLine(std::string_view systemText) {
    while (!systemText.empty() && (systemText.back() == '\n' || systemText.back() == '\r'))
        systemText.remove_suffix(1);
    std::string line = "ERROR: ";
    line += systemText;
    line += '\n';
    return line;
}

int RunRefresher(std::span<const std::string_view> arguments, RunPlatform& platform) {
    const Arguments args =
        MatchArgument(arguments.empty() ? std::nullopt : std::optional(arguments.front()));
    // Debug mode is accepted and offered by the usage hint; it changes nothing in the run.
    if (args.usage) platform.Write(kUsageHint);
    platform.Write(kBannerLine1);
    platform.Write(kBannerLine2);

    StepContext context;
    context.version = platform.Version();
    if (!CheckVersion(context.version.major)) {
        platform.Write(kVersionError);
        return 0;
    }
    if (!platform.StartWindowThread(args.showWindow)) platform.Write(kThreadError);
    context.divisor = MetricDivisor(platform.LogPixelsX());

    for (const Step step : kSteps) {
        const StepOutcome outcome = platform.RunStep(step, context);
        if (outcome.ok) continue;
        if (outcome.errorText) platform.Write(ErrorLine(*outcome.errorText));
        platform.Write(StepReport(step));
    }
    return 0;
}

}  // namespace vela::refresher
