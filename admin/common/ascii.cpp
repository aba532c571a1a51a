#include "admin/common/ascii.h"

#include <algorithm>

namespace vela {

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AsciiUpper(c);
    return out;
}

bool AsciiIEquals(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool AsciiIContains(std::string_view hay, std::string_view needle) noexcept {
    if (needle.size() > hay.size()) return false;
    for (size_t i = 0; i + needle.size() <= hay.size(); ++i)
        if (AsciiIEquals(hay.substr(i, needle.size()), needle)) return true;
    return false;
}

std::string_view TrimBlanks(std::string_view s) noexcept {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string Plural(long long n, std::string_view one, std::string_view many) {
    return std::to_string(n) + std::string(n == 1 ? one : many);
}

}  // namespace vela
