#pragma once
// A block of memory inside the process that owns a window, for messages whose parameter is a
// pointer the system does not carry across processes (list view and header messages).
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kpv::automation {

class RemoteBuffer {
  public:
    // Commits size bytes in the window owner's address space; nothing when the process cannot
    // be opened or the memory not allocated.
    static std::optional<RemoteBuffer> allocate(HWND window, std::size_t size);

    RemoteBuffer(RemoteBuffer&& other) noexcept;
    RemoteBuffer& operator=(RemoteBuffer&&) = delete;
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    ~RemoteBuffer();

    // The remote address of byte offset, as the owner process sees it.
    LPARAM at(std::size_t offset) const;

    // Copy bytes in and out; false when the range is outside the block or the copy failed.
    bool write(std::size_t offset, const void* data, std::size_t length);
    bool read(std::size_t offset, void* data, std::size_t length) const;

  private:
    RemoteBuffer(HANDLE process, void* base, std::size_t size);

    HANDLE process_;
    void* base_;
    std::size_t size_;
};

} // namespace kpv::automation
