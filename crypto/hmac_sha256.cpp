#include "crypto/hmac_sha256.h"

#include "crypto/sha256.h"

namespace kpv {
namespace {

SecureBuffer makePad(const SecureBuffer& key, std::uint8_t padByte) {
    SecureBuffer pad = key;
    if (pad.length() < SHA256_BLOCK_SIZE)
        pad.appendZeros(SHA256_BLOCK_SIZE - pad.length());
    if (pad.length() < SHA256_BLOCK_SIZE)
        return {}; // the growth failed and the hook absorbed it: no block to write into
    std::uint8_t* p = pad.data();
    for (std::uint32_t i = 0; i < SHA256_BLOCK_SIZE; ++i)
        p[i] = static_cast<std::uint8_t>(p[i] ^ padByte);
    return pad;
}

} // namespace

HmacSha256::HmacSha256(const SecureBuffer& key) {
    if (key.length() < HMAC_MIN_KEY || key.length() > HMAC_MAX_KEY) {
        keyRejected_ = 1;
        return;
    }
    innerPad_ = makePad(key, 0x36);
    outerPad_ = makePad(key, 0x5C);
    if (innerPad_.empty() || outerPad_.empty())
        keyRejected_ = 1; // no pads, so no tag: it is refused like a key of a bad length
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
