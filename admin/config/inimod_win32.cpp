// inimod on Windows: the kernel32 private-profile functions.
#include "admin/config/inimod.h"

#include <windows.h>

#include "admin/common/ascii.h"

namespace vela {
namespace {
// The reader's buffer: a value comes back with at most 749 characters, one place is the NUL's.
constexpr DWORD kValueBufferChars = 750;
}  // namespace

std::string ReadIniValue(const std::string& section, const std::string& key,
                         const std::string& file) {
    const std::string lowered = AsciiLower(key);
    char buffer[kValueBufferChars] = {};
    const DWORD copied = ::GetPrivateProfileStringA(section.c_str(), lowered.c_str(), "", buffer,
                                                    kValueBufferChars, file.c_str());
    return std::string(buffer, copied < kValueBufferChars ? copied : kValueBufferChars - 1);
}

bool WriteIniValue(const std::string& section, const std::string& key, const std::string& value,
                   const std::string& file) {
    const std::string uppered = AsciiUpper(key);
    return ::WritePrivateProfileStringA(section.c_str(), uppered.c_str(), value.c_str(), file.c_str()) != FALSE;
}

}  // namespace vela
