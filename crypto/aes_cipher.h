#pragma once
// AES (FIPS 197) with 16-, 24- and 32-byte keys, and CBC decryption that removes the block
// padding. Both round-key schedules are prepared at construction and held in wiping storage;
// destruction wipes them and the chaining value.
//
// Security caveat: the cipher is table driven, so its memory access pattern, and with it its
// timing through the cache, depends on key and data. Payloads are authenticated before they
// are decrypted (see sealed_status.h), which keeps forged ciphertexts away from it.
#include "core/record_stream.h"
#include "core/secure_buffer.h"

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

    // Copies 16 bytes as the chaining value of the next decryptCbc. It is needed before every
    // decryptCbc: each one leaves the chaining value zero.
    void setIv(const std::uint8_t* iv) noexcept;

    // CBC decryption of a whole buffer, then removal of p bytes where p is the value of the
    // last plaintext byte: p = 0 removes nothing, p not below the length leaves the buffer
    // empty, and the other padding bytes are not examined (authenticity is the tag's job).
    // Fails (false, buffer unchanged) when the object is not valid, the buffer is empty or
    // not a multiple of 16 bytes, p is above 16, or progress asked to cancel.
    bool decryptCbc(SecureBuffer& buffer);

  private:
    std::uint32_t* encryptionKeys() noexcept;
    std::uint32_t* decryptionKeys() noexcept;
    const std::uint32_t* encryptionKeys() const noexcept;
    const std::uint32_t* decryptionKeys() const noexcept;

    std::uint8_t valid_ = 0;
    std::uint8_t chain_[AES_BLOCK_SIZE] = {};
    SecureBuffer encryptionKeys_; // 4 * (rounds + 1) words, FIPS 197 key expansion
    SecureBuffer decryptionKeys_; // the same for the equivalent inverse cipher
    std::uint32_t rounds_ = 0;
    std::uint32_t keyLength_ = 0;
};

} // namespace kpv
