// Fuzz target for the userParameters parser: whatever bytes a server hands over, reading and
// rewriting never crash, and a rewrite keeps every byte that is not the path's.  Built into a
// seeded mutation driver that runs under the sanitizers with the native tests; the same entry
// point links into libFuzzer (clang -fsanitize=fuzzer) for longer runs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "admin/directory/user_parameters.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vela::directory;
    const std::string_view wire(reinterpret_cast<const char*>(data), size);
    const auto blob = WireToBlob(wire);
    if (!blob) return 0;
    Check(WireToBlob(BlobToWire(*blob)) == blob);
    (void)ReadTsProfilePath(*blob);
    const auto parsed = ParseUserParameters(*blob);
    if (parsed) Check(SerializeUserParameters(*parsed) == *blob);
    const auto w = WriteTsProfilePath(*blob, "\\\\fs\\p\xE9", u"\\\\fs\\p\u00E9");
    if (w.result != TsWrite::Result::Written) return 0;
    const auto again = ParseUserParameters(w.blob);
    Check(again.has_value());
    const auto read = ReadTsProfilePath(w.blob);
    Check(read.state == TsProfilePath::State::Set && read.ansi == "\\\\fs\\p\xE9");
    if (parsed && parsed->hasTsPart) {
        Check(again->reserved == parsed->reserved && again->trailing == parsed->trailing);
        for (const auto& prop : parsed->properties) {
            if (prop.name == PropertyName("CtxWFProfilePath") || prop.name == PropertyName("CtxWFProfilePathW"))
                continue;
            bool kept = false;
            for (const auto& now : again->properties) kept = kept || (now.name == prop.name && now.value == prop.value);
            Check(kept);
        }
    }
    return 0;
}
