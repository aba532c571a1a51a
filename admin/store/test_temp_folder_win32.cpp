#include <windows.h>

#include "admin/store/test_temp_folder.h"
#include "admin/win32/wine.h"

namespace vela::testing {

char Separator() { return '\\'; }

bool RunningUnderWine() { return win32::UnderWine(); }

namespace detail {
std::string TempRoot() {
    char buf[MAX_PATH + 1];
    const DWORD n = ::GetTempPathA(sizeof buf, buf);   // ends in '\'
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string("C:\\");
}
unsigned long ProcessId() { return ::GetCurrentProcessId(); }
}  // namespace detail

}  // namespace vela::testing
