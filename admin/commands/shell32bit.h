// Runs outside command lines for the administration program.  The one user today is the exit
// path of the main window, which unmounts the user hive a tool may have left under HKU\tmphive.
#pragma once

#include <functional>
#include <string>

namespace vela {

// Starts `JobToDo` (a complete command line) with its window hidden.  The program started is
// `program` when given (a full path), otherwise the first word of the command line found through
// the usual executable search (program folder, current folder, system folders, PATH).  With `wait`, polls the exit
// code, runs `pump` (the UI's pending-event dispatch) and sleeps 100 ms per pass until the process
// has ended: every waited call costs at least one pause, and a command that could not be started
// ends the loop after its first pass.  Without `wait`, returns as soon as the process is started.
// Failures are silent: nothing about the command or its exit code reaches the caller.
void Shell32Bit(std::string JobToDo, bool wait, const std::function<void()>& pump, const std::string& program = {});

// Unmounts HKU\tmphive: the command line "reg unload HKU\\tmphive ", waited for, started from the
// system folder's own reg.exe by its full path.  The executable search would try the current
// folder first, where a planted reg.exe would run with the administrator's rights.
void unLoadHive(const std::function<void()>& pump);

// The system folder's registry tool: "C:\Windows\system32\reg.exe"; empty when the system folder
// cannot be told.
[[nodiscard]] std::string SystemRegTool();
void unLoadHive(const std::function<void()>& pump);

}  // namespace vela
