// The userParameters codec: where terminal servers read a user's terminal-server profile path.
//
// The attribute is a UTF-16 string whose code units are the little-endian image of a binary
// blob: 96 bytes of reserved data (dial-in settings and other things that are not ours), then a
// signature 'P', a property count and the properties, each a name and an ASCII-hex value.  Over
// LDAP the blob travels as the UTF-8 form of its code units, so two steps are needed each way:
//
//   wire bytes (UTF-8)  <-> WireToBlob / BlobToWire <->  blob bytes  <-> Parse / Serialize
//
// Writing a path changes CtxWFProfilePath (and CtxWFProfilePathW where the value has it) and
// keeps every other byte of the blob as it was.  A value that does not parse is damaged: it
// reads as "not set" and is never rewritten.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vela::directory {

// UTF-8 bytes to UTF-16 code units.  Accepts what a server sends for a blob: U+0000 and the
// three-byte form of lone surrogates.  Nullopt for anything else that is not UTF-8 (overlong
// forms, stray continuation bytes, truncated sequences, code points above U+10FFFF).
[[nodiscard]] std::optional<std::u16string> Utf8ToUnits(std::string_view utf8);
// The reverse: a valid surrogate pair becomes one four-byte sequence, a lone surrogate three bytes.
[[nodiscard]] std::string UnitsToUtf8(std::u16string_view units);

// The attribute's LDAP value to the blob (two bytes a code unit, little-endian), and back.
// BlobToWire pads an odd-sized blob with one zero byte.
[[nodiscard]] std::optional<std::string> WireToBlob(std::string_view wire);
[[nodiscard]] std::string BlobToWire(std::string_view blob);

inline constexpr std::size_t kReservedSize = 96;

struct TsProperty {
    std::string name;       // UTF-16LE bytes, as stored
    std::string value;      // the ASCII hex digits, as stored
    std::uint16_t type = 1; // PROP_TYPE_ITEM
};

struct UserParameters {
    std::string reserved;                // exactly kReservedSize bytes
    bool hasTsPart = false;              // signature and count present
    std::vector<TsProperty> properties;  // in stored order
    std::string trailing;                // bytes after the last property, kept as they are
};

// Nullopt when the blob is damaged: shorter than the reserved data, a signature other than 'P',
// or a property that runs past the end.  A blob of exactly the reserved data parses with
// hasTsPart false.
[[nodiscard]] std::optional<UserParameters> ParseUserParameters(std::string_view blob);
[[nodiscard]] std::string SerializeUserParameters(const UserParameters& p);

// The UTF-16LE bytes of an ASCII property name ("CtxWFProfilePath").
[[nodiscard]] std::string PropertyName(std::string_view ascii);
// Hex digits of bytes, lowercase, as terminal servers write them; decoding takes either case.
[[nodiscard]] std::string HexEncode(std::string_view bytes);
[[nodiscard]] std::optional<std::string> HexDecode(std::string_view digits);

// The terminal-server profile path as stored.
struct TsProfilePath {
    enum class State { NotSet, Set, Damaged } state = State::NotSet;
    std::string ansi;                  // CtxWFProfilePath: ANSI bytes, without the terminator
    std::optional<std::u16string> wide;// CtxWFProfilePathW, where the value has it and it decodes
};

// Reads the path from a blob; `blob` nullopt or empty means the user has no value.
[[nodiscard]] TsProfilePath ReadTsProfilePath(std::optional<std::string_view> blob);

struct TsWrite {
    enum class Result { Written, Damaged, TooLong } result = Result::Written;
    std::string blob;  // the new blob when Written
};
// The blob with the path set.  `ansi` is the path in the ANSI code page, `wide` the same text in
// UTF-16.  No value (nullopt or empty) gets a new blob with the default property set that
// terminal servers write; a value of reserved data only gets a terminal-server part after it.
[[nodiscard]] TsWrite WriteTsProfilePath(std::optional<std::string_view> blob, std::string_view ansi,
                                         std::u16string_view wide);

}  // namespace vela::directory
