// Runs every AES and SHA-256 path this processor has on the same input and requires the same
// bytes from each. Input layout: byte 0 picks the key length (16, 24 or 32 by its value mod 3)
// and byte 1 the piece size for hashing (1..256); then the key, a 16-byte vector, and the
// rest, which is hashed and, cut to whole blocks, decrypted in CBC mode.
#include "crypto/aes_cipher.h"
#include "crypto/crypto_paths.h"
#include "crypto/sha256.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

using kpv::SecureBuffer;
using kpv::crypto::AesPath;
using kpv::crypto::ShaPath;

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

struct AesResult {
    SecureBuffer forward, inverse, cbc;
    bool opened = false;
};

AesResult aesOn(AesPath path, const SecureBuffer& key, const std::uint8_t* iv,
                const SecureBuffer& data) {
    require(kpv::crypto::forceAesPath(path));
    kpv::AesCipher cipher(key);
    require(cipher.valid() && cipher.path() == path);
    AesResult r;
    r.forward = SecureBuffer::ofBytes(iv, 16);
    r.inverse = r.forward;
    cipher.encryptBlock(r.forward.data());
    cipher.decryptBlock(r.inverse.data());
    r.cbc = data;
    cipher.setIv(iv);
    r.opened = cipher.decryptCbc(r.cbc);
    return r;
}

SecureBuffer digestOn(ShaPath path, const std::uint8_t* bytes, std::size_t n, std::size_t piece) {
    require(kpv::crypto::forceShaPath(path));
    kpv::Sha256 hash;
    for (std::size_t at = 0; at < n; at += piece)
        hash.update(bytes + at, static_cast<std::uint32_t>(n - at < piece ? n - at : piece));
    return hash.digest();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 1 << 16)
        return 0;
    const std::uint32_t keyLength = 16 + 8 * (data[0] % 3);
    const std::size_t piece = std::size_t{data[1]} + 1;
    if (size < 2 + keyLength + 16)
        return 0;
    const SecureBuffer key = SecureBuffer::ofBytes(data + 2, keyLength);
    const std::uint8_t* iv = data + 2 + keyLength;
    const std::uint8_t* rest = iv + 16;
    const std::size_t restSize = size - 2 - keyLength - 16;

    const SecureBuffer blocks =
        SecureBuffer::ofBytes(rest, static_cast<std::uint32_t>(restSize - restSize % 16));
    const AesResult expected = aesOn(AesPath::BitslicedPortable, key, iv, blocks);
    for (AesPath path : {AesPath::Hardware, AesPath::BitslicedSsse3}) {
        if (!kpv::crypto::forceAesPath(path))
            continue;
        const AesResult r = aesOn(path, key, iv, blocks);
        require(r.forward.equals(expected.forward) && r.inverse.equals(expected.inverse));
        require(r.opened == expected.opened && (!r.opened || r.cbc.equals(expected.cbc)));
    }

    const SecureBuffer portable = digestOn(ShaPath::Portable, rest, restSize, piece);
    if (kpv::crypto::hardwareShaAvailable())
        require(digestOn(ShaPath::Hardware, rest, restSize, piece).equals(portable));
    kpv::crypto::clearForcedPaths();
    return 0;
}
