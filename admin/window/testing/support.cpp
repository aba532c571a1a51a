#include "admin/window/testing/support.h"

#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

#include "admin/win32/wine.h"

namespace vela::testing {

std::string WinPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.size() >= 2 && path[1] == ':') return path;
    return "Z:" + path;
}

std::string ParentOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::nullopt;
    std::string bytes;
    char buf[4096];
    for (size_t got; (got = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, got);
    std::fclose(f);
    return bytes;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::string ReadBytes(const std::string& path) { return ReadWholeFile(path).value_or(std::string()); }

void WriteBytes(const std::string& path, const std::string& bytes) {
    if (!WriteWholeFile(path, bytes)) ADD_FAILURE() << "could not write " << path;
}

bool FileExists(const std::string& path) {
    const DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    const DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    const HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = fd.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<FakeRegRun> ReadFakeRegLog(const std::string& logPath) {
    std::vector<FakeRegRun> runs;
    const auto text = ReadWholeFile(logPath);
    if (!text) return runs;
    size_t pos = 0;
    while (pos < text->size()) {
        size_t eol = text->find("\r\n", pos);
        if (eol == std::string::npos) eol = text->size();  // a line still being written
        const std::string line = text->substr(pos, eol - pos);
        pos = eol + 2;
        if (line.rfind("start|", 0) == 0) {
            const size_t bar = line.find('|', 6);
            const size_t bar2 = bar == std::string::npos ? bar : line.find('|', bar + 1);
            FakeRegRun run;
            run.show = line.substr(6, bar == std::string::npos ? std::string::npos : bar - 6);
            if (bar2 != std::string::npos) {
                run.program = line.substr(bar + 1, bar2 - bar - 1);
                run.commandLine = line.substr(bar2 + 1);
            }
            runs.push_back(run);
        } else if (line.rfind("end|", 0) == 0) {
            // Runs here never overlap in the tests, so an end closes the latest open start.
            for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
                if (!it->ended) {
                    it->ended = true;
                    break;
                }
            }
        }
    }
    return runs;
}

bool InstallFakeRegAsSystemTool(const std::string& fakeRegExe) {
    // Wine runs its built-in tool for a system-folder program unless reg.exe=n was in
    // WINEDLLOVERRIDES when the Wine processes started (set later from inside, it has no effect);
    // the test registrations set it.  Never over a real system's tool.
    if (!IsWine() || GetEnv("WINEDLLOVERRIDES").value_or("").find("reg.exe=n") == std::string::npos) return false;
    char folder[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    const std::string tool = std::string(folder) + "\\reg.exe";
    return ::CopyFileA(fakeRegExe.c_str(), tool.c_str(), FALSE) != 0;
}

void ConfigureFakeReg(const std::string& logPath, int sleepMs, int exitCode) {
    ::SetEnvironmentVariableA("VELA_FAKE_REG_LOG", logPath.c_str());
    ::SetEnvironmentVariableA("VELA_FAKE_REG_SLEEP_MS", std::to_string(sleepMs).c_str());
    ::SetEnvironmentVariableA("VELA_FAKE_REG_EXIT", std::to_string(exitCode).c_str());
}

bool IsWine() { return win32::UnderWine(); }

std::optional<std::string> GetEnv(const char* name) {
    std::string buf(32768, '\0');
    const DWORD n = ::GetEnvironmentVariableA(name, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    buf.resize(n < buf.size() ? n : 0);
    return buf;
}

Watchdog::Watchdog(std::string what, DWORD timeoutMs, std::function<void()> onTimeout)
    : what_(std::move(what)),
      timeoutMs_(timeoutMs),
      onTimeout_(std::move(onTimeout)),
      stop_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = ::CreateThread(nullptr, 0, &Watchdog::Run, this, 0, nullptr);
}

Watchdog::~Watchdog() {
    ::SetEvent(stop_);
    if (thread_) {
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
    }
    ::CloseHandle(stop_);
}

DWORD WINAPI Watchdog::Run(void* self) {
    auto* w = static_cast<Watchdog*>(self);
    if (::WaitForSingleObject(w->stop_, w->timeoutMs_) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "\nWATCHDOG: %s did not finish within %lu ms; ending the test program\n",
                     w->what_.c_str(), static_cast<unsigned long>(w->timeoutMs_));
        std::fflush(stderr);
        if (w->onTimeout_) w->onTimeout_();
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    return 0;
}

PathPrefix::PathPrefix(const std::string& folder) : previous_(GetEnv("PATH")) {
    const std::string path = previous_ ? folder + ";" + *previous_ : folder;
    ::SetEnvironmentVariableA("PATH", path.c_str());
}

PathPrefix::~PathPrefix() {
    ::SetEnvironmentVariableA("PATH", previous_ ? previous_->c_str() : nullptr);
}

}  // namespace vela::testing
