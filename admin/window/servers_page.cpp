#include "admin/window/servers_page.h"

#include "admin/window/resource.h"

namespace vela {

ServersPage::ServersPage(HINSTANCE instance, FileSystem& fs, Prompts& prompts, HIMAGELIST imageList,
                         HMENU serverMenu, ServersPageLinks links)
    : DialogPage(instance, IDD_PAGE_SERVERS),
      types_(fs, prompts),
      imageList_(imageList),
      serverMenu_(serverMenu),
      links_(std::move(links)) {}

void ServersPage::OnInit() {}

void ServersPage::OnActivate() {
    if (links_.Activate) links_.Activate();
}

void ServersPage::OnCommand(int id, int code) {
    switch (id) {
    case IDC_COMBO5:
        if (code == CBN_DROPDOWN) Combo5_DropDown();
        break;
    case IDC_COMMAND3: if (code == BN_CLICKED) Command3_Click(); break;
    case IDC_COMMAND4: if (code == BN_CLICKED) Command4_Click(); break;
    default: break;
    }
}

void ServersPage::Combo5_DropDown() {
    const std::vector<std::string> types = types_.List(links_.ConfigFolder ? links_.ConfigFolder() : std::string());
    HWND combo = Item(IDC_COMBO5);
    ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& t : types) ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
    if (links_.FillSettingsTypes) links_.FillSettingsTypes(types);
}

void ServersPage::Command4_Click() {
    (void)types_.New(links_.ConfigFolder ? links_.ConfigFolder() : std::string());
}

void ServersPage::Command3_Click() {
    HWND combo = Item(IDC_COMBO5);
    const LRESULT i = ::SendMessageA(combo, CB_GETCURSEL, 0, 0);
    std::string picked;
    if (i != CB_ERR) {
        picked.assign(static_cast<size_t>(::SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)) + 1, '\0');
        const LRESULT n = ::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(picked.data()));
        picked.resize(n < 0 ? 0 : static_cast<size_t>(n));
    }
    (void)types_.Delete(links_.ConfigFolder ? links_.ConfigFolder() : std::string(), picked);
}

}  // namespace vela
