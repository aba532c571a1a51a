// The userParameters codec: where terminal servers read a user's terminal-server profile path.
//
// The attribute is a UTF-16 string whose code units are the little-endian image of a binary
// blob: 96 bytes of reserved data (dial-in settings and other things that are not ours), then a
// signature 'P', a property count and the properties, each a name and an ASCII-hex value.  Over
// LDAP the blob travels as the UTF-8 form of its code units, so two steps are needed each way:
//
//   wire bytes (UTF-8)  <-> WireToBlob / BlobToWire <->  blob bytes  <-> Parse / Serialize
//
// Writing a path sets CtxWFProfilePath and its UTF-16 twin CtxWFProfilePathW (adding whichever
// the value lacks, as Windows writes both) and keeps every other byte of the blob as it was.
// Nothing is stored that does not read back as the path written: a value this codec cannot
// read exactly is damaged (it reads as "not set" and is never rewritten), and a path the ANSI
// code page cannot carry is refused rather than stored with question marks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "admin/common/text.h"

namespace vela::directory {

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
    std::string ansi;                  // CtxWFProfilePath: ANSI bytes up to the terminator
    std::optional<std::u16string> wide;// CtxWFProfilePathW up to its terminator, where the value has it
};

// Reads the path from a blob; `blob` nullopt or empty means the user has no value.  Set when
// either property is there.  Damaged, besides a blob that does not parse: an odd number of
// bytes (no UTF-16 string has that), a path property present twice (which one would a server
// take?), hex digits that are not hex or odd in number, a wide value of an odd number of bytes.
[[nodiscard]] TsProfilePath ReadTsProfilePath(std::optional<std::string_view> blob);

struct TsWrite {
    enum class Result {
        Written,
        Damaged,  // the value reads as Damaged: it is left as it is
        Lossy,    // the path has no exact ANSI form, or holds a NUL: it would read back otherwise
        TooLong,  // the value would not fit the attribute
    } result = Result::Written;
    std::string blob;  // the new blob when Written, else empty
};
// The blob with the path set.  `wide` is the path; `ansi` the same text in the ANSI code page,
// nullopt where the code page cannot carry it exactly (Utf16ToAnsi).  The plain property is
// written exactly or not at all: a terminal server that reads only CtxWFProfilePath must not be
// sent to "\\srv\??" or to another folder, so such a path is refused (Lossy) even where the
// wide twin could hold it.
// No value (nullopt or empty) gets a new blob with the default property set that terminal
// servers write; a value of reserved data only gets a terminal-server part after it; a value
// with a terminal-server part gets both path properties, the twin right after the plain one.
[[nodiscard]] TsWrite WriteTsProfilePath(std::optional<std::string_view> blob, std::optional<std::string_view> ansi,
                                         std::u16string_view wide);

}  // namespace vela::directory
