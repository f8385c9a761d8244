#pragma once
// One move-only owner for every kind of platform handle, so that a handle is released exactly
// once. Traits name the handle type, the value an empty owner holds, which values are real
// handles, and the call that releases one (true when it succeeded).
#include <utility>

namespace kpv {

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
    ~UniqueHandle() { (void)close(); }

    Handle get() const noexcept { return handle_; }
    bool valid() const noexcept { return Traits::isValid(handle_); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without releasing.
    Handle release() noexcept { return std::exchange(handle_, Traits::empty()); }
    // Releases what is held, then holds `handle`.
    void reset(Handle handle = Traits::empty()) noexcept {
        (void)close();
        handle_ = handle;
    }
    // Releases what is held now; false when the release reported an error (for a file: written
    // bytes may be lost). True for an empty owner.
    bool close() noexcept {
        const Handle old = release();
        return !Traits::isValid(old) || Traits::close(old);
    }

  private:
    Handle handle_ = Traits::empty();
};

} // namespace kpv
