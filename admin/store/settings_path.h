// Where the profile-settings store lies and which of its folders is current.
//
// The store is the folder "ProfileSettings" beside the configuration file, with one subfolder
// per server type; the pseudo type "(DEFAULT)" stands for the store root itself.
#pragma once

#include <string>

#include "admin/store/file_system.h"

namespace vela {

// The "Profile Settings" tab as the store location sees it.
class SettingsView {
public:
    virtual ~SettingsView() = default;
    // The text of the settings server-type box (Combo1); empty while nothing is picked.
    [[nodiscard]] virtual std::string PickedSettingsType() = 0;
    // Points the settings-file list at `folder` and refreshes it.  SettingsLocation calls it only
    // for a folder that exists, so the list keeps the folder it showed before otherwise; a view
    // that finds the folder gone in the meantime keeps its previous folder as well.
    virtual void ShowSettingsFolder(const std::string& folder) = 0;
};

class SettingsLocation {
public:
    SettingsLocation(FileSystem& fs, SettingsView& view) : fs_(fs), view_(view) {}

    // Creates the store root below `configFolder` (failure ignored), makes the picked type's
    // folder current and points the list at it if that folder exists.  An empty configFolder
    // puts the store at "\ProfileSettings", the root of the current drive.
    void GetSettingsPath(const std::string& configFolder);
    // Points the list at the current settings folder once more (again only if it exists).
    void ShowCurrentFolder();

    // The store root below `configFolder`: "<configFolder>\ProfileSettings" ("C:\ProfileSettings"
    // for the drive root "C:\").
    [[nodiscard]] static std::string StoreRoot(const std::string& configFolder);

    // Empty until the first GetSettingsPath.
    [[nodiscard]] const std::string& CurrentSettingsFolder() const { return current_; }

private:
    FileSystem& fs_;
    SettingsView& view_;
    std::string current_;
};

}  // namespace vela
