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

ServerListing ListServers(ServerEnumerator& browseList, ServerDirectory* directory) {
    ServerListing listing;
    listing.rows = EnumServers(browseList);
    if (!listing.rows.empty()) {
        listing.source = ServerSource::BrowseList;
        return listing;
    }
    if (directory) {
        if (auto names = directory->Servers()) {
            listing.rows = MakeServerRows(*names);
            listing.source = ServerSource::Directory;
        } else {
            listing.directoryFailure = directory->Failure();
        }
    }
    return listing;
}

std::string ServerSourceText(const ServerListing& listing) {
    if (listing.source == ServerSource::None) {
        std::string text = "No servers: the browse list named none and the directory could not be asked";
        if (!listing.directoryFailure.empty()) text += ": " + listing.directoryFailure;
        return text + ".";
    }
    std::string text = std::to_string(listing.rows.size());
    text += listing.rows.size() == 1 ? " server from the " : " servers from the ";
    text += listing.source == ServerSource::BrowseList ? "browse list" : "directory";
    return text;
}

}  // namespace vela
