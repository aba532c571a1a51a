#include "admin/commands/shell32bit.h"

#include <windows.h>

#include <vector>

#include "admin/win32/unique.h"

namespace vela {
namespace {

constexpr DWORD kPollPauseMs = 100;

// Started from the user-interface thread's handlers: nothing may escape, and a failing pump must
// not end the wait early (the caller relies on the command having ended when this returns).
void PumpQuietly(const std::function<void()>& pump) noexcept {
    if (!pump) return;
    try {
        pump();
    } catch (...) {
        // Failures inside the runner are ignored by contract; the next poll runs as usual.
    }
}

}  // namespace

void Shell32Bit(std::string JobToDo, bool wait, const std::function<void()>& pump, const std::string& program) {
    // CreateProcessA may write into the command line, so it gets a private, terminated copy.
    std::vector<char> commandLine(JobToDo.begin(), JobToDo.end());
    commandLine.push_back('\0');

    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};

    win32::UniqueHandle process;
    // Without a program the first word of the command line goes through the executable search
    // (program folder, current folder, system folders, then PATH).
    if (::CreateProcessA(program.empty() ? nullptr : program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &si, &pi)) {
        const win32::UniqueHandle started(pi.hProcess), thread(pi.hThread);
        // Opened while the creation handle still pins the process, so the id cannot have been
        // reused by another process in between.  SYNCHRONIZE lets the wait tell a real exit with
        // code 259 from a process that is still running; query access alone is the fallback.
        process.reset(::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pi.dwProcessId));
        if (!process) process.reset(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pi.dwProcessId));
    }
    if (!wait) return;

    for (;;) {
        // Starts at 0 and stays there when nothing could be started or opened, so the loop then
        // ends after its first pass.
        DWORD exitCode = 0;
        if (process) ::GetExitCodeProcess(process.get(), &exitCode);
        // STILL_ACTIVE is also a legal exit code: without this check a command that ends with 259
        // would be waited for forever.
        const bool ended = exitCode != STILL_ACTIVE ||
                           (process && ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0);
        PumpQuietly(pump);
        ::Sleep(kPollPauseMs);
        if (ended) break;
    }
}

std::string SystemRegTool() {
    char folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::string tool(folder, n);
    if (tool.back() != '\\') tool += '\\';
    return tool + "reg.exe";
}

void unLoadHive(const std::function<void()>& pump) {
    const std::string tool = SystemRegTool();
    // Never the search: without the system folder nothing is started (the wait then ends after
    // its one pause).  The trailing blank is part of the command line the program has always sent.
    Shell32Bit("reg unload HKU\\tmphive ", true, pump, tool.empty() ? std::string("\\") : tool);
}

}  // namespace vela
