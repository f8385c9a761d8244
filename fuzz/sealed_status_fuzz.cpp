// Opens arbitrary payloads under arbitrary secrets and tags. Input layout:
//   byte 0: bits 0-1 pick the secret length (16, 24, 32, or byte 1 mod 65); bit 2 asks for a
//   correct tag to be computed over the payload, so that decryption and the padding rule are
//   reached; then the secret, then (without bit 2) a tag length byte (mod 40) and the tag; the
//   rest is the payload.
// Checked: secret and tag never change; a failure leaves the payload as it was; a success only
// happens for a valid secret, a 32-byte tag and whole ciphertext blocks, and gives what a
// separate CBC decryption of the same ciphertext gives.
#include "crypto/aes_cipher.h"
#include "crypto/hmac_sha256.h"
#include "crypto/key_bundle.h"
#include "crypto/sealed_status.h"
#include "fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>

namespace {

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

// What the payload should open to when its tag is right: CBC decryption with key 0.
bool expectedOpening(const kpv::SecureBuffer& payload, const kpv::SecureBuffer& secret,
                     kpv::SecureBuffer& plaintext) {
    const kpv::KeyBundle bundle = kpv::deriveKeyBundle(secret);
    kpv::SecureBuffer key;
    if (!bundle.keyAt(0, key) || payload.length() < 16)
        return false;
    plaintext = payload.slice(16, payload.length() - 16);
    kpv::AesCipher cipher(key);
    cipher.setIv(payload.data());
    return cipher.decryptCbc(plaintext);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 16)
        return 0;
    FuzzReader in{data, size};
    const std::uint8_t mode = in.byte();
    const std::uint32_t lengths[] = {16, 24, 32, 0};
    std::uint32_t secretLength = lengths[mode & 3];
    if ((mode & 3) == 3)
        secretLength = in.byte() % 65u;
    const bool selfTag = (mode & 4) != 0;
    const kpv::SecureBuffer secret = in.take(secretLength);
    kpv::SecureBuffer tag;
    if (!selfTag)
        tag = in.take(in.byte() % 40u);
    kpv::SecureBuffer payload = in.rest();
    if (selfTag) {
        const kpv::KeyBundle bundle = kpv::deriveKeyBundle(secret);
        kpv::SecureBuffer macKey;
        if (bundle.keyAt(1, macKey)) {
            kpv::HmacSha256 mac(macKey);
            tag = mac.compute(payload);
        }
    }

    const kpv::SecureBuffer secretBefore = secret;
    const kpv::SecureBuffer tagBefore = tag;
    const kpv::SecureBuffer payloadBefore = payload;
    const bool opened = kpv::openSealedStatus(payload, secret, tag);
    require(secret.equals(secretBefore));
    require(tag.equals(tagBefore));
    if (!opened) {
        require(payload.equals(payloadBefore));
    } else {
        const std::uint32_t length = payloadBefore.length();
        require(secret.length() == 16 || secret.length() == 24 || secret.length() == 32);
        require(tag.length() == 32);
        require(length >= 32 && length % 16 == 0);
        require(payload.length() <= length - 16 && payload.length() + 32 >= length);
    }
    if (selfTag && secret.length() != 0) {
        kpv::SecureBuffer expected;
        const bool decrypts = expectedOpening(payloadBefore, secret, expected);
        require(opened == decrypts);
        require(!opened || payload.equals(expected));
    }
    return 0;
}
