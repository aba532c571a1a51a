// inimod where kernel32 is missing: our own profile engine, asked with the numbers kernel32 gets.
#include "admin/config/inimod.h"

#include "admin/common/ascii.h"
#include "admin/config/profile_engine.h"

namespace vela {
namespace {
// The reader's buffer: a value comes back with at most 749 characters, one place is the NUL's.
constexpr std::size_t kValueBufferChars = 750;

// Where kernel32 is missing, inimod stands in for it: one file-system service for the process.
FileSystem& Files() {
    static const std::unique_ptr<FileSystem> fs = MakeFileSystem();
    return *fs;
}
}  // namespace

std::string ReadIniValue(const std::string& section, const std::string& key,
                         const std::string& file) {
    return profile::ReadString(Files(), file, section, AsciiLower(key), "", kValueBufferChars);
}

bool WriteIniValue(const std::string& section, const std::string& key, const std::string& value,
                   const std::string& file) {
    return profile::WriteString(Files(), file, section, AsciiUpper(key), value);
}

}  // namespace vela
