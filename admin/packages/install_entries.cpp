#include "admin/packages/install_entries.h"

#include <utility>

#include "admin/common/ascii.h"

namespace vela {

std::string PackageName(std::string_view fileName) {
    static constexpr std::string_view kExtension = ".msi";
    std::string out;
    while (!fileName.empty()) {
        if (AsciiIEquals(fileName.substr(0, kExtension.size()), kExtension)) {
            fileName.remove_prefix(kExtension.size());
            continue;
        }
        out += fileName.front();
        fileName.remove_prefix(1);
    }
    return std::string(TrimBlanks(out));
}

std::size_t InstallEntries::Populate(const std::string& programFolder, const std::vector<std::string>& files) {
    const std::size_t had = entries_.size();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string name = PackageName(files[i]);
        if (i == entries_.size()) {
            std::string key = "I";  // appended: GCC 12 warns wrongly (-Wrestrict) on "I" + ...
            key += std::to_string(i + 1);
            entries_.push_back(InstallEntry{{}, {}, std::move(key), name});
        }
        entries_[i].caption = "Install " + name;
        entries_[i].tag = JoinPath(programFolder, files[i]);
    }
    return had;
}

std::size_t InstallEntries::Populate(FileSystem& fs, const std::string& programFolder) {
    return Populate(programFolder, fs.Files(programFolder, "*.MSI"));
}

}  // namespace vela
