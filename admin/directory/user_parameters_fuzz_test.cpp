// Seeded mutation run of the userParameters fuzz target, so every native test run fuzzes.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "admin/directory/user_parameters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace vela::directory {
namespace {

// The target's input: the path's length and code units, then the value as a server sends it.
void Feed(const std::u16string& path, const std::string& wire) {
    std::string in(1, static_cast<char>(path.size()));
    for (char16_t u : path) {
        in.push_back(static_cast<char>(u & 0xFF));
        in.push_back(static_cast<char>(u >> 8));
    }
    in += wire;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(in.data()), in.size());
}

// A blob of 96 blank bytes and the given properties (name, hex digits), then `trailing`.
std::string Blob(const std::vector<std::pair<const char*, const char*>>& props, const std::string& trailing = {}) {
    std::string b = std::string(96, ' ') + 'P' + '\0' + static_cast<char>(props.size()) + '\0';
    for (const auto& [name, hex] : props) {
        const std::string n = PropertyName(name), v = hex;
        b += std::string{static_cast<char>(n.size()), 0, static_cast<char>(v.size()), 0, 1, 0} + n + v;
    }
    return b + trailing;
}

TEST(UserParametersFuzz, MutatedValuesNeverBreakTheCodec) {
    std::vector<std::string> seeds;
    seeds.push_back(BlobToWire(WriteTsProfilePath(std::nullopt, "\\\\srv\\p", u"\\\\srv\\p").blob));
    seeds.push_back(BlobToWire(WriteTsProfilePath(std::nullopt, std::string(200, 'x'), std::u16string(200, u'x')).blob));
    seeds.push_back(BlobToWire(std::string(96, ' ')));
    seeds.push_back({});
    seeds.push_back(BlobToWire(Blob({{"CtxCfgPresent", "551e0bb0"}, {"CtxWFProfilePath", "6100"}, {"CtxOdd", "abc"}}, "\x07")));
    seeds.push_back(BlobToWire(Blob({{"CtxCfgFlags1", "00f02090"}, {"CtxWFProfilePathW", "61000000"}})));
    seeds.push_back(BlobToWire(Blob({{"CtxWFProfilePath", "6100"}, {"CtxWFProfilePathW", "610"}}, "\x07")));
    // Path characters: ASCII, the code page's own, what it lacks or would best-fit, NUL, surrogates.
    const char16_t alphabet[] = {u'\\', u's', u'P', u' ', u'.', 0x00E9, 0x00FC, 0x00A3, 0x0141, 0x20AC,
                                 0x5C71, 0xFF21, 0x0000, 0xD83D, 0xDE00, 0xD800};
    std::mt19937 rng(20261207);
    const int rounds = 20000;
    for (int i = 0; i < rounds; ++i) {
        std::string s = seeds[rng() % seeds.size()];
        // Work on the blob for structural damage, on the wire for encoding damage.
        const bool onBlob = rng() % 2 == 0;
        if (onBlob) s = *WireToBlob(s);
        const int edits = static_cast<int>(rng() % 7);
        for (int e = 0; e < edits; ++e) {
            const auto pos = s.empty() ? 0 : rng() % s.size();
            switch (rng() % 5) {
                case 0: if (!s.empty()) s[pos] = static_cast<char>(rng()); break;
                case 1: if (!s.empty()) s.erase(pos, 1 + rng() % 8); break;
                case 2: s.insert(pos, 1 + rng() % 4, static_cast<char>(rng())); break;
                case 3: s.resize(rng() % (s.size() + 1)); break;
                case 4: if (s.size() > 100) s[98 + rng() % 4] = static_cast<char>(rng() % 3); break;  // count
            }
        }
        if (onBlob) s = BlobToWire(s);
        std::u16string path;
        for (auto n = rng() % 24; n > 0; --n) path.push_back(alphabet[rng() % std::size(alphabet)]);
        Feed(path, s);
    }
    SUCCEED() << rounds << " mutated values, each with a path of its own";
}

}  // namespace
}  // namespace vela::directory
