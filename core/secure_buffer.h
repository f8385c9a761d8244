#pragma once
// SecureBuffer: the one container for bytes. An owned, length-counted byte array with value
// semantics whose bytes are set to zero before its storage is given back, including the old
// block whenever growing moves the contents.
//
// Lengths and indices are unsigned 32-bit byte counts. Storage may hold spare capacity so that
// appending is amortised constant time; spare bytes are always zero and are wiped with the rest.
//
// Failures (heap exhausted, a length sum that would wrap, an index out of range) go to the
// installed BufferErrorHook; with no hook, which is how the client runs, they throw the
// integer 0, which nothing catches.
#include <cstdint>

namespace kpv {

// Process-wide policy for buffer failures. All arguments are unsigned 32-bit values.
class BufferErrorHook {
  public:
    virtual void indexOutOfRange(std::uint32_t length, std::uint32_t index) = 0;
    virtual void sizeOverflow(std::uint32_t currentLength, std::uint32_t addedLength,
                              std::uint32_t operationCode) = 0;
    virtual void allocationFailed(std::uint32_t size, std::uint32_t code) = 0;
    virtual void allocationRetry(std::uint32_t size, std::uint32_t attempt) = 0;

  protected:
    ~BufferErrorHook() = default;
};

// Codes passed to the hook.
inline constexpr std::uint32_t OVERFLOW_CONCAT = 2;
inline constexpr std::uint32_t OVERFLOW_EXTEND_ZEROS = 5;
inline constexpr std::uint32_t OVERFLOW_APPEND = 6;
inline constexpr std::uint32_t ALLOC_FAILED_RESIZE = 1;
inline constexpr std::uint32_t ALLOC_FAILED_ALLOCATE = 2;

// Null at start; the client never installs one. Not thread-safe: one thread uses buffers.
void setBufferErrorHook(BufferErrorHook* hook) noexcept;
BufferErrorHook* bufferErrorHook() noexcept;

class SecureBuffer {
  public:
    SecureBuffer() noexcept = default;
    // n bytes, all zero.
    static SecureBuffer zeros(std::uint32_t n);
    // A copy of n raw bytes (empty when n is 0).
    static SecureBuffer ofBytes(const void* bytes, std::uint32_t n);
    // The text up to and including its zero byte; a null pointer gives an empty buffer.
    static SecureBuffer fromCString(const char* text);
    // a's bytes then b's; empty (after the hook) when the length would wrap.
    static SecureBuffer concat(const SecureBuffer& a, const SecureBuffer& b);

    SecureBuffer(const SecureBuffer& other);
    SecureBuffer& operator=(const SecureBuffer& other);
    SecureBuffer(SecureBuffer&& other) noexcept;
    SecureBuffer& operator=(SecureBuffer&& other) noexcept;
    ~SecureBuffer() { release(); }

    std::uint32_t length() const noexcept { return length_; }
    bool empty() const noexcept { return length_ == 0; }
    std::uint8_t* data() noexcept { return bytes_; }
    const std::uint8_t* data() const noexcept { return bytes_; }
    // The bytes as a C text; only meaningful when the buffer ends in a zero byte.
    const char* text() const noexcept { return reinterpret_cast<const char*>(bytes_); }

    // Wipes the bytes and gives the storage back; the buffer is then empty.
    void release() noexcept;
    // Wipes whatever is held, then holds n bytes of zero (retrying a refused heap 5 times).
    void allocate(std::uint32_t n);
    // Keeps the first min(n, length) bytes; bytes cut off are zeroed, bytes added are zero.
    void resize(std::uint32_t n);
    void assign(const SecureBuffer& other);
    void assignBytes(const void* bytes, std::uint32_t n);
    SecureBuffer copy() const { return *this; }

    // Equal lengths and bytes; the time depends only on the length, never on where they differ.
    bool equals(const SecureBuffer& other) const noexcept;

    // Removes the first n bytes. False (and nothing changes) when n exceeds the length, or is 0
    // on a non-empty buffer.
    bool eraseFront(std::uint32_t n);
    // Removes the last n bytes; n not below the length empties the buffer.
    void dropBack(std::uint32_t n);
    // At most n bytes from start, clipped to what is present; empty when start is not below
    // the length or n is 0.
    SecureBuffer slice(std::uint32_t start, std::uint32_t n) const;

    void appendZeros(std::uint32_t n);
    void append(const void* bytes, std::uint32_t n);
    void append(const SecureBuffer& other) { append(other.bytes_, other.length_); }

    // Bounds-tested access; an index not below the length goes to the hook (or throws 0).
    std::uint8_t& at(std::uint32_t i);
    std::uint8_t at(std::uint32_t i) const;

    // Exactly one byte of value 0: the empty text.
    void setEmptyText();
    // In place: a zero-terminated text in which bytes below 0x20 and 0x7F before the final
    // zero byte become spaces. Bytes from 0x80 up (code-page letters) are kept. Should the
    // zero byte not fit (a growth the hook absorbed), it takes the place of the last byte.
    //
    // Growing calls (resize, appendZeros, append) leave the buffer unchanged when the hook
    // absorbs a failure: callers that write into the grown part test the length first.
    void makePrintable();
    SecureBuffer printableCopy() const;

  private:
    // Makes room for at least n bytes in total; false when the hook absorbed a failure.
    bool reserve(std::uint32_t n, std::uint32_t failureCode);
    // Length after adding `added`, or false after reporting an overflow with `code`.
    bool grownLength(std::uint32_t added, std::uint32_t code, std::uint32_t& total) const;

    std::uint8_t* bytes_ = nullptr;
    std::uint32_t length_ = 0;
    std::uint32_t capacity_ = 0;
};

} // namespace kpv
