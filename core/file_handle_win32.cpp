#include "core/file_handle.h"

#include <windows.h>

namespace kpv {
namespace {

HANDLE handleOf(std::intptr_t native) {
    return reinterpret_cast<HANDLE>(native);
}

} // namespace

FileHandle FileHandle::openForReading(const char* name) noexcept {
    FileHandle file;
    // Sharing as the C runtime's "rb" does, so that reading never locks another program out.
    const HANDLE handle = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        file.native_ = reinterpret_cast<std::intptr_t>(handle);
    return file;
}

FileHandle FileHandle::createNew(const char* name, CreateResult& result) noexcept {
    FileHandle file;
    const HANDLE handle =
        CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        result = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::Exists
                                                                             : CreateResult::Failed;
        return file;
    }
    file.native_ = reinterpret_cast<std::intptr_t>(handle);
    file.flushOnClose_ = true;
    result = CreateResult::Created;
    return file;
}

std::uint32_t FileHandle::read(void* into, std::uint32_t n) noexcept {
    auto* at = static_cast<unsigned char*>(into);
    std::uint32_t done = 0;
    while (isOpen() && done < n) {
        DWORD got = 0;
        if (!ReadFile(handleOf(native_), at + done, n - done, &got, nullptr) || got == 0)
            break;
        done += got;
    }
    return done;
}

bool FileHandle::write(const void* from, std::uint32_t n) noexcept {
    const auto* at = static_cast<const unsigned char*>(from);
    std::uint32_t done = 0;
    while (isOpen() && done < n) {
        DWORD put = 0;
        if (!WriteFile(handleOf(native_), at + done, n - done, &put, nullptr) || put == 0)
            return false;
        done += put;
    }
    return done == n;
}

bool FileHandle::close() noexcept {
    if (!isOpen())
        return true;
    const bool flushed = !flushOnClose_ || FlushFileBuffers(handleOf(native_)) != 0;
    const bool closed = CloseHandle(handleOf(native_)) != 0;
    native_ = CLOSED;
    return flushed && closed;
}

bool replaceFile(const char* source, const char* target) noexcept {
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const char* name) noexcept {
    return DeleteFileA(name) != 0;
}

} // namespace kpv
