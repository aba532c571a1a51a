// Installer packages on the Servers tab: every "*.MSI" file of the program folder gets an entry
// "Install <name>" in the server list's context menu (mnuInstall) and a column of its own in the
// server list.  Choosing an entry does nothing yet; its tag holds the package's full path.
//
// How the Servers page uses it (PopulateInstall, right after the list is filled on each visit):
//     const std::size_t had = installs_.Populate(fs, programFolder);
//     for each i < had:               re-caption menu element i + 1 to Entries()[i].caption
//     for each had <= i < size():     append menu element i + 1 (caption), and a list column
//                                     with key Entries()[i].columnKey and text .columnHeader
// and, when an entry is chosen, reads its tag from Entries()[element - 1].tag.
//
// Entries and columns live as long as the window: a later visit numbers the packages from 1 again,
// gives existing entries the caption and tag of the package that now has their number, adds only
// what is new, and never removes anything; a column keeps the header of its first visit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "admin/store/file_system.h"

namespace vela {

struct InstallEntry {
    std::string caption;       // "Install " and the package name
    std::string tag;           // the package file's full path
    std::string columnKey;     // "I" and the package number: I1, I2, ...
    std::string columnHeader;  // the package name when the column was made

    friend bool operator==(const InstallEntry&, const InstallEntry&) = default;
};

// The file name without any ".msi" (ASCII letter case ignored), then without surrounding blanks.
[[nodiscard]] std::string PackageName(std::string_view fileName);

class InstallEntries {
public:
    // One visit: numbers `files` (names in `programFolder`, in listing order) from 1 and updates the
    // entries.  Returns how many entries there were before, i.e. the index of the first new one.
    std::size_t Populate(const std::string& programFolder, const std::vector<std::string>& files);
    // The same for the "*.MSI" files that `fs` lists in `programFolder`.
    std::size_t Populate(FileSystem& fs, const std::string& programFolder);

    // Element n of mnuInstall (n >= 1) is Entries()[n - 1].
    [[nodiscard]] const std::vector<InstallEntry>& Entries() const noexcept { return entries_; }

private:
    std::vector<InstallEntry> entries_;
};

}  // namespace vela
