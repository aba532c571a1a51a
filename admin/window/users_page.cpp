#include "admin/window/users_page.h"

#include "admin/window/resource.h"

namespace vela {

UsersPage::UsersPage(HINSTANCE instance, HIMAGELIST imageList, HMENU userMenu, std::function<void()> activate)
    : DialogPage(instance, IDD_PAGE_USERS), imageList_(imageList), userMenu_(userMenu), activate_(std::move(activate)) {}

}  // namespace vela
