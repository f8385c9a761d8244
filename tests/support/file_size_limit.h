#pragma once
// POSIX: while alive, no file of this process may grow past `bytes` (a write beyond fails as
// on a full disk instead of raising SIGXFSZ).
#include <doctest/doctest.h>

#include <csignal>
#include <sys/resource.h>

namespace kpv::test {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : previousHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
        REQUIRE(getrlimit(RLIMIT_FSIZE, &previous_) == 0);
        struct rlimit limited = previous_;
        limited.rlim_cur = bytes;
        REQUIRE(setrlimit(RLIMIT_FSIZE, &limited) == 0);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    struct rlimit previous_ {};
    void (*previousHandler_)(int);
};

} // namespace kpv::test
