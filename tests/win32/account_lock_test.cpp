#include "app/win32/account_lock_win32.h"
#include "app/win32/resource_ids.h"

#include <doctest/doctest.h>

#include <initializer_list>

namespace {

bool greyed(HMENU menu, int id) {
    const UINT state = GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND);
    REQUIRE(state != static_cast<UINT>(-1));
    return (state & MF_GRAYED) != 0;
}

} // namespace

TEST_CASE("a locked list greys exactly the commands that change it") {
    HINSTANCE module = GetModuleHandleW(nullptr);
    HMENU bar = LoadMenuW(module, MAKEINTRESOURCEW(IDR_MAIN_MENU));
    HMENU list = LoadMenuW(module, MAKEINTRESOURCEW(IDR_LIST_MENU));
    REQUIRE(bar != nullptr);
    REQUIRE(list != nullptr);
    kpv::greyAccountChanges(bar, list, nullptr);
    for (int id : {IDM_ADD_ACCOUNT, IDM_REMOVE_SELECTED, IDM_IMPORT_LIST})
        CHECK(greyed(bar, id));
    for (int id : {IDM_EXPORT_LIST, IDM_REFRESH, IDM_SETTINGS, IDM_EXIT_ASK})
        CHECK_FALSE(greyed(bar, id));
    CHECK(greyed(list, IDM_RENAME));
    CHECK(greyed(list, IDM_REMOVE_FROM_LIST));
    CHECK_FALSE(greyed(list, IDM_SHOW_EXCLUDED));
    DestroyMenu(bar);
    DestroyMenu(list);
}
