#include "admin/store/ell_reg_win32.h"

#include <cstring>
#include <utility>
#include <vector>

#include "admin/store/ell_reg_format.h"
#include "admin/win32/text.h"
#include "admin/win32/unique.h"

namespace vela::ellreg {
namespace {

using win32::UniqueKey;

// The root to work below: the local predefined root, or the named machine's root in `remote`.
// Null when the connection fails.
HKEY Root(HKEY root, std::wstring_view machine, UniqueKey& remote) {
    if (machine.empty()) return root;
    const std::wstring name(machine);
    if (::RegConnectRegistryW(name.c_str(), root, remote.put()) != ERROR_SUCCESS) return nullptr;
    return remote.get();
}

// The key path for the key functions.  Callers may end it in a backslash (the server-type key
// does); the functions get it without, so no platform has to make sense of an empty last part.
// Trimmed after widening, where a 0x5C can no longer be the second byte of a double-byte character.
std::wstring KeyPath(std::string_view keyPath) {
    std::wstring path = win32::WideFromAnsi(keyPath);
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

// The value's data in the form the ANSI functions return: text types narrowed to the ANSI code
// page, everything else as stored.  nullopt when the query fails; `missing` then tells whether
// the value does not exist.  Text the code page cannot carry exactly is unreadable here: a
// '?' in its place would be shown, and could be written back, as another server type.
std::optional<std::pair<DWORD, std::string>> QueryData(HKEY key, const std::wstring& name, bool& missing) {
    missing = false;
    // A value's size can change between two queries (another writer): retry a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (const LSTATUS rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
            rc != ERROR_SUCCESS) {
            missing = rc == ERROR_FILE_NOT_FOUND;
            return std::nullopt;
        }
        // Anything but text fails at once past the read buffer.  A text's limit applies to its
        // ANSI form and is checked after narrowing; an ANSI byte comes from at most two UTF-16
        // units, so a longer text cannot fit.
        if (!IsTextType(type) && size > kReadBufferBytes) return std::nullopt;
        if (IsTextType(type) && size > 4 * kReadBufferBytes + 8) return std::nullopt;
        std::vector<BYTE> data(size);
        DWORD got = size;
        const LSTATUS rc =
            ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &got);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS || got > size) return std::nullopt;
        if (!IsTextType(type)) return std::pair{type, std::string(reinterpret_cast<const char*>(data.data()), got)};
        // An odd trailing byte is half a UTF-16 unit: it holds no character.
        std::wstring text(got / sizeof(wchar_t), L'\0');
        if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
        std::optional<std::string> ansi = win32::Ansi(text);
        if (!ansi) return std::nullopt;
        return std::pair{type, std::move(*ansi)};
    }
    return std::nullopt;
}

}  // namespace

LookUpResult LookUpRegValue(HKEY root, std::string_view keyPath, std::string_view valueName,
                            std::wstring_view machine) {
    UniqueKey remote;  // closed after `key`, on every path
    const HKEY base = Root(root, machine, remote);
    if (base == nullptr) return {LookUp::NoConnection, {}};
    UniqueKey key;
    if (const LSTATUS rc = ::RegOpenKeyExW(base, KeyPath(keyPath).c_str(), 0, KEY_QUERY_VALUE, key.put());
        rc != ERROR_SUCCESS)
        return {rc == ERROR_FILE_NOT_FOUND ? LookUp::NotThere : LookUp::Unreadable, {}};
    bool missing = false;
    const auto data = QueryData(key.get(), win32::WideFromAnsi(valueName), missing);
    if (!data) return {missing ? LookUp::NotThere : LookUp::Unreadable, {}};
    std::optional<std::string> text = DisplayText(data->first, data->second);
    if (!text) return {LookUp::Unreadable, {}};
    return {LookUp::Read, std::move(*text)};
}

std::optional<std::string> QueryRegValue(HKEY root, std::string_view keyPath, std::string_view valueName,
                                         std::wstring_view machine) {
    LookUpResult r = LookUpRegValue(root, keyPath, valueName, machine);
    if (r.outcome != LookUp::Read) return std::nullopt;
    return std::move(r.text);
}

std::string ReadRegValue(HKEY root, std::string_view keyPath, std::string_view valueName, std::wstring_view machine) {
    return QueryRegValue(root, keyPath, valueName, machine).value_or(std::string(kNotFound));
}

bool WriteRegValue(HKEY root, std::string_view keyPath, std::string_view valueName, DWORD type,
                   std::string_view value, std::wstring_view machine) {
    std::vector<BYTE> data;
    if (type == REG_DWORD) {
        const auto n = DwordFromText(value);
        if (!n) return false;
        data.resize(sizeof(DWORD));
        std::memcpy(data.data(), &*n, sizeof(DWORD));
    } else {
        type = REG_SZ;
        const std::wstring text = win32::WideFromAnsi(value) + L'\0';
        data.resize(text.size() * sizeof(wchar_t));
        std::memcpy(data.data(), text.data(), data.size());
    }

    UniqueKey remote;
    const HKEY base = Root(root, machine, remote);
    if (base == nullptr) return false;
    UniqueKey key;
    if (::RegCreateKeyExW(base, KeyPath(keyPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    const bool stored = ::RegSetValueExW(key.get(), win32::WideFromAnsi(valueName).c_str(), 0, type, data.data(),
                                         static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
    const bool flushed = ::RegFlushKey(key.get()) == ERROR_SUCCESS;
    return stored && flushed;
}

}  // namespace vela::ellreg
