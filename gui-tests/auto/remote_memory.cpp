#include "gui-tests/auto/remote_memory.h"

#include <utility>

namespace kpv::automation {

std::optional<RemoteBuffer> RemoteBuffer::allocate(HWND window, std::size_t size) {
    DWORD processId = 0;
    if (GetWindowThreadProcessId(window, &processId) == 0 || processId == 0)
        return std::nullopt;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                     PROCESS_QUERY_INFORMATION,
                                 FALSE, processId);
    if (process == nullptr)
        return std::nullopt;
    void* base = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (base == nullptr) {
        CloseHandle(process);
        return std::nullopt;
    }
    return RemoteBuffer(process, base, size);
}

RemoteBuffer::RemoteBuffer(HANDLE process, void* base, std::size_t size)
    : process_(process), base_(base), size_(size) {}

RemoteBuffer::RemoteBuffer(RemoteBuffer&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), base_(std::exchange(other.base_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

RemoteBuffer::~RemoteBuffer() {
    if (base_ != nullptr)
        VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    if (process_ != nullptr)
        CloseHandle(process_);
}

LPARAM RemoteBuffer::at(std::size_t offset) const {
    return static_cast<LPARAM>(reinterpret_cast<std::uintptr_t>(base_) + offset);
}

bool RemoteBuffer::write(std::size_t offset, const void* data, std::size_t length) {
    if (offset > size_ || length > size_ - offset)
        return false;
    SIZE_T done = 0;
    return WriteProcessMemory(process_, reinterpret_cast<void*>(at(offset)), data, length, &done) !=
               0 &&
           done == length;
}

bool RemoteBuffer::read(std::size_t offset, void* data, std::size_t length) const {
    if (offset > size_ || length > size_ - offset)
        return false;
    SIZE_T done = 0;
    return ReadProcessMemory(process_, reinterpret_cast<const void*>(at(offset)), data, length,
                             &done) != 0 &&
           done == length;
}

} // namespace kpv::automation
