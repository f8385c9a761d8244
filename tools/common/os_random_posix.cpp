#include "tools/common/os_random.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace kpv::tools {
namespace {

bool fromUrandom(std::uint8_t* p, std::size_t n) {
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::read(fd, p + done, n - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return done == n;
}

} // namespace

bool fillRandom(std::uint32_t n, SecureBuffer& out) {
    out.allocate(n);
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::getrandom(out.data() + done, n - done, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == ENOSYS) {
            if (fromUrandom(out.data() + done, n - done))
                return true;
            break;
        }
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    if (done == n)
        return true;
    out.release();
    return false;
}

} // namespace kpv::tools
