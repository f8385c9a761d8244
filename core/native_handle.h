#pragma once
// The operating system's own handle to a kernel object: a descriptor on POSIX (file, socket or
// pipe end), a HANDLE on Windows (file, process, thread, token). UniqueNativeHandle is the one
// owner of either; FileHandle (core/file_handle.h) builds on it.
#include "core/unique_handle.h"

#include <cstdint>

namespace kpv {

struct NativeHandleTraits {
#if defined(_WIN32)
    using Handle = void*; // HANDLE, without windows.h
    // INVALID_HANDLE_VALUE, which CreateFile returns on failure; calls such as OpenProcess
    // return null instead, so neither is a handle.
    static Handle empty() noexcept {
        return reinterpret_cast<Handle>(std::intptr_t{-1});
    }
    static bool isValid(Handle handle) noexcept {
        return handle != nullptr && handle != empty();
    }
#else
    using Handle = int;
    static Handle empty() noexcept {
        return -1;
    }
    static bool isValid(Handle handle) noexcept {
        return handle >= 0;
    }
#endif
    static bool close(Handle handle) noexcept; // core/file_handle_<platform>.cpp
};

using NativeHandle = NativeHandleTraits::Handle;
using UniqueNativeHandle = UniqueHandle<NativeHandleTraits>;

} // namespace kpv
