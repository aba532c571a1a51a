#include <string>

#include "admin/common/name_case.h"

namespace vela {
namespace {

// ISO 8859-1 stands in for the ANSI code page: each byte is the unit of the same number.
std::u16string Latin1(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool NamesEqualIgnoringCase(std::string_view a, std::string_view b) {
    return OrdinalEqualsIgnoringCase(Latin1(a), Latin1(b));
}

}  // namespace vela
