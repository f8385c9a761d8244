#pragma once
// AES with the x86-64 AES instructions (AES-NI). Only call these when
// crypto::hardwareAesAvailable() is true. Round keys are 16 bytes per round key in the state's
// byte order: the encryption schedule, and the decryption schedule of the equivalent inverse
// cipher (reversed, InvMixColumns applied to all but its first and last round key).
#include <cstddef>
#include <cstdint>

namespace kpv {

// key: keyLength (16, 24 or 32) bytes; each schedule 16 * (rounds + 1) bytes.
void aesHardwareExpandKey(const std::uint8_t* key, std::uint32_t keyLength, std::uint32_t rounds,
                          std::uint8_t* encryptionKeys, std::uint8_t* decryptionKeys) noexcept;

void aesHardwareEncryptBlock(const std::uint8_t* encryptionKeys, std::uint32_t rounds,
                             std::uint8_t* block) noexcept;
// count blocks in place, four in flight.
void aesHardwareEncryptBlocks(const std::uint8_t* encryptionKeys, std::uint32_t rounds,
                              std::uint8_t* blocks, std::size_t count) noexcept;
void aesHardwareDecryptBlock(const std::uint8_t* decryptionKeys, std::uint32_t rounds,
                             std::uint8_t* block) noexcept;

// CBC decryption of count blocks in place, eight blocks in flight; chain (16 bytes) holds the
// vector on entry and the last ciphertext block on return.
void aesHardwareDecryptCbc(const std::uint8_t* decryptionKeys, std::uint32_t rounds,
                           std::uint8_t* chain, std::uint8_t* data, std::size_t count) noexcept;

} // namespace kpv
