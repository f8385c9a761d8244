#pragma once
// One move-only owner per kind of Win32 handle, so that a handle is released exactly once.
#include <windows.h>

#include <utility>

namespace kpv {

// Traits name the handle type, its empty value and the call that releases it.
template <typename Traits>
class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != Traits::empty(); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without releasing.
    Handle release() noexcept { return std::exchange(handle_, Traits::empty()); }
    // Releases what is held, then holds `handle`.
    void reset(Handle handle = Traits::empty()) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::empty())
            Traits::close(old);
    }

  private:
    Handle handle_ = Traits::empty();
};

struct MenuTraits {
    using Handle = HMENU;
    static Handle empty() noexcept { return nullptr; }
    static void close(Handle handle) noexcept { DestroyMenu(handle); }
};

// Only for icons the program created itself (LoadImage without LR_SHARED); shared icons from
// LoadIcon must never be destroyed.
struct IconTraits {
    using Handle = HICON;
    static Handle empty() noexcept { return nullptr; }
    static void close(Handle handle) noexcept { DestroyIcon(handle); }
};

// Files from CreateFile, whose failure value is INVALID_HANDLE_VALUE rather than null.
struct FileTraits {
    using Handle = HANDLE;
    static Handle empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Handle handle) noexcept { CloseHandle(handle); }
};

using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueFile = UniqueHandle<FileTraits>;

} // namespace kpv
