// EllReg: one registry value on the local machine or, through the remote registry service, on
// another machine.  Every call connects, opens, does its one job and closes everything it opened;
// nothing is kept between calls, not even a remote connection.
//
// The Servers tab uses it only through RemoteServerRegistry (server_enum_win32.h), which reads
// and writes HKLM "Software\Orvanta\Vela Framework\" "ServerType" on each listed server.
//
// Text: key paths, value names and values are ANSI text, as the rest of the program holds it; the
// machine name is UTF-16, as NetServerEnum returns it, so a server whose name lies outside the
// ANSI code page is still reached.  The wide registry functions are called throughout.
//
// Connecting to a machine that does not answer takes as long as the platform's connection attempt;
// neither call has a time-out of its own.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vela::ellreg {

// The machine's root `root` (HKEY_LOCAL_MACHINE, HKEY_USERS for a remote machine) when `machine`
// names one, the local root when it is empty.
//
// The value's display text (ell_reg_format.h); nullopt when anything fails: no connection, key or
// value missing, access denied, data longer than the 2048-byte read buffer.
[[nodiscard]] std::optional<std::string> QueryRegValue(HKEY root, std::string_view keyPath,
                                                       std::string_view valueName, std::wstring_view machine);

// How a lookup of one value went; only EllReg can tell these apart, so it says which.
enum class LookUp {
    Read,          // `text` holds the value's display text
    NoConnection,  // the machine's registry could not be reached
    NotThere,      // the machine answered: the key or the value does not exist
    Unreadable,    // the machine answered but refused the open or the read, or the data is too long
};
struct LookUpResult {
    LookUp outcome = LookUp::NoConnection;
    std::string text;  // Read only
};

// QueryRegValue, saying why there is no value.
[[nodiscard]] LookUpResult LookUpRegValue(HKEY root, std::string_view keyPath, std::string_view valueName,
                                          std::wstring_view machine);

// QueryRegValue, with every failure read as the text "Not Found".
[[nodiscard]] std::string ReadRegValue(HKEY root, std::string_view keyPath, std::string_view valueName,
                                       std::wstring_view machine);

// Stores `value` as `valueName` below `keyPath`, creating the key and any missing keys on its
// path, then flushes the key.  REG_DWORD stores DwordFromText(value); any other type stores the
// text as REG_SZ with its terminator (the empty text as a lone terminator).  True when the store
// and the flush succeeded; callers that must know what the machine holds read the value back.
bool WriteRegValue(HKEY root, std::string_view keyPath, std::string_view valueName, DWORD type,
                   std::string_view value, std::wstring_view machine);

}  // namespace vela::ellreg
