#include <windows.h>

#include "admin/common/name_case.h"
#include "admin/win32/text.h"

namespace vela {

bool NamesEqualIgnoringCase(std::string_view a, std::string_view b) {
    const std::wstring wa = win32::WideFromAnsi(a), wb = win32::WideFromAnsi(b);
    return ::CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()),
                                  TRUE) == CSTR_EQUAL;
}

}  // namespace vela
