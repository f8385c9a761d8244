#pragma once
// AES (FIPS 197) with 16-, 24- and 32-byte keys, and CBC decryption that removes the block
// padding. The round keys are prepared at construction and held in wiping storage; destruction
// wipes them and the chaining value.
//
// The path is chosen at construction (see crypto_paths.h) and kept for the object's life:
// - the AES instructions when the processor has them (constant time by construction: no
//   lookups, and the instructions' timing does not depend on their operands);
// - otherwise a bit-sliced cipher (aes_bitsliced.h), also constant time: no table lookup and
//   no branch depends on key or data. Its SSSE3 build is used where SSSE3 exists, a portable
//   build elsewhere.
// No path has a key- or data-dependent memory access pattern. Payloads are authenticated
// before they are decrypted all the same (see sealed_status.h).
#include "core/record_stream.h"
#include "core/secure_buffer.h"
#include "crypto/crypto_paths.h"

#include <cstdint>

namespace kpv {

inline constexpr std::uint32_t AES_BLOCK_SIZE = 16; // bytes

class AesCipher {
  public:
    // Optional progress record, served after every decrypted CBC block; null in the client.
    TransferProgress* progress = nullptr;

    // A key of 16, 24 or 32 bytes gives 10, 12 or 14 rounds. Any other length gives an object
    // that is not valid, holds no round keys, and whose every decryptCbc fails.
    explicit AesCipher(const SecureBuffer& key);
    // The same from length bytes at key (which may sit inside a larger secure buffer).
    AesCipher(const std::uint8_t* key, std::uint32_t length);
    ~AesCipher();
    AesCipher(const AesCipher&) = delete;
    AesCipher& operator=(const AesCipher&) = delete;

    bool valid() const noexcept { return valid_ != 0; }
    std::uint32_t rounds() const noexcept { return rounds_; }
    std::uint32_t keyLength() const noexcept { return keyLength_; } // bytes

    // Encrypts or decrypts one 16-byte block in place. Does nothing on an object that is not
    // valid.
    void encryptBlock(std::uint8_t* block) const noexcept;
    void decryptBlock(std::uint8_t* block) const noexcept;
    // Encrypts count consecutive 16-byte blocks in place, each on its own (ECB), several at
    // once. Does nothing on an object that is not valid.
    void encryptBlocks(std::uint8_t* blocks, std::uint32_t count) const noexcept;

    // Copies 16 bytes as the chaining value of the next decryptCbc. It is needed before every
    // decryptCbc: each one leaves the chaining value zero.
    void setIv(const std::uint8_t* iv) noexcept;

    // CBC decryption of a whole buffer, then removal of p bytes where p is the value of the
    // last plaintext byte: p = 0 removes nothing, p not below the length leaves the buffer
    // empty, and the other padding bytes are not examined (authenticity is the tag's job).
    // Fails (false, buffer unchanged) when the object is not valid, the buffer is empty or
    // not a multiple of 16 bytes, p is above 16, or progress asked to cancel.
    bool decryptCbc(SecureBuffer& buffer);

    // The path this object computes with.
    crypto::AesPath path() const noexcept { return path_; }

  private:
    // Decrypts count whole blocks of p in place, chaining through chain_.
    void decryptCbcBlocks(std::uint8_t* p, std::uint32_t count) noexcept;
    // CBC encryption of length bytes in place under iv: undoes a decryption.
    void encryptCbc(const std::uint8_t* iv, std::uint8_t* p, std::uint32_t length) const noexcept;
    // decryptCbc when progress is set: one block at a time, on a working copy.
    bool decryptCbcWithProgress(SecureBuffer& buffer);

    std::uint8_t valid_ = 0;
    crypto::AesPath path_ = crypto::AesPath::Hardware;
    std::uint8_t chain_[AES_BLOCK_SIZE] = {};
    // Hardware path: encryption then decryption schedule, 16 bytes per round key each.
    // Bit-sliced paths: 128 bytes per round key, one schedule for both directions.
    SecureBuffer roundKeys_;
    std::uint32_t rounds_ = 0;
    std::uint32_t keyLength_ = 0;
};

} // namespace kpv
