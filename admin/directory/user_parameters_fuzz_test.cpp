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

void Feed(const std::string& wire) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(wire.data()), wire.size());
}

TEST(UserParametersFuzz, MutatedValuesNeverBreakTheCodec) {
    std::vector<std::string> seeds;
    seeds.push_back(BlobToWire(WriteTsProfilePath(std::nullopt, "\\\\srv\\p", u"\\\\srv\\p").blob));
    seeds.push_back(BlobToWire(WriteTsProfilePath(std::nullopt, std::string(200, 'x'), std::u16string(200, u'x')).blob));
    seeds.push_back(BlobToWire(std::string(96, ' ')));
    seeds.push_back({});
    std::mt19937 rng(20261207);
    const int rounds = 20000;
    for (int i = 0; i < rounds; ++i) {
        std::string s = seeds[rng() % seeds.size()];
        // Work on the blob for structural damage, on the wire for encoding damage.
        const bool onBlob = rng() % 2 == 0;
        if (onBlob) s = *WireToBlob(s);
        const int edits = 1 + static_cast<int>(rng() % 6);
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
        Feed(s);
    }
    SUCCEED() << rounds << " mutated values";
}

}  // namespace
}  // namespace vela::directory
