// Whether the program runs under Wine.  Where Wine's libraries differ from Windows in a way the
// program must work around (wldap32's Negotiate bind, certificate errors), the work-around asks
// here; nothing else should.
#pragma once

#include <windows.h>

namespace vela::win32 {

// True when ntdll exports wine_get_version, which only Wine's does.
[[nodiscard]] inline bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace vela::win32
