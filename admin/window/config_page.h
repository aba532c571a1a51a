// The "FrameWork Configuration" tab: the editor of the configuration file's three sections.
//
// The controls are the model's working copy.  The frame window reads them into the editor's
// model before a file command and shows the model again afterwards; nothing in between marks
// the page as changed.
#pragma once

#include "admin/config/framework_config.h"
#include "admin/window/dialog_page.h"

namespace vela {

class ConfigPage final : public DialogPage {
public:
    explicit ConfigPage(HINSTANCE instance);
    void ShowModel(const FrameworkConfig& model);
    void ReadInto(FrameworkConfig& model) const;

protected:
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    // The switches are manual three-state buttons: a file may show the indeterminate value 2,
    // a user's click only ever sets 0 or 1.
    void Check1_Click();
    void Check2_Click();
    void Check3_Click();
    void Check7_Click();
    void Check4_Click();
    void Check5_Click();
    void Checkbackup_Click();
    void ToggleSwitch(int id);
};

}  // namespace vela
