#include <cstdlib>

#include "admin/directory/environment.h"

namespace vela::directory {

std::optional<std::string> EnvironmentVariable(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
}

void RemoveEnvironmentVariable(const char* name) { ::unsetenv(name); }

}  // namespace vela::directory
