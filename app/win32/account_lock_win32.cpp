#include "app/win32/account_lock_win32.h"

#include "app/win32/resource_ids.h"

#include <initializer_list>

namespace kpv {

void greyAccountChanges(HMENU menuBar, HMENU listMenu, HWND addButton) noexcept {
    constexpr UINT GREYED = MF_BYCOMMAND | MF_GRAYED;
    // MF_BYCOMMAND searches the submenus too.
    if (menuBar != nullptr) {
        for (int id : {IDM_ADD_ACCOUNT, IDM_REMOVE_SELECTED, IDM_IMPORT_LIST})
            EnableMenuItem(menuBar, static_cast<UINT>(id), GREYED);
    }
    if (listMenu != nullptr) {
        for (int id : {IDM_RENAME, IDM_REMOVE_FROM_LIST})
            EnableMenuItem(listMenu, static_cast<UINT>(id), GREYED);
    }
    if (addButton != nullptr)
        EnableWindow(addButton, FALSE);
}

} // namespace kpv
