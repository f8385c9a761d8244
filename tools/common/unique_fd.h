#pragma once
// One owned POSIX file descriptor (file, socket or pipe end), closed exactly once.
#include <unistd.h>
#include <utility>

namespace kpv::tools {

class UniqueFd {
  public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { close(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    // False when close reported an error (for files: data may not have been written).
    bool close() noexcept {
        if (fd_ < 0)
            return true;
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0;
    }

  private:
    int fd_ = -1;
};

} // namespace kpv::tools
