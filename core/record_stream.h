#pragma once
// RecordStream: little-endian integers and length-prefixed blobs over a SecureBuffer, with a
// read cursor that never fails loudly, and the data-file envelope (a u32 content length, then
// the content) in which every file of the client is saved and loaded.
//
// Reads past the end yield 0 or an empty blob and still advance the cursor; the caller checks
// the values or compares the cursor with the length once. The cursor saturates at 2^32 - 1
// instead of wrapping, so a huge declared blob length can never bring reads back to the front.
#include "core/file_handle.h"
#include "core/secure_buffer.h"

#include <cstdint>
#include <utility>

namespace kpv {

// Optional progress and cancel record served after each chunk of save and load.
struct TransferProgress {
    std::uint32_t bytesDone = 0;
    std::uint8_t cancel = 0; // 1 asks save or load to stop after the current chunk
};

inline constexpr std::uint32_t FILE_CHUNK_SIZE = 102400;
inline constexpr std::uint32_t MAX_FILE_CONTENT = 0x40000000;

class RecordStream {
  public:
    SecureBuffer contents;
    std::uint32_t cursor = 0;
    std::uint8_t writeFailed = 0; // set by save when a chunk was not written whole
    TransferProgress* progress = nullptr;

    RecordStream() = default;
    explicit RecordStream(SecureBuffer initial) : contents(std::move(initial)) {}

    std::uint32_t length() const noexcept { return contents.length(); }
    // True once every read yields 0 or empty.
    bool exhausted() const noexcept { return cursor >= contents.length(); }

    // Appends never move the cursor.
    void appendU16(std::uint32_t value); // the low 16 bits
    void appendU32(std::uint32_t value);
    void appendBlob(const SecureBuffer& blob);
    void appendBytes(const void* bytes, std::uint32_t n) { contents.append(bytes, n); }

    // Overwrites an integer already in the contents; false (nothing written) when it does not fit.
    bool writeU16At(std::uint32_t offset, std::uint32_t value);
    bool writeU32At(std::uint32_t offset, std::uint32_t value);

    // Reads never change the contents.
    std::uint16_t readU16();
    std::uint32_t readU32();
    // A blob cut short by the end comes back with the bytes present; one that would begin at
    // or past the end comes back empty with the cursor left before its count.
    SecureBuffer readBlob();

    // Writes the envelope to a file opened for writing and closes it on every path. False when
    // the length or a chunk was not written whole or the close failed (writeFailed becomes 1),
    // or progress asked to cancel. The bytes go from the contents straight to the file.
    bool save(FileHandle& file);
    // Replaces the contents from a file opened for reading and closes it on every path. False,
    // with contents and cursor unchanged, when the declared length is above MAX_FILE_CONTENT,
    // the file is shorter than declared, or progress asked to cancel. Memory grows with the
    // bytes actually read, never with a declared length alone, and the bytes are read straight
    // into wiping storage.
    bool load(FileHandle& file);

  private:
    void advance(std::uint32_t n) noexcept;
    bool serveProgress(std::uint32_t chunk);
};

} // namespace kpv
