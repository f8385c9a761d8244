#pragma once
// Owners of the user-interface handles (core/unique_handle.h); kernel handles, files among
// them, have theirs in core/native_handle.h.
#include "core/unique_handle.h"

#include <windows.h>

namespace kpv {

struct MenuTraits {
    using Handle = HMENU;
    static Handle empty() noexcept { return nullptr; }
    static bool isValid(Handle handle) noexcept { return handle != nullptr; }
    static bool close(Handle handle) noexcept { return DestroyMenu(handle) != 0; }
};

// Only for icons the program created itself (LoadImage without LR_SHARED); shared icons from
// LoadIcon must never be destroyed.
struct IconTraits {
    using Handle = HICON;
    static Handle empty() noexcept { return nullptr; }
    static bool isValid(Handle handle) noexcept { return handle != nullptr; }
    static bool close(Handle handle) noexcept { return DestroyIcon(handle) != 0; }
};

using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;

} // namespace kpv
