#include "tools/common/secure_file.h"

#include "core/secure_memory.h"
#include "tools/common/unique_fd.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kpv::tools {

namespace {

bool readAll(int fd, SecureBuffer& out, std::uint32_t limit) {
    std::uint8_t chunk[4096];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        const auto n = static_cast<std::uint32_t>(got);
        if (out.length() > limit || n > limit - out.length()) {
            ok = false;
            break;
        }
        out.append(chunk, n);
    }
    secureWipe(chunk, sizeof chunk);
    if (!ok)
        out.release();
    return ok;
}

} // namespace

bool readWholeFile(const std::string& path, SecureBuffer& out, std::uint32_t limit) {
    out.release();
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return file.valid() && readAll(file.get(), out, limit);
}

bool readWholeInput(const std::string& path, SecureBuffer& out, std::uint32_t limit) {
    if (path != "-")
        return readWholeFile(path, out, limit);
    out.release();
    return readAll(STDIN_FILENO, out, limit);
}

bool writeFileAtomically(const std::string& path, const SecureBuffer& bytes) {
    const std::string temporary = path + ".tmp";
    UniqueFd file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (!file.valid())
        return false;
    std::uint32_t done = 0;
    bool ok = true;
    while (ok && done < bytes.length()) {
        const ssize_t put = ::write(file.get(), bytes.data() + done, bytes.length() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            ok = false;
        else
            done += static_cast<std::uint32_t>(put);
    }
    ok = ok && ::fsync(file.get()) == 0;
    ok = file.close() && ok;
    ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok)
        std::remove(temporary.c_str());
    return ok;
}

} // namespace kpv::tools
