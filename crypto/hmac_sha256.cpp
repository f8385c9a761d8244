#include "crypto/hmac_sha256.h"

#include "crypto/sha256.h"

namespace kpv {
namespace {

// One allocation of the block size, the key XORed into its start.
SecureBuffer makePad(const std::uint8_t* key, std::uint32_t length, std::uint8_t padByte) {
    SecureBuffer pad = SecureBuffer::zeros(SHA256_BLOCK_SIZE);
    std::uint8_t* p = pad.data();
    for (std::uint32_t i = 0; i < SHA256_BLOCK_SIZE; ++i)
        p[i] = static_cast<std::uint8_t>((i < length ? key[i] : 0) ^ padByte);
    return pad;
}

} // namespace

HmacSha256::HmacSha256(const SecureBuffer& key) : HmacSha256(key.data(), key.length()) {}

HmacSha256::HmacSha256(const std::uint8_t* key, std::uint32_t length) {
    if (length < HMAC_MIN_KEY || length > HMAC_MAX_KEY) {
        keyRejected_ = 1;
        return;
    }
    innerPad_ = makePad(key, length, 0x36);
    outerPad_ = makePad(key, length, 0x5C);
}

SecureBuffer HmacSha256::compute(const void* message, std::uint32_t n) {
    if (keyRejected_ != 0)
        return {};
    SecureBuffer innerDigest;
    {
        Sha256 inner;
        inner.update(innerPad_);
        inner.progress = progress;
        if (!inner.update(message, n))
            return {};
        innerDigest = inner.digest();
    }
    Sha256 outer;
    outer.update(outerPad_);
    outer.update(innerDigest);
    return outer.digest(); // innerDigest is wiped on return
}

SecureBuffer HmacSha256::compute(const SecureBuffer& message) {
    return compute(message.data(), message.length());
}

bool HmacSha256::verify(const SecureBuffer& message, const SecureBuffer& expectedTag) {
    const SecureBuffer tag = compute(message);
    if (tag.empty())
        return false;
    return tag.equals(expectedTag);
}

} // namespace kpv
