#include "core/data_file.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kpv {

bool commitReplacement(const char* temporary, const char* target) {
    const int fd = ::open(temporary, O_RDONLY);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced && std::rename(temporary, target) == 0;
}

} // namespace kpv
