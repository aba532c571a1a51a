// Fuzz target for the userParameters codec: whatever bytes a server hands over and whatever path
// is written, reading and rewriting never crash, and nothing lossy is ever stored.  A write either
// yields a value that reads back exactly the path written (the plain form through the ANSI code
// page and the wide twin) with every other byte kept, or is refused (damaged value, path without
// an exact ANSI form) with nothing to store.  Built into a seeded mutation driver that runs under
// the sanitizers with the native tests; the same entry point links into libFuzzer
// (clang -fsanitize=fuzzer) for longer runs.
//
// Input: one byte n, then n UTF-16 code units of the path (little-endian, as many as there are
// bytes for), then the value as the server sends it (empty: the user has none).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "admin/common/text.h"
#include "admin/directory/user_parameters.h"

namespace {

using namespace vela;
using namespace vela::directory;

void Check(bool ok) {
    if (!ok) std::abort();
}

// The properties that are not the path's, in order, as name, value and type.
std::vector<std::string> Others(const UserParameters& p) {
    std::vector<std::string> out;
    for (const auto& prop : p.properties)
        if (prop.name != PropertyName("CtxWFProfilePath") && prop.name != PropertyName("CtxWFProfilePathW"))
            out.push_back(prop.name + '|' + prop.value + '|' + std::to_string(prop.type));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const std::size_t units = in.empty() ? 0 : std::min<std::size_t>(static_cast<unsigned char>(in[0]), (in.size() - 1) / 2);
    std::u16string path;
    for (std::size_t i = 0; i < units; ++i)
        path.push_back(static_cast<char16_t>(static_cast<unsigned char>(in[1 + 2 * i]) |
                                             (static_cast<unsigned char>(in[2 + 2 * i]) << 8)));
    const std::string_view wire = in.substr(std::min(in.size(), 1 + 2 * units));

    const auto blob = WireToBlob(wire);
    if (!blob) return 0;  // not UTF-8: the layer calls it damaged before the codec sees it
    Check(WireToBlob(BlobToWire(*blob)) == blob);
    const auto parsed = ParseUserParameters(*blob);
    if (parsed) Check(SerializeUserParameters(*parsed) == *blob);
    const auto before = ReadTsProfilePath(*blob);
    const auto ansi = Utf16ToAnsi(path);
    const bool exact = ansi && path.find(u'\0') == std::u16string::npos;

    const auto w = WriteTsProfilePath(*blob, ansi ? std::optional<std::string_view>(*ansi) : std::nullopt, path);
    if (w.result != TsWrite::Result::Written) {
        // Refused for a reason that holds, with nothing to store.
        Check(w.blob.empty());
        if (w.result == TsWrite::Result::Damaged) Check(before.state == TsProfilePath::State::Damaged);
        if (w.result == TsWrite::Result::Lossy) Check(!exact && before.state != TsProfilePath::State::Damaged);
        return 0;
    }
    Check(exact && before.state != TsProfilePath::State::Damaged);

    // The path written, exactly, in both forms, also after the trip through the wire.
    Check(WireToBlob(BlobToWire(w.blob)) == w.blob);
    const auto read = ReadTsProfilePath(w.blob);
    Check(read.state == TsProfilePath::State::Set && read.ansi == *ansi && AnsiToUtf16(read.ansi) == path &&
          read.wide == path);
    // Writing it again changes nothing.
    Check(WriteTsProfilePath(w.blob, *ansi, path).blob == w.blob);

    // Every byte that is not the path's is kept; CtxCfgPresent is added in front where missing.
    const auto again = ParseUserParameters(w.blob);
    Check(again.has_value());
    if (blob->empty()) return 0;
    Check(parsed && again->reserved == parsed->reserved);
    if (!parsed->hasTsPart) {
        Check(again->trailing.empty());
        return 0;
    }
    Check(again->trailing == parsed->trailing);
    std::vector<std::string> kept = Others(*parsed);
    const std::string present = PropertyName("CtxCfgPresent");
    if (std::none_of(parsed->properties.begin(), parsed->properties.end(),
                     [&](const TsProperty& p) { return p.name == present; }))
        kept.insert(kept.begin(), Others(*again).front());
    Check(Others(*again) == kept);
    return 0;
}
