#include "core/file_handle.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace kpv {
namespace {

int descriptor(std::intptr_t native) {
    return static_cast<int>(native);
}

// The folder that holds `name`, for syncing its entries after a rename.
std::string folderOf(const char* name) {
    const std::string path(name);
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

FileHandle FileHandle::openForReading(const char* name) noexcept {
    FileHandle file;
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        file.native_ = fd;
    return file;
}

FileHandle FileHandle::createNew(const char* name, CreateResult& result) noexcept {
    FileHandle file;
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        result = errno == EEXIST ? CreateResult::Exists : CreateResult::Failed;
        return file;
    }
    file.native_ = fd;
    file.flushOnClose_ = true;
    result = CreateResult::Created;
    return file;
}

std::uint32_t FileHandle::read(void* into, std::uint32_t n) noexcept {
    auto* at = static_cast<unsigned char*>(into);
    std::uint32_t done = 0;
    while (isOpen() && done < n) {
        const ssize_t got = ::read(descriptor(native_), at + done, n - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::uint32_t>(got);
    }
    return done;
}

bool FileHandle::write(const void* from, std::uint32_t n) noexcept {
    const auto* at = static_cast<const unsigned char*>(from);
    std::uint32_t done = 0;
    while (isOpen() && done < n) {
        const ssize_t put = ::write(descriptor(native_), at + done, n - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::uint32_t>(put);
    }
    return done == n;
}

bool FileHandle::close() noexcept {
    if (!isOpen())
        return true;
    const bool synced = !flushOnClose_ || ::fsync(descriptor(native_)) == 0;
    const bool closed = ::close(descriptor(native_)) == 0;
    native_ = CLOSED;
    return synced && closed;
}

bool replaceFile(const char* source, const char* target) noexcept {
    if (std::rename(source, target) != 0)
        return false;
    // The rename reaches the disk with its folder. Should that sync fail, the folder holds
    // either the old file or the new one, each whole, so the result stays true.
    const int folder = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool removeFile(const char* name) noexcept {
    return ::unlink(name) == 0;
}

} // namespace kpv
