// Path text rules shared by both file-system implementations.
#include "admin/store/file_system.h"

#include "admin/common/ascii.h"

namespace vela {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "\", "/", "C:\", "C:/": roots that already end in their separator.
bool IsRootWithSeparator(std::string_view folder) {
    if (folder.size() == 1) return IsSeparator(folder[0]);
    return folder.size() == 3 && folder[1] == ':' && IsSeparator(folder[2]) &&
           ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'));
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!IsRootWithSeparator(folder)) out += '\\';
    out += name;
    return out;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    // Greedy match with one backtrack point: the last '*' seen and where it started matching.
    size_t p = 0, n = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace vela
