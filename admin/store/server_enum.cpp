#include "admin/store/server_enum.h"

#include <utility>

namespace vela {

std::vector<ServerRow> MakeServerRows(const std::vector<std::string>& names) {
    std::vector<ServerRow> rows;
    rows.reserve(names.size());
    for (const std::string& name : names) {
        std::string key = "A";  // appended, not "A" + ...: GCC 12 warns wrongly (-Wrestrict) on that
        key += std::to_string(rows.size());
        rows.push_back(ServerRow{std::move(key), name, kServerPicture, false});
    }
    return rows;
}

std::vector<ServerRow> EnumServers(ServerEnumerator& enumerator) {
    return MakeServerRows(enumerator.TerminalServers());
}

}  // namespace vela
