// The process environment, where the directory's connection settings come from (tools/run and
// the tests hand them in as VELA_DIRECTORY, VELA_DIRECTORY_USER and VELA_DIRECTORY_PASSWORD).
#pragma once

#include <optional>
#include <string>

namespace vela::directory {

// The variable `name` (ASCII) as UTF-8; nullopt when it is not set.  Windows reads it as UTF-16,
// so a name or password outside the ANSI code page arrives whole, and wipes its own copy.
[[nodiscard]] std::optional<std::string> EnvironmentVariable(const char* name);

// Removes the variable `name`; on Windows also from the C runtime's copy of the environment.
void RemoveEnvironmentVariable(const char* name);

}  // namespace vela::directory
