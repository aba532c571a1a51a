#include "refresher/run_sequence.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace vela::refresher {
namespace {

TEST(MatchArgument, EachWordIgnoringLetterCase) {
    const struct {
        std::optional<std::string_view> argument;
        bool debug, usage, showWindow;
    } cases[] = {
        {std::nullopt, false, false, false}, {"", false, false, false},
        {"debug", true, false, false},       {"DEBUG", true, false, false},
        {"Debug", true, false, false},       {"/?", false, true, false},
        {"/d", false, false, true},          {"/D", false, false, true},
        {"-d", false, false, false},         {"d", false, false, false},
        {"/dd", false, false, false},        {"/? ", false, false, false},
        {"debu", false, false, false},       {"d\xC9" "bug", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.argument.value_or("(none)"))));
        const Arguments a = MatchArgument(c.argument);
        EXPECT_EQ(a.debug, c.debug);
        EXPECT_EQ(a.usage, c.usage);
        EXPECT_EQ(a.showWindow, c.showWindow);
    }
}

TEST(StepReport, ExactTextsWithoutLineBreaks) {
    EXPECT_EQ(StepReport(Step::SetIconSize),
              "VelaRefresh: Error during SET_ICONSIZE! Try https://vela-framework.example.org/support");
    EXPECT_EQ(StepMessage(Step::MsgChangedSetting),
              "Error during MSG_ChangedSetting! Try https://vela-framework.example.org/support");
    const std::pair<Step, std::string_view> names[] = {
        {Step::SetIconSize, "SET_ICONSIZE"},     {Step::SetWallpaper, "SET_WALLPAPER"},
        {Step::SetColors, "SET_COLORS"},         {Step::SetNonClientMetrics, "SET_NONCLIENTMETRICS"},
        {Step::SetIconMetrics, "SET_ICONMETRICS"}, {Step::MsgChangedSetting, "MSG_ChangedSetting"},
        {Step::SetCursors, "SETCURSORS"},        {Step::SetScreenSaver, "SET_SCREENSAVER"},
    };
    for (const auto& [step, name] : names) {
        SCOPED_TRACE(std::string(name));
        EXPECT_EQ(StepName(step), name);
        EXPECT_EQ(StepMessage(step).find('\n'), std::string::npos);
    }
    EXPECT_EQ(ErrorLine("Access denied.\r\n"), "ERROR: Access denied.\n");
    EXPECT_EQ(ErrorLine("error 5"), "ERROR: error 5\n");
}

TEST(Banner, BothLinesCarryTheVersionPrefixAndOneLineBreak) {
    for (const std::string_view line : {kBannerLine1, kBannerLine2}) {
        SCOPED_TRACE(std::string(line));
        EXPECT_EQ(line.substr(0, kBannerPrefix.size()), kBannerPrefix);
        EXPECT_GT(line.size(), kBannerPrefix.size() + 1);
        EXPECT_EQ(line.find('\n'), line.size() - 1);
    }
}

class FakePlatform final : public RunPlatform {
public:
    OsVersion version{10, 0};
    bool threadStarts = true;
    int logPixelsX = 96;
    std::set<Step> failing;
    std::string failureText = "The parameter is incorrect.\r\n";

    std::string out;
    std::vector<bool> threadStarted;  // the show flag of each start
    std::vector<Step> stepsRun;
    std::vector<StepContext> contexts;

    OsVersion Version() override { return version; }
    bool StartWindowThread(bool show) override {
        threadStarted.push_back(show);
        return threadStarts;
    }
    int LogPixelsX() override { return logPixelsX; }
    StepOutcome RunStep(Step step, const StepContext& context) override {
        stepsRun.push_back(step);
        contexts.push_back(context);
        if (!failing.count(step)) return {true, std::nullopt};
        return {false, step == Step::SetIconSize ? std::optional(failureText) : std::nullopt};
    }
    void Write(std::string_view text) override { out += text; }
};

int RunWith(FakePlatform& p, std::vector<std::string_view> args) { return RunRefresher(args, p); }

const std::string kBanner = std::string(kBannerLine1) + std::string(kBannerLine2);
const std::vector<Step> kAllSteps(std::begin(kSteps), std::end(kSteps));

TEST(RunRefresher, ArgumentsDecideUsageHintAndWindowOnly) {
    const struct {
        std::vector<std::string_view> args;
        bool usage, show;
    } cases[] = {
        {{}, false, false},          {{"debug"}, false, false}, {{"/?"}, true, false},
        {{"/d"}, false, true},       {{"/D"}, false, true},     {{"-d"}, false, false},
        {{"x", "/d"}, false, false}, {{"/?", "/d"}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::vector<std::string>(c.args.begin(), c.args.end())));
        FakePlatform p;
        EXPECT_EQ(RunWith(p, c.args), 0);
        EXPECT_EQ(p.out, (c.usage ? std::string(kUsageHint) : "") + kBanner);
        EXPECT_EQ(p.threadStarted, std::vector<bool>{c.show});
        EXPECT_EQ(p.stepsRun, kAllSteps);
    }
}

TEST(RunRefresher, SystemsBeforeWindows2000GetTheErrorLineOnly) {
    for (const OsVersion v : {OsVersion{4, 0}, OsVersion{4, 90}, OsVersion{3, 51}}) {
        SCOPED_TRACE(v.minor);
        FakePlatform p;
        p.version = v;
        EXPECT_EQ(RunWith(p, {"/d"}), 0);
        EXPECT_EQ(p.out, kBanner + "ERROR: Windows 2000 and higher only\n");
        EXPECT_TRUE(p.threadStarted.empty());
        EXPECT_TRUE(p.stepsRun.empty());
    }
    FakePlatform w2k;
    w2k.version = {5, 0};
    EXPECT_EQ(RunWith(w2k, {}), 0);
    EXPECT_EQ(w2k.stepsRun, kAllSteps);
    EXPECT_EQ(w2k.contexts.at(2).version.minor, 0u);
}

TEST(RunRefresher, ThreadFailureIsReportedAndTheStepsRunAnyway) {
    FakePlatform p;
    p.threadStarts = false;
    p.failing = {Step::SetWallpaper};
    EXPECT_EQ(RunWith(p, {}), 0);
    EXPECT_EQ(p.out, kBanner + "Failed to create thread" + StepReport(Step::SetWallpaper));
    EXPECT_EQ(p.stepsRun, kAllSteps);
}

TEST(RunRefresher, StepsGetTheDivisorOfTheScreen) {
    for (const auto& [dpi, divisor] : {std::pair{96, -15}, std::pair{120, -12}, std::pair{144, -10}}) {
        SCOPED_TRACE(dpi);
        FakePlatform p;
        p.logPixelsX = dpi;
        RunWith(p, {});
        ASSERT_EQ(p.contexts.size(), 8u);
        for (const StepContext& c : p.contexts) EXPECT_EQ(c.divisor, divisor);
    }
}

TEST(RunRefresher, EveryStepFailingGivesOneLineOfReportsAfterTheErrorLine) {
    FakePlatform p;
    p.failing = std::set<Step>(std::begin(kSteps), std::end(kSteps));
    EXPECT_EQ(RunWith(p, {}), 0);
    std::string expected = kBanner + "ERROR: The parameter is incorrect.\n";
    for (const Step s : kSteps) expected += StepReport(s);
    EXPECT_EQ(p.out, expected);
    EXPECT_EQ(p.stepsRun, kAllSteps);
}

TEST(RunRefresher, ReportsFollowTheFailingStepsInOrder) {
    FakePlatform p;
    p.failing = {Step::SetCursors, Step::SetIconSize};
    RunWith(p, {});
    EXPECT_EQ(p.out, kBanner + "ERROR: The parameter is incorrect.\n" + StepReport(Step::SetIconSize) +
                         StepReport(Step::SetCursors));
}

}  // namespace
}  // namespace vela::refresher
