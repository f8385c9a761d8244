#include "crypto/aes_cipher.h"

#include "core/secure_memory.h"
#include "crypto/aes_bitsliced.h"
#include "crypto/aes_hardware.h"

#include <cstring>
#include <utility>

namespace kpv {
namespace {

const BitslicedAes& bitsliced(crypto::AesPath path) {
#if defined(__x86_64__)
    if (path == crypto::AesPath::BitslicedSsse3)
        return BITSLICED_AES_SSSE3;
#endif
    (void)path;
    return BITSLICED_AES_PORTABLE;
}

} // namespace

AesCipher::AesCipher(const SecureBuffer& key) : AesCipher(key.data(), key.length()) {}

AesCipher::AesCipher(const std::uint8_t* key, std::uint32_t length) : path_(crypto::aesPath()) {
    if (length != 16 && length != 24 && length != 32)
        return;
    rounds_ = length / 4 + 6;
    keyLength_ = length;
    const std::uint32_t roundKeys = rounds_ + 1;
    if (path_ == crypto::AesPath::Hardware) {
        roundKeys_.allocate(2 * AES_BLOCK_SIZE * roundKeys);
        aesHardwareExpandKey(key, length, rounds_, roundKeys_.data(),
                             roundKeys_.data() + AES_BLOCK_SIZE * roundKeys);
    } else {
        roundKeys_.allocate(AES_BITSLICED_ROUND_KEY_BYTES * roundKeys);
        bitsliced(path_).expandKey(key, length, rounds_, roundKeys_.data());
    }
    valid_ = 1;
}

AesCipher::~AesCipher() {
    // The round keys wipe themselves; the chaining value may still hold a ciphertext block.
    secureWipe(chain_, sizeof chain_);
    rounds_ = 0;
    keyLength_ = 0;
    valid_ = 0;
    path_ = crypto::AesPath{}; // nothing of the object stays behind
}

void AesCipher::encryptBlock(std::uint8_t* block) const noexcept {
    if (valid_ == 0)
        return;
    if (path_ == crypto::AesPath::Hardware)
        aesHardwareEncryptBlock(roundKeys_.data(), rounds_, block);
    else
        bitsliced(path_).encryptBlocks(roundKeys_.data(), rounds_, block, 1);
}

void AesCipher::encryptBlocks(std::uint8_t* blocks, std::uint32_t count) const noexcept {
    if (valid_ == 0)
        return;
    if (path_ == crypto::AesPath::Hardware)
        aesHardwareEncryptBlocks(roundKeys_.data(), rounds_, blocks, count);
    else
        bitsliced(path_).encryptBlocks(roundKeys_.data(), rounds_, blocks, count);
}

void AesCipher::decryptBlock(std::uint8_t* block) const noexcept {
    if (valid_ == 0)
        return;
    if (path_ == crypto::AesPath::Hardware)
        aesHardwareDecryptBlock(roundKeys_.data() + AES_BLOCK_SIZE * (rounds_ + 1), rounds_, block);
    else
        bitsliced(path_).decryptBlocks(roundKeys_.data(), rounds_, block, 1);
}

void AesCipher::setIv(const std::uint8_t* iv) noexcept {
    std::memcpy(chain_, iv, sizeof chain_);
}

void AesCipher::decryptCbcBlocks(std::uint8_t* p, std::uint32_t count) noexcept {
    if (path_ == crypto::AesPath::Hardware)
        aesHardwareDecryptCbc(roundKeys_.data() + AES_BLOCK_SIZE * (rounds_ + 1), rounds_, chain_,
                              p, count);
    else
        bitsliced(path_).decryptCbc(roundKeys_.data(), rounds_, chain_, p, count);
}

bool AesCipher::decryptCbc(SecureBuffer& buffer) {
    const std::uint32_t length = buffer.length();
    if (valid_ == 0 || length == 0 || length % AES_BLOCK_SIZE != 0)
        return false;
    if (progress != nullptr)
        return decryptCbcWithProgress(buffer);
    // In place, without a working copy; the rare bad padding byte is undone by encrypting the
    // plaintext again under the kept vector, which gives back the ciphertext exactly.
    std::uint8_t iv[AES_BLOCK_SIZE];
    std::memcpy(iv, chain_, sizeof iv);
    std::uint8_t* p = buffer.data();
    decryptCbcBlocks(p, length / AES_BLOCK_SIZE);
    secureWipe(chain_, sizeof chain_);
    const std::uint32_t padding = p[length - 1];
    const bool accepted = padding <= AES_BLOCK_SIZE;
    if (accepted)
        buffer.dropBack(padding);
    else
        encryptCbc(iv, p, length);
    secureWipe(iv, sizeof iv);
    return accepted;
}

void AesCipher::encryptCbc(const std::uint8_t* iv, std::uint8_t* p,
                           std::uint32_t length) const noexcept {
    const std::uint8_t* previous = iv;
    for (std::uint32_t offset = 0; offset < length; offset += AES_BLOCK_SIZE) {
        for (std::uint32_t i = 0; i < AES_BLOCK_SIZE; ++i)
            p[offset + i] ^= previous[i];
        encryptBlock(p + offset);
        previous = p + offset;
    }
}

bool AesCipher::decryptCbcWithProgress(SecureBuffer& buffer) {
    const std::uint32_t length = buffer.length();
    SecureBuffer work = buffer;
    std::uint8_t* p = work.data();
    bool cancelled = false;
    // Progress is served after every block, so the blocks go one at a time.
    for (std::uint32_t offset = 0; offset < length; offset += AES_BLOCK_SIZE) {
        decryptCbcBlocks(p + offset, 1);
        if (progress->cancel == 1) {
            cancelled = true;
            break;
        }
        progress->bytesDone += AES_BLOCK_SIZE;
    }
    secureWipe(chain_, sizeof chain_);
    if (cancelled)
        return false; // work is wiped on return
    const std::uint32_t padding = p[length - 1];
    if (padding > AES_BLOCK_SIZE)
        return false;
    work.dropBack(padding);
    buffer = std::move(work);
    return true;
}

} // namespace kpv
