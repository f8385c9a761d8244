#pragma once
// The same operations as the crypto subsystem, built from OpenSSL's EVP interface and the
// word-order rule, as an independent reference for tests and benchmarks (native only). Digest,
// tag, key bundle and sealing are the reference server's own sealer (tools/common/sealer.h).
#include <cstdint>
#include <memory>
#include <vector>

namespace kpv::reference {

using Bytes = std::vector<std::uint8_t>;

// SHA-256 with each 4-byte word of the digest reversed (this system's digest order).
Bytes digest(const std::uint8_t* data, std::size_t n);
// The published digest, most significant byte first.
Bytes standardDigest(const std::uint8_t* data, std::size_t n);

// HMAC with the system-order digest; key at most 64 bytes.
Bytes tag(const Bytes& key, const std::uint8_t* message, std::size_t n);

// One block with AES-128/192/256 by key length (16, 24 or 32 bytes).
Bytes encryptBlock(const Bytes& key, const Bytes& block);
Bytes decryptBlock(const Bytes& key, const Bytes& block);

// CBC with AES by key length, no padding added or removed; data a multiple of 16 bytes.
Bytes cbcEncrypt(const Bytes& key, const Bytes& iv, const Bytes& data);
Bytes cbcDecrypt(const Bytes& key, const Bytes& iv, const Bytes& data);

// 64 bytes of key material for a secret of 16, 24 or 32 bytes.
Bytes keyBundle(const Bytes& secret);

struct Sealed {
    Bytes payload;
    Bytes tag;
};
// PKCS#7-padded AES-256-CBC under key 0, then the tag under key 1.
Sealed seal(const Bytes& plaintext, const Bytes& secret, const Bytes& iv);

// Reusable OpenSSL contexts for opening many payloads, as a benchmark would.
class Opener {
  public:
    Opener();
    ~Opener();
    Opener(const Opener&) = delete;
    Opener& operator=(const Opener&) = delete;
    // Same contract as openSealedStatus: plaintext on success, false on any failure.
    bool open(const Bytes& payload, const Bytes& secret, const Bytes& tag, Bytes& plaintext);
    // CBC decryption with AES-256 and no padding handling, into out (same length as in).
    bool cbcDecrypt(const std::uint8_t* key, const std::uint8_t* iv, const std::uint8_t* in,
                    std::size_t n, std::uint8_t* out);
    // System-order SHA-256 of n bytes into out[32].
    void digest(const std::uint8_t* data, std::size_t n, std::uint8_t* out);

  private:
    struct Contexts;
    std::unique_ptr<Contexts> contexts_;
};

} // namespace kpv::reference
