// Runs outside command lines for the administration program.  The one user today is the exit
// path of the main window, which unmounts the user hive a tool may have left under HKU\tmphive.
#pragma once

#include <functional>
#include <string>

namespace vela {

// Starts `JobToDo` (a complete command line; the first word is found through the usual executable
// search, so "reg" resolves through PATH) with its window hidden.  With `wait`, polls the exit
// code, runs `pump` (the UI's pending-event dispatch) and sleeps 100 ms per pass until the process
// has ended: every waited call costs at least one pause, and a command that could not be started
// ends the loop after its first pass.  Without `wait`, returns as soon as the process is started.
// Failures are silent: nothing about the command or its exit code reaches the caller.
void Shell32Bit(std::string JobToDo, bool wait, const std::function<void()>& pump);

// Unmounts HKU\tmphive: Shell32Bit("reg unload HKU\\tmphive ", true, pump).
void unLoadHive(const std::function<void()>& pump);

}  // namespace vela
