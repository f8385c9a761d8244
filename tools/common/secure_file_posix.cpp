#include "tools/common/secure_file.h"

#include "core/data_file.h"
#include "core/native_handle.h"
#include "core/secure_memory.h"

#include <cerrno>
#include <fcntl.h>
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
    UniqueNativeHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return file.valid() && readAll(file.get(), out, limit);
}

bool readWholeInput(const std::string& path, SecureBuffer& out, std::uint32_t limit) {
    if (path != "-")
        return readWholeFile(path, out, limit);
    out.release();
    return readAll(STDIN_FILENO, out, limit);
}

bool writeFileAtomically(const std::string& path, const SecureBuffer& bytes) {
    return saveWholeFile(path.c_str(), bytes.data(), bytes.length());
}

} // namespace kpv::tools
