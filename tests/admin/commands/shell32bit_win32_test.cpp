// The command runner against a stand-in reg.exe that logs how it was started and lingers for a
// set time.  Timings are measured on the caller's side; the stand-in's own log says whether it
// had finished when the call returned.
#include "admin/commands/shell32bit.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "admin/window/testing/support.h"

namespace {

using vela::testing::Clock;
using vela::testing::FakeRegRun;
using vela::testing::MillisSince;

const std::string kFakeRegExe = vela::testing::WinPath(VELA_FAKE_REG_EXE);
const std::string kFakeRegDir = vela::testing::ParentOf(kFakeRegExe);

class Shell32BitTest : public ::testing::Test {
protected:
    // The executable search tries the caller's program folder and current folder, then the system
    // folders, and PATH only last: Wine's own reg.exe in system32 wins over anything put in PATH.
    // So the stand-in is found as the current folder's reg.exe.
    vela::testing::TempFolder dir_;
    const std::string log_ = dir_ / "reg.log";
    // No case may hang ctest: a wait that never ends ends the test program instead.
    vela::testing::Watchdog watchdog_{"Shell32Bit test", 30000};

    void SetUp() override {
        ASSERT_TRUE(vela::testing::FileExists(kFakeRegExe)) << kFakeRegExe;
        ASSERT_TRUE(::SetCurrentDirectoryA(kFakeRegDir.c_str()));
    }

    [[nodiscard]] std::vector<FakeRegRun> Runs() const { return vela::testing::ReadFakeRegLog(log_); }

    // For commands left running: waits until every stand-in has written its closing line.
    [[nodiscard]] bool AllEnded(long long timeoutMs) const {
        const auto start = Clock::now();
        do {
            const auto runs = Runs();
            bool all = !runs.empty();
            for (const auto& r : runs) all = all && r.ended;
            if (all) return true;
            ::Sleep(20);
        } while (MillisSince(start) < timeoutMs);
        return false;
    }
};

TEST_F(Shell32BitTest, UnloadHiveRunsTheExactCommandHiddenAndWaitsForItsEnd) {
    // The stand-in as the system folder's tool, and another copy planted in the current folder:
    // only the system folder's may run.
    ASSERT_TRUE(vela::testing::InstallFakeRegAsSystemTool(kFakeRegExe))
            << "needs the tests' Wine prefix, started with reg.exe=n in WINEDLLOVERRIDES";
    ASSERT_TRUE(vela::testing::FileExists(kFakeRegDir + "\\reg.exe"));
    vela::testing::ConfigureFakeReg(log_, 800);
    int pumps = 0;
    int pumpsBeforeEnd = 0;
    const auto start = Clock::now();
    vela::unLoadHive([&] {
        ++pumps;
        const auto runs = Runs();
        if (runs.empty() || !runs.back().ended) ++pumpsBeforeEnd;
    });
    const auto elapsed = MillisSince(start);

    const auto runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, "reg unload HKU\\tmphive ");  // the trailing blank included
    EXPECT_EQ(runs[0].program, vela::SystemRegTool()) << "not the system folder's reg.exe";
    EXPECT_EQ(runs[0].show, "show=" + std::to_string(SW_HIDE));
    EXPECT_TRUE(runs[0].ended) << "returned while the command was still running";
    EXPECT_GE(elapsed, 800);
    EXPECT_LT(elapsed, 5000);
    // Pumped every 100 ms while the command ran, not only once at the end.
    EXPECT_GE(pumpsBeforeEnd, 4) << "pumps: " << pumps;
    EXPECT_LE(pumps, elapsed / 100 + 2);
}

TEST_F(Shell32BitTest, PassesTheCommandLineThroughUnchanged) {
    vela::testing::ConfigureFakeReg(log_, 0);
    const std::vector<std::string> lines = {
        "reg",
        "reg query \"HKU\\some key\"  /v  x",
        "reg  add HKU\\tmphive\\a /d \"q\"\"q\" /f ",
    };
    for (const auto& line : lines) vela::Shell32Bit(line, true, [] {});
    const auto runs = Runs();
    ASSERT_EQ(runs.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        EXPECT_EQ(runs[i].commandLine, lines[i]);
        EXPECT_TRUE(runs[i].ended);
    }
}

TEST_F(Shell32BitTest, AWaitedCommandThatEndsAtOnceStillCostsOnePause) {
    vela::testing::ConfigureFakeReg(log_, 0);
    int pumps = 0;
    const auto start = Clock::now();
    vela::Shell32Bit("reg unload HKU\\tmphive ", true, [&] { ++pumps; });
    const auto elapsed = MillisSince(start);
    EXPECT_GE(elapsed, 100);
    EXPECT_GE(pumps, 1);
    const auto runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].ended);
}

TEST_F(Shell32BitTest, WithoutWaitReturnsRightAfterTheStart) {
    vela::testing::ConfigureFakeReg(log_, 3000);
    int pumps = 0;
    const auto start = Clock::now();
    vela::Shell32Bit("reg unload HKU\\tmphive ", false, [&] { ++pumps; });
    const auto elapsed = MillisSince(start);
    EXPECT_LT(elapsed, 1500) << "waited for a command started without wait";
    EXPECT_EQ(pumps, 0);
    // It was started all the same, hidden, and runs on after the call.
    EXPECT_TRUE(AllEnded(10000)) << "the stand-in never ran to its end";
    const auto runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].show, "show=" + std::to_string(SW_HIDE));
}

TEST_F(Shell32BitTest, AMissingProgramEndsTheWaitAfterOnePassWithoutAMessage) {
    vela::testing::ConfigureFakeReg(log_, 0);
    int pumps = 0;
    const auto start = Clock::now();
    vela::Shell32Bit("vela-no-such-program-here /x", true, [&] { ++pumps; });
    const auto elapsed = MillisSince(start);
    EXPECT_EQ(pumps, 1);
    EXPECT_GE(elapsed, 100);
    EXPECT_LT(elapsed, 1000);  // a message box would have held the call
    EXPECT_TRUE(Runs().empty());

    // Empty text starts nothing either.
    pumps = 0;
    vela::Shell32Bit("", true, [&] { ++pumps; });
    EXPECT_EQ(pumps, 1);
}

TEST_F(Shell32BitTest, ACommandThatExitsWithTheStillActiveCodeEndsTheWait) {
    vela::testing::ConfigureFakeReg(log_, 300, STILL_ACTIVE);
    const auto start = Clock::now();
    vela::Shell32Bit("reg", true, [] {});  // the watchdog ends the run if this never returns
    const auto elapsed = MillisSince(start);
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 5000);
    const auto runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].ended);
}

TEST_F(Shell32BitTest, AFailingPumpDoesNotEndTheWaitEarly) {
    vela::testing::ConfigureFakeReg(log_, 500);
    int pumps = 0;
    const auto start = Clock::now();
    vela::Shell32Bit("reg", true, [&] {
        ++pumps;
        throw std::runtime_error("handler failed");
    });
    EXPECT_GE(MillisSince(start), 500);
    EXPECT_GE(pumps, 3);
    const auto runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].ended);
}

TEST_F(Shell32BitTest, AnEmptyPumpIsAllowed) {
    vela::testing::ConfigureFakeReg(log_, 200);
    const auto start = Clock::now();
    vela::Shell32Bit("reg", true, std::function<void()>());
    EXPECT_GE(MillisSince(start), 200);
    const auto runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].ended);
}

}  // namespace
