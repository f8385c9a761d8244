#include "core/secure_buffer.h"

#include "core/secure_memory.h"

#include <cstring>
#include <limits>

namespace kpv {
namespace {

BufferErrorHook* installedHook = nullptr;

constexpr std::uint32_t MAX_LENGTH = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t MIN_CAPACITY = 16;
constexpr unsigned ALLOCATION_RETRIES = 5;

// With no hook the process ends here: the exception is never caught.
[[noreturn]] void fail() {
    throw 0;
}

void reportOverflow(std::uint32_t length, std::uint32_t added, std::uint32_t code) {
    if (installedHook == nullptr)
        fail();
    installedHook->sizeOverflow(length, added, code);
}

// A zeroed block of n bytes from a fresh allocation, with the retries of the error policy.
std::uint8_t* obtainFreshBlock(std::uint32_t n) {
    void* block = secureMalloc(n);
    for (unsigned attempt = 0; block == nullptr && attempt < ALLOCATION_RETRIES; ++attempt) {
        if (installedHook != nullptr)
            installedHook->allocationRetry(n, attempt);
        block = secureMalloc(n);
    }
    if (block == nullptr) {
        if (installedHook != nullptr)
            installedHook->allocationFailed(n, ALLOC_FAILED_ALLOCATE);
        fail(); // nothing sensible is left to return
    }
    std::memset(block, 0, n);
    return static_cast<std::uint8_t*>(block);
}

} // namespace

void setBufferErrorHook(BufferErrorHook* hook) noexcept {
    installedHook = hook;
}
BufferErrorHook* bufferErrorHook() noexcept {
    return installedHook;
}

SecureBuffer SecureBuffer::zeros(std::uint32_t n) {
    SecureBuffer result;
    result.allocate(n);
    return result;
}

SecureBuffer SecureBuffer::ofBytes(const void* bytes, std::uint32_t n) {
    SecureBuffer result;
    result.assignBytes(bytes, n);
    return result;
}

SecureBuffer SecureBuffer::fromCString(const char* text) {
    SecureBuffer result;
    if (text == nullptr)
        return result;
    const std::size_t size = std::strlen(text) + 1;
    if (size > MAX_LENGTH) {
        reportOverflow(0, MAX_LENGTH, OVERFLOW_APPEND);
        return result;
    }
    result.assignBytes(text, static_cast<std::uint32_t>(size));
    return result;
}

SecureBuffer SecureBuffer::concat(const SecureBuffer& a, const SecureBuffer& b) {
    SecureBuffer result;
    if (b.length_ > MAX_LENGTH - a.length_) {
        reportOverflow(a.length_, b.length_, OVERFLOW_CONCAT);
        return result;
    }
    result.allocate(a.length_ + b.length_);
    if (a.length_ != 0)
        std::memcpy(result.bytes_, a.bytes_, a.length_);
    if (b.length_ != 0)
        std::memcpy(result.bytes_ + a.length_, b.bytes_, b.length_);
    return result;
}

SecureBuffer::SecureBuffer(const SecureBuffer& other) {
    assign(other);
}

SecureBuffer& SecureBuffer::operator=(const SecureBuffer& other) {
    if (this != &other)
        assign(other);
    return *this;
}

SecureBuffer::SecureBuffer(SecureBuffer&& other) noexcept
    : bytes_(other.bytes_), length_(other.length_), capacity_(other.capacity_) {
    other.bytes_ = nullptr;
    other.length_ = 0;
    other.capacity_ = 0;
}

SecureBuffer& SecureBuffer::operator=(SecureBuffer&& other) noexcept {
    if (this != &other) {
        release();
        bytes_ = other.bytes_;
        length_ = other.length_;
        capacity_ = other.capacity_;
        other.bytes_ = nullptr;
        other.length_ = 0;
        other.capacity_ = 0;
    }
    return *this;
}

void SecureBuffer::release() noexcept {
    secureFree(bytes_, capacity_);
    bytes_ = nullptr;
    length_ = 0;
    capacity_ = 0;
}

void SecureBuffer::allocate(std::uint32_t n) {
    release();
    if (n == 0)
        return;
    bytes_ = obtainFreshBlock(n);
    length_ = n;
    capacity_ = n;
}

bool SecureBuffer::reserve(std::uint32_t n, std::uint32_t failureCode) {
    if (n <= capacity_)
        return true;
    // Doubling keeps a long run of appends linear; the exact size is the fallback when the
    // doubled block is refused.
    std::uint32_t wanted = capacity_ > MAX_LENGTH / 2 ? MAX_LENGTH : capacity_ * 2;
    if (wanted < n)
        wanted = n;
    if (wanted < MIN_CAPACITY)
        wanted = MIN_CAPACITY;
    void* block = secureMalloc(wanted);
    if (block == nullptr && wanted != n) {
        wanted = n;
        block = secureMalloc(wanted);
    }
    if (block == nullptr) {
        if (installedHook == nullptr)
            fail();
        installedHook->allocationFailed(wanted, failureCode);
        return false;
    }
    auto* grown = static_cast<std::uint8_t*>(block);
    if (length_ != 0)
        std::memcpy(grown, bytes_, length_);
    std::memset(grown + length_, 0, wanted - length_);
    secureFree(bytes_, capacity_); // the old copy is wiped before the heap sees it again
    bytes_ = grown;
    capacity_ = wanted;
    return true;
}

bool SecureBuffer::grownLength(std::uint32_t added, std::uint32_t code,
                               std::uint32_t& total) const {
    if (added > MAX_LENGTH - length_) {
        reportOverflow(length_, added, code);
        return false;
    }
    total = length_ + added;
    return true;
}

void SecureBuffer::resize(std::uint32_t n) {
    if (n == 0) {
        release();
        return;
    }
    if (n > length_) {
        if (reserve(n, ALLOC_FAILED_RESIZE))
            length_ = n; // spare capacity is kept zero, so the new bytes read as 0
        return;
    }
    secureWipe(bytes_ + n, length_ - n);
    length_ = n;
    // Give memory back once most of a large block is unused.
    if (capacity_ > 4096 && length_ < capacity_ / 4) {
        void* block = secureMalloc(length_);
        if (block == nullptr)
            return; // keeping the larger block is harmless
        std::memcpy(block, bytes_, length_);
        secureFree(bytes_, capacity_);
        bytes_ = static_cast<std::uint8_t*>(block);
        capacity_ = length_;
    }
}

void SecureBuffer::assign(const SecureBuffer& other) {
    if (this == &other)
        return;
    assignBytes(other.bytes_, other.length_);
}

void SecureBuffer::assignBytes(const void* bytes, std::uint32_t n) {
    release();
    if (n == 0)
        return;
    allocate(n);
    std::memcpy(bytes_, bytes, n);
}

bool SecureBuffer::equals(const SecureBuffer& other) const noexcept {
    if (length_ != other.length_)
        return false;
    std::uint8_t difference = 0;
    for (std::uint32_t i = 0; i < length_; ++i)
        difference = static_cast<std::uint8_t>(difference | (bytes_[i] ^ other.bytes_[i]));
    return difference == 0;
}

bool SecureBuffer::eraseFront(std::uint32_t n) {
    if (n == length_) {
        release();
        return true;
    }
    if (n > length_ || n == 0)
        return false;
    std::memmove(bytes_, bytes_ + n, length_ - n);
    resize(length_ - n); // zeroes the vacated tail
    return true;
}

void SecureBuffer::dropBack(std::uint32_t n) {
    if (n >= length_) {
        release();
        return;
    }
    resize(length_ - n);
}

SecureBuffer SecureBuffer::slice(std::uint32_t start, std::uint32_t n) const {
    if (start >= length_ || n == 0)
        return {};
    const std::uint32_t available = length_ - start;
    return ofBytes(bytes_ + start, n < available ? n : available);
}

void SecureBuffer::appendZeros(std::uint32_t n) {
    std::uint32_t total = 0;
    if (n == 0 || !grownLength(n, OVERFLOW_EXTEND_ZEROS, total))
        return;
    resize(total);
}

void SecureBuffer::append(const void* bytes, std::uint32_t n) {
    std::uint32_t total = 0;
    if (n == 0 || !grownLength(n, OVERFLOW_APPEND, total))
        return;
    // The source may lie inside this buffer, whose block can move while it grows.
    const auto* source = static_cast<const std::uint8_t*>(bytes);
    const bool inside = bytes_ != nullptr && source >= bytes_ && source < bytes_ + length_;
    const std::size_t offset = inside ? static_cast<std::size_t>(source - bytes_) : 0;
    const std::uint32_t oldLength = length_;
    if (!reserve(total, ALLOC_FAILED_RESIZE))
        return;
    std::memcpy(bytes_ + oldLength, inside ? bytes_ + offset : source, n);
    length_ = total;
}

std::uint8_t& SecureBuffer::at(std::uint32_t i) {
    if (i >= length_) {
        if (installedHook != nullptr)
            installedHook->indexOutOfRange(length_, i);
        fail(); // there is no byte to hand out
    }
    return bytes_[i];
}

std::uint8_t SecureBuffer::at(std::uint32_t i) const {
    return const_cast<SecureBuffer*>(this)->at(i);
}

void SecureBuffer::setEmptyText() {
    allocate(1);
}

void SecureBuffer::makePrintable() {
    if (length_ == 0) {
        setEmptyText();
        return;
    }
    if (bytes_[length_ - 1] != 0) {
        std::uint32_t total = 0;
        if (grownLength(1, OVERFLOW_EXTEND_ZEROS, total))
            resize(total);
        // When the hook absorbed the growth, the last byte gives way to the zero byte, so the
        // result is still a text and nothing is written past the block.
        if (bytes_[length_ - 1] != 0)
            bytes_[length_ - 1] = 0;
    }
    for (std::uint32_t i = 0; i + 1 < length_; ++i)
        if (bytes_[i] < 0x20 || bytes_[i] == 0x7F)
            bytes_[i] = ' ';
}

SecureBuffer SecureBuffer::printableCopy() const {
    SecureBuffer result(*this);
    result.makePrintable();
    return result;
}

} // namespace kpv
