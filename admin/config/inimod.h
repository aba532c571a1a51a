// inimod: the only INI access of the administration program.
//
// Keys are asked for in lower case and written in upper case, so a key the program writes is
// always stored upper-cased.  In the Windows build these call the kernel32 private-profile
// functions; elsewhere they call our own profile engine, which behaves as those functions do.
#pragma once

#include <string>

namespace vela {

// The value of `key` in `section` of the INI file at `file`: at most 749 characters (the reader
// gets a 750-character buffer), or empty text when the file, section or key is missing.
[[nodiscard]] std::string ReadIniValue(const std::string& section, const std::string& key,
                                       const std::string& file);

// Sets `key` in `section` of `file` to `value`, creating file, section or key as needed.
// False when the write failed; a failed write changes nothing.
[[nodiscard]] bool WriteIniValue(const std::string& section, const std::string& key, const std::string& value,
                   const std::string& file);

}  // namespace vela
