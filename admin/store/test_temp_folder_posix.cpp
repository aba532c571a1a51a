#include <unistd.h>

#include <cstdlib>

#include "admin/store/test_temp_folder.h"

namespace vela::testing {

char Separator() { return '/'; }
bool RunningUnderWine() { return false; }

namespace detail {
std::string TempRoot() {
    const char* dir = std::getenv("TMPDIR");
    std::string root = dir && *dir ? dir : "/tmp";
    if (root.back() != '/') root += '/';
    return root;
}
unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }
}  // namespace detail

}  // namespace vela::testing
