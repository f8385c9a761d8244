#include "core/file_handle.h"

#include <windows.h>

#include <string>

namespace kpv {
namespace {

constexpr DWORD REPLACE_RETRY_MILLISECONDS = 50;
constexpr unsigned REPLACE_ATTEMPTS = 40; // about 2 s in all

// Errors of a target that someone holds open for now (a reader without FILE_SHARE_DELETE, a
// virus scanner, an indexer): worth a short wait.
bool isTransient(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// The full path of `name`, or empty: ReplaceFile wants whole paths (some implementations refuse
// a bare name in the current directory with ERROR_DIRECTORY).
std::string fullPathOf(const char* name) {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetFullPathNameA(name, sizeof buffer, buffer, nullptr);
    return length == 0 || length >= sizeof buffer ? std::string() : std::string(buffer, length);
}

// One attempt; the error when it failed (0 on success).
DWORD replaceOnce(const char* source, const char* target) {
    const DWORD writeThrough = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return MoveFileExA(source, target, writeThrough) ? 0 : GetLastError();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return ERROR_DIRECTORY; // a folder is never replaced by a file
    // Whether someone holds the target without sharing deletion is asked first: some
    // ReplaceFile implementations leave a copy behind for every attempt that meets such a
    // handle.
    const HANDLE probe =
        CreateFileA(target, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
        return ERROR_SHARING_VIOLATION;
    if (probe != INVALID_HANDLE_VALUE)
        CloseHandle(probe);
    const std::string fullTarget = fullPathOf(target);
    const std::string fullSource = fullPathOf(source);
    if (fullTarget.empty() || fullSource.empty())
        return ERROR_FILENAME_EXCED_RANGE;
    // ReplaceFile gives the new file the old one's security descriptor (and, on Windows, its
    // attributes, which are set again below for implementations that do not).
    if (ReplaceFileA(fullTarget.c_str(), fullSource.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        if (GetFileAttributesA(target) != attributes)
            (void)SetFileAttributesA(target, attributes);
        return 0;
    }
    const DWORD error = GetLastError();
    // The target is gone (removed meanwhile, or by ReplaceFile itself before the rename
    // failed): the temporary still has its name and can simply move into place.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT)
        return MoveFileExA(source, target, writeThrough) ? 0 : GetLastError();
    return error;
}

} // namespace

bool NativeHandleTraits::close(Handle handle) noexcept {
    return CloseHandle(handle) != 0;
}

FileHandle FileHandle::openForReading(const char* name) noexcept {
    FileHandle file;
    // Others may read, and replace or remove the file: a reader never makes a save fail.
    const HANDLE handle = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    file.native_.reset(handle);
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
    file.native_.reset(handle);
    file.flushOnClose_ = true;
    result = CreateResult::Created;
    return file;
}

std::uint32_t FileHandle::read(void* into, std::uint32_t n) noexcept {
    auto* at = static_cast<unsigned char*>(into);
    std::uint32_t done = 0;
    while (isOpen() && done < n) {
        DWORD got = 0;
        if (!ReadFile(native_.get(), at + done, n - done, &got, nullptr) || got == 0)
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
        if (!WriteFile(native_.get(), at + done, n - done, &put, nullptr) || put == 0)
            return false;
        done += put;
    }
    return done == n;
}

bool FileHandle::close() noexcept {
    if (!isOpen())
        return true;
    const bool flushed = !flushOnClose_ || FlushFileBuffers(native_.get()) != 0;
    const bool closed = native_.close();
    return flushed && closed;
}

bool replaceFile(const char* source, const char* target) noexcept {
    for (unsigned attempt = 1;; ++attempt) {
        const DWORD error = replaceOnce(source, target);
        if (error == 0)
            return true;
        if (!isTransient(error) || attempt == REPLACE_ATTEMPTS)
            return false;
        Sleep(REPLACE_RETRY_MILLISECONDS);
    }
}

bool removeFile(const char* name) noexcept {
    return DeleteFileA(name) != 0;
}

bool wipeAndRemoveFile(const char* name) noexcept {
    // The link itself is opened, never what it points to.
    const HANDLE handle = CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        CloseHandle(handle);
        return false;
    }
    static const unsigned char ZEROS[4096] = {};
    ULONGLONG left = (ULONGLONG{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    while (left > 0) {
        const DWORD n = left < sizeof ZEROS ? static_cast<DWORD>(left) : DWORD{sizeof ZEROS};
        DWORD put = 0;
        if (!WriteFile(handle, ZEROS, n, &put, nullptr) || put == 0)
            break; // removed all the same: an unwiped file is no better kept
        left -= put;
    }
    FlushFileBuffers(handle);
    CloseHandle(handle);
    return DeleteFileA(name) != 0;
}

std::vector<std::string> filesInWorkingFolder() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA("*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

} // namespace kpv
