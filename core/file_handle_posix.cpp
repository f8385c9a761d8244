#include "core/file_handle.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kpv {
namespace {

// The folder that holds `name`, for syncing its entries after a rename.
std::string folderOf(const char* name) {
    const std::string path(name);
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

bool NativeHandleTraits::close(Handle handle) noexcept {
    return ::close(handle) == 0;
}

FileHandle FileHandle::openForReading(const char* name) noexcept {
    FileHandle file;
    file.native_.reset(::open(name, O_RDONLY | O_CLOEXEC));
    return file;
}

FileHandle FileHandle::createNew(const char* name, CreateResult& result) noexcept {
    FileHandle file;
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        result = errno == EEXIST ? CreateResult::Exists : CreateResult::Failed;
        return file;
    }
    file.native_.reset(fd);
    file.flushOnClose_ = true;
    result = CreateResult::Created;
    return file;
}

std::uint32_t FileHandle::read(void* into, std::uint32_t n) noexcept {
    auto* at = static_cast<unsigned char*>(into);
    std::uint32_t done = 0;
    while (isOpen() && done < n) {
        const ssize_t got = ::read(native_.get(), at + done, n - done);
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
        const ssize_t put = ::write(native_.get(), at + done, n - done);
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
    const bool synced = !flushOnClose_ || ::fsync(native_.get()) == 0;
    const bool closed = native_.close();
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

bool wipeAndRemoveFile(const char* name) noexcept {
    const int fd = ::open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return false; // a link, a folder or a device of that name is none of ours
    }
    static const unsigned char ZEROS[4096] = {};
    for (off_t left = info.st_size; left > 0;) {
        const std::size_t n =
            left < off_t{sizeof ZEROS} ? static_cast<std::size_t>(left) : sizeof ZEROS;
        const ssize_t put = ::write(fd, ZEROS, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break; // removed all the same: an unwiped file is no better kept
        left -= put;
    }
    (void)::fsync(fd);
    ::close(fd);
    return ::unlink(name) == 0;
}

std::vector<std::string> filesInWorkingFolder() {
    std::vector<std::string> names;
    DIR* folder = ::opendir(".");
    if (folder == nullptr)
        return names;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_type != DT_DIR)
            names.emplace_back(entry->d_name);
    }
    ::closedir(folder);
    return names;
}

} // namespace kpv
