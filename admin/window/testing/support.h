// The Wine harness: what the Windows tests share, one library (vela_wine_harness), one namespace
// (vela::testing).
//   support.h      (this file) whole-file reads and writes, folders, the stand-in reg.exe
//                  (fake_reg.cpp) and its log, paths handed over from the build, the
//                  environment, a watchdog;
//   window_test.h  the real frmConfig in the test's own process, its services scripted;
//   driver.h       the real VelaConfig.exe in a process of its own, worked from outside.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "admin/store/test_temp_folder.h"

namespace vela::testing {

// A build-tree path as Wine sees it: "Z:" with the Unix path, slashes turned into backslashes.
// Paths that already carry a drive letter only get their slashes turned.
[[nodiscard]] std::string WinPath(std::string path);

// The folder part of a path, without the trailing backslash.
[[nodiscard]] std::string ParentOf(const std::string& path);

[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::string& path);
[[nodiscard]] bool WriteWholeFile(const std::string& path, const std::string& bytes);
// The same for tests that only compare bytes: a file that cannot be read reads as empty; a write
// that fails fails the test.
[[nodiscard]] std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
[[nodiscard]] bool FileExists(const std::string& path);
[[nodiscard]] bool FolderExists(const std::string& path);
// The names (not paths) of the entries of a folder, "." and ".." left out, sorted.
[[nodiscard]] std::vector<std::string> ListFolder(const std::string& path);

// One run of the stand-in reg.exe, as its log tells it.
struct FakeRegRun {
    std::string show;         // "show=0" for SW_HIDE, "show=unset" without STARTF_USESHOWWINDOW
    std::string program;      // the stand-in's own path: which copy ran
    std::string commandLine;  // exactly what GetCommandLineA gave it
    bool ended = false;       // it wrote its closing line
};
// Parses the stand-in's log; a missing log is no runs.
[[nodiscard]] std::vector<FakeRegRun> ReadFakeRegLog(const std::string& logPath);

// Puts the stand-in in the place of the system folder's reg.exe in the tests' own Wine prefix.
// False (and nothing copied) outside Wine, or when Wine would still run its built-in tool there
// because the run did not start with reg.exe=n in WINEDLLOVERRIDES.
[[nodiscard]] bool InstallFakeRegAsSystemTool(const std::string& fakeRegExe);
// Sets the variables the stand-in reads, in this process's environment (children inherit them).
void ConfigureFakeReg(const std::string& logPath, int sleepMs, int exitCode = 0);
// Puts `folder` in front of this process's PATH; the previous PATH comes back on destruction.
class PathPrefix {
public:
    explicit PathPrefix(const std::string& folder);
    ~PathPrefix();
    PathPrefix(const PathPrefix&) = delete;
    PathPrefix& operator=(const PathPrefix&) = delete;

private:
    std::optional<std::string> previous_;
};

// Ends this test program when the guarded scope outlives `timeoutMs`: a wait that never ends
// must fail the run, not hang ctest.  `onTimeout` runs first (e.g. to kill a child).
class Watchdog {
public:
    Watchdog(std::string what, DWORD timeoutMs, std::function<void()> onTimeout = {});
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    static DWORD WINAPI Run(void* self);
    std::string what_;
    DWORD timeoutMs_;
    std::function<void()> onTimeout_;
    HANDLE stop_;
    HANDLE thread_ = nullptr;
};

// True under Wine (ntdll exports wine_get_version), where some platform functions differ from
// Windows' in ways the tests must allow for.
[[nodiscard]] bool IsWine();

[[nodiscard]] std::optional<std::string> GetEnv(const char* name);

using Clock = std::chrono::steady_clock;
[[nodiscard]] inline long long MillisSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace vela::testing
