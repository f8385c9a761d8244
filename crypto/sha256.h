#pragma once
// SHA-256 (FIPS 180-4) with this system's digest byte order: the eight state words are written
// least significant byte first. The server's tags depend on that order, so a digest from a
// standard library differs in the byte order within each 4-byte group.
//
// The compression runs on the processor's SHA instructions when it has them, otherwise in
// portable C++ (see crypto_paths.h); the path is looked up per compression call. Both are
// constant time: no memory index and no branch depends on the message or the state.
#include "core/record_stream.h"
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv {

inline constexpr std::uint32_t SHA256_BLOCK_SIZE = 64;  // bytes
inline constexpr std::uint32_t SHA256_DIGEST_SIZE = 32; // bytes

class Sha256 {
  public:
    // Optional progress record, served after every compressed 64-byte block; null in the client.
    TransferProgress* progress = nullptr;

    Sha256() noexcept { reset(); }
    // Counts, state and partial block are wiped; the wipe survives optimisation.
    ~Sha256() { clear(); }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Starts a new message; the progress pointer is dropped.
    void reset() noexcept;
    // Sets counts, state words and block to zero. The context must be reset before reuse.
    void clear() noexcept;

    // Hashes n more bytes. After digest() the context first starts a new message (keeping its
    // progress pointer). False only when progress asked to cancel; the context is then in no
    // useful state and must be reset.
    bool update(const void* bytes, std::uint32_t n);
    bool update(const SecureBuffer& bytes) { return update(bytes.data(), bytes.length()); }

    // The 32-byte digest, words H0..H7 each least significant byte first. Finishes the message
    // on the first call; calling again without an update gives the same bytes.
    SecureBuffer digest();

    // Number of message bytes hashed so far.
    std::uint64_t byteCount() const noexcept {
        return std::uint64_t{byteCountHigh_} << 32 | byteCountLow_;
    }

  private:
    void restart() noexcept;
    bool blockDone();
    void finish() noexcept;

    std::uint32_t byteCountLow_ = 0;
    std::uint32_t byteCountHigh_ = 0;
    std::uint32_t state_[8] = {};
    std::uint8_t block_[SHA256_BLOCK_SIZE] = {}; // bytes not yet written are zero
    std::uint8_t finished_ = 0;
};

} // namespace kpv
