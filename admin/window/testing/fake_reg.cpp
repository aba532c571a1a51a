// Stand-in for the platform's registry console tool, built as reg.exe in a folder of its own.
// It records how it was started and then lingers, so tests can see what the program under test
// ran, whether it was hidden, and whether the caller waited for it.
//
//   VELA_FAKE_REG_LOG       file to append to (nothing is written when unset)
//   VELA_FAKE_REG_SLEEP_MS  how long to linger before ending (default 0)
//   VELA_FAKE_REG_EXIT      exit code (default 0)
//   VELA_FAKE_REG_ENV_LOG   file to append the names of its VELA_DIRECTORY* variables to, one a
//                           line (what the starter handed down; nothing is written when unset)
//
// Each run appends "start|<show>|<own path>|<command line>" CR LF before lingering and
// "end|<pid>" CR LF after it, where <show> is "show=<wShowWindow>" or "show=unset" when the
// starter passed no STARTF_USESHOWWINDOW, and <own path> tells which copy of the stand-in ran.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Env(const char* name) {
    char buf[1024];
    const DWORD n = ::GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

void Append(const std::string& log, const std::string& line) {
    if (log.empty()) return;
    // Another run may hold the file for a moment; retry briefly rather than lose the line.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (std::FILE* f = std::fopen(log.c_str(), "ab")) {
            std::fwrite(line.data(), 1, line.size(), f);
            std::fclose(f);
            return;
        }
        ::Sleep(20);
    }
}

}  // namespace

int main() {
    const std::string log = Env("VELA_FAKE_REG_LOG");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    ::GetStartupInfoA(&si);
    const std::string show = (si.dwFlags & STARTF_USESHOWWINDOW)
                                 ? "show=" + std::to_string(si.wShowWindow)
                                 : std::string("show=unset");
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    Append(log, "start|" + show + "|" + self + "|" + ::GetCommandLineA() + "\r\n");
    if (const std::string envLog = Env("VELA_FAKE_REG_ENV_LOG"); !envLog.empty()) {
        std::string names;
        if (char* block = ::GetEnvironmentStringsA()) {
            for (const char* v = block; *v; v += std::strlen(v) + 1)
                if (std::strncmp(v, "VELA_DIRECTORY", 14) == 0) names += std::string(v, std::strcspn(v, "=")) + "\r\n";
            ::FreeEnvironmentStringsA(block);
        }
        Append(envLog, names);
    }
    ::Sleep(static_cast<DWORD>(std::strtoul(Env("VELA_FAKE_REG_SLEEP_MS").c_str(), nullptr, 10)));
    Append(log, "end|" + std::to_string(::GetCurrentProcessId()) + "\r\n");
    return static_cast<int>(std::strtoul(Env("VELA_FAKE_REG_EXIT").c_str(), nullptr, 10));
}
