#include <cstdlib>

#include "admin/directory/change_journal.h"

namespace vela::directory {

std::optional<std::filesystem::path> JournalFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') return std::filesystem::path(data) / "vela" / "changes";
    if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / ".local" / "share" / "vela" / "changes";
    return std::nullopt;
}

}  // namespace vela::directory
