// The "Profile Settings" tab: the settings server-type box Combo1, the settings-file list File1,
// the editor Text3 and the buttons "New", "Delete", "Save" and "Permissions".
//
// The list works on its own folder: the process's current folder until the settings store
// location first points it elsewhere (SettingsView), then the picked type's folder.  The
// decisions are SettingsFiles'; this page reads its controls, calls there and shows the answer.
// A file that is not saved (another encoding, marked read-only) sits in the editor read-only, on
// the grey of a read-only edit; whatever "New" or "Save" refuses, or a file that cannot be read,
// is said in the status bar until the next one of them that works.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "admin/store/settings_files.h"
#include "admin/store/settings_path.h"
#include "admin/window/dialog_page.h"

namespace vela {

// What the page reaches in the other tabs and the store; the frame fills these in.
struct SettingsPageLinks {
    // Combo1_Click: the store location's GetSettingsPath for the current configuration.
    std::function<void()> GetSettingsPath;
    // Combo1_DropDown: the server types listed anew, in this tab's box and the Servers tab's
    // (ServersPage::Combo5_DropDown).
    std::function<void()> RefillServerTypes;
    // PublicMod's ShowFileProperties.
    std::function<void(const std::string& path, HWND owner)> ShowFileProperties;
};

class SettingsPage final : public DialogPage, public SettingsView {
public:
    // `host` (the frame's status bar says the refusals), `fs` and `prompts` are borrowed.
    SettingsPage(HINSTANCE instance, PageHost& host, FileSystem& fs, Prompts& prompts, SettingsPageLinks links);

    // Empties Combo1 and lists `types` in it; nothing is picked afterwards.
    void FillServerTypes(const std::vector<std::string>& types);

    // SettingsView.
    [[nodiscard]] std::string PickedSettingsType() override;
    void ShowSettingsFolder(const std::string& folder) override;

protected:
    void OnInit() override;
    void OnCommand(int id, int code) override;
    HBRUSH OnCtlColorStatic(HDC dc, HWND control) override;

private:
    void Combo1_Click();
    void Combo1_DropDown();
    void File1_Click();
    void Command1_Click();
    void Command2_Click();
    void Command9_Click();
    void Command10_Click();

    // Lists the "*.INI" files of the list's folder again, keeping the picked name if it is
    // still there.
    void RefreshFile1();
    [[nodiscard]] std::string PickedFile() const;
    void ShowInEditor(const SettingsFile* file);
    // The status bar: `refusal`, or with the empty text, the frame's own text again if a refusal
    // of this page is shown.
    void ShowRefusal(const std::string& refusal);

    PageHost& host_;
    FileSystem& fs_;
    SettingsFiles files_;
    SettingsPageLinks links_;
    std::string listFolder_;
    std::optional<SettingsFile> loaded_;  // what the editor holds
    bool refusalShown_ = false;
};

}  // namespace vela
