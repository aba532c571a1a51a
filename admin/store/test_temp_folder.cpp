#include "admin/store/test_temp_folder.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>

#include "admin/store/file_system.h"

namespace vela::testing {

TempFolder::TempFolder() {
    static unsigned counter = 0;
    std::random_device rd;
    const auto fs = MakeFileSystem();
    // ctest runs test programs in parallel: process id, a counter and random bits keep names apart.
    for (int attempt = 0; attempt < 50 && path_.empty(); ++attempt) {
        const std::string candidate = detail::TempRoot() + "vela-test-" + std::to_string(detail::ProcessId()) +
                                      "-" + std::to_string(++counter) + "-" + std::to_string(rd() % 1000000);
        if (fs->CreateFolder(candidate)) path_ = candidate;
    }
    if (path_.empty()) std::abort();   // no temporary folder: no test here can mean anything
}

TempFolder::~TempFolder() {
    static_cast<void>(MakeFileSystem()->DeleteFolder(path_));
}

std::optional<std::string> Bytes(FileSystem& fs, const std::string& path) {
    std::optional<FileContent> content = fs.ReadFile(path);
    if (!content || !content->exists) return std::nullopt;
    return std::move(content->bytes);
}

std::string TempFolder::operator/(std::string_view name) const {
    std::string rel(name);
    std::replace(rel.begin(), rel.end(), '/', Separator());
    return path_ + Separator() + rel;
}

}  // namespace vela::testing
