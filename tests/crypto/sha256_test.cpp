#include "crypto/sha256.h"
#include "tests/support/hex.h"

#include <doctest/doctest.h>

#include <new>
#include <string>

using kpv::SecureBuffer;
using kpv::Sha256;
using kpv::test::fromHex;
using kpv::test::fromText;
using kpv::test::toHex;
using kpv::test::wordOrder;

namespace {

std::string digestOf(const SecureBuffer& message) {
    Sha256 hash;
    hash.update(message);
    return toHex(hash.digest());
}

struct Vector {
    const char* source;
    const char* messageHex;
    const char* standardDigest; // as published, most significant byte of each word first
};

// NIST CAVP SHA256ShortMsg.rsp and SHA256LongMsg.rsp (byte-oriented messages).
const Vector NIST_VECTORS[] = {
    {"ShortMsg Len=8", "d3", "28969cdfa74a12c82f3bad960b0b000aca2ac329deea5c2328ebc6f2ba9802c1"},
    {"ShortMsg Len=16", "11af", "5ca7133fa735326081558ac312c620eeca9970d1e70a4b95533d956f072d1f98"},
    {"ShortMsg Len=24", "b4190e",
     "dff2e73091f6c05e528896c4c831b9448653dc2ff043528f6769437bc7b975c2"},
    {"ShortMsg Len=32", "74ba2521",
     "b16aa56be3880d18cd41e68384cf1ec8c17680c45a02b1575dc1518923ae8b0e"},
    {"ShortMsg Len=40", "c299209682",
     "f0887fe961c9cd3beab957e8222494abb969b1ce4c6557976df8b0f6d20e9166"},
    {"ShortMsg Len=64", "5738c929c4f4ccb6",
     "963bb88f27f512777aab6c8b1a02c70ec0ad651d428f870036e1917120fb48bf"},
    {"ShortMsg Len=128", "0a27847cdc98bd6f62220b046edd762b",
     "80c25ec1600587e7f28b18b1b18e3cdc89928e39cab3bc25e4d4a4c139bcedc4"},
    {"ShortMsg Len=256", "09fc1accc230a205e4a208e64a8f204291f581a12756392da4b8c0cf5ef02b95",
     "4f44c1c7fbebb6f9601829f3897bfd650c56fa07844be76489076356ac1886a4"},
    {"ShortMsg Len=264", "0546f7b8682b5b95fd32385faf25854cb3f7b40cc8fa229fbd52b16934aab388a7",
     "b31ad3cd02b10db282b3576c059b746fb24ca6f09fef69402dc90ece7421cbb7"},
    // 55 bytes finish in one block, 56 need a second one for the length.
    {"ShortMsg Len=440",
     "3ebfb06db8c38d5ba037f1363e118550aad94606e26835a01af05078533cc25f2f39573c04b632f62f68c294ab3"
     "1f2a3e2a1a0d8c2be51",
     "6595a2ef537a69ba8583dfbf7f5bec0ab1f93ce4c8ee1916eff44a93af5749c4"},
    {"ShortMsg Len=448",
     "2d52447d1244d2ebc28650e7b05654bad35b3a68eedc7f8515306b496d75f3e73385dd1b002625024b81a02f2fd"
     "6dffb6e6d561cb7d0bd7a",
     "cfb88d6faf2de3a69d36195acec2e255e2af2b7d933997f348e09f6ce5758360"},
    {"ShortMsg Len=504",
     "e2f76e97606a872e317439f1a03fcd92e632e5bd4e7cbc4e97f1afc19a16fde92d77cbe546416b51640cddb92af"
     "996534dfd81edb17c4424cf1ac4d75aceeb",
     "18041bd4665083001fba8c5411d2d748e8abbfdcdfd9218cb02b68a78e7d4c23"},
    {"ShortMsg Len=512",
     "5a86b737eaea8ee976a0a24da63e7ed7eefad18a101c1211e2b3650c5187c2a8a650547208251f6d4237e661c7b"
     "f4c77f335390394c37fa1a9f9be836ac28509",
     "42e61e174fbb3897d6dd6cef3dd2802fe67b331953b06114a65c772859dfc1aa"},
    {"LongMsg Len=1304",
     "451101250ec6f26652249d59dc974b7361d571a8101cdfd36aba3b5854d3ae086b5fdd4597721b66e3c0dc5d8c6"
     "06d9657d0e323283a5217d1f53f2f284f57b85c8a61ac8924711f895c5ed90ef17745ed2d728abd22a5f7a13479"
     "a462d71b56c19a74a40b655c58edfe0a188ad2cf46cbf30524f65d423c837dd1ff2bf462ac4198007345bb44dbb"
     "7b1c861298cdf61982a833afc728fae1eda2f87aa2c9480858bec",
     "3c593aa539fdcdae516cdf2f15000f6634185c88f505b39775fb9ab137a10aa2"},
    {"LongMsg Len=2096",
     "6b918fb1a5ad1f9c5e5dbdf10a93a9c8f6bca89f37e79c9fe12a57227941b173ac79d8d440cde8c64c4ebc84a4c"
     "803d198a296f3de060900cc427f58ca6ec373084f95dd6c7c427ecfbf781f68be572a88dbcbb188581ab200bfb9"
     "9a3a816407e7dd6dd21003554d4f7a99c93ebfce5c302ff0e11f26f83fe669acefb0c1bbb8b1e909bd14aa48ba3"
     "445c88b0e1190eef765ad898ab8ca2fe507015f1578f10dce3c11a55fb9434ee6e9ad6cc0fdc4684447a9b3b156"
     "b908646360f24fec2d8fa69e2c93db78708fcd2eef743dcb9353819b8d667c48ed54cd436fb1476598c4a1d7028"
     "e6f2ff50751db36ab6bc32435152a00abd3d58d9a8770d9a3e52d5a3628ae3c9e0325",
     "46500b6ae1ab40bde097ef168b0f3199049b55545a1588792d39d594f493dca7"},
};

} // namespace

TEST_CASE("sha256: the system's own test values") {
    CHECK(digestOf(fromText("abc")) ==
          "bf1678baeacf018fde4041412322ae5da36103b09c7a179661ff10b4ad1500f2");
    CHECK(digestOf({}) == "42c4b0e3141cfc98c8f4fb9a24b96f99e441ae274c939b641b9995a455b85278");
    // The same values follow from the published digests by the word-order rule.
    CHECK(wordOrder("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad") ==
          "bf1678baeacf018fde4041412322ae5da36103b09c7a179661ff10b4ad1500f2");
}

TEST_CASE("sha256: published vectors in this system's digest order") {
    SUBCASE("NIST CAVP byte-oriented messages") {
        for (const Vector& v : NIST_VECTORS) {
            CAPTURE(v.source);
            CHECK(digestOf(fromHex(v.messageHex)) == wordOrder(v.standardDigest));
        }
    }
    SUBCASE("FIPS 180-4 examples: two blocks, and one million times 'a'") {
        CHECK(digestOf(fromText("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")) ==
              wordOrder("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"));
        Sha256 hash;
        const std::string thousand(1000, 'a');
        for (int i = 0; i < 1000; ++i)
            hash.update(thousand.data(), 1000);
        CHECK(toHex(hash.digest()) ==
              wordOrder("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"));
    }
}

TEST_CASE("sha256: digest and update life cycle") {
    SUBCASE("digest twice gives identical buffers") {
        Sha256 hash;
        hash.update(fromText("abc"));
        const SecureBuffer first = hash.digest();
        const SecureBuffer second = hash.digest();
        CHECK(first.equals(second));
    }
    SUBCASE("update after digest starts a new message") {
        Sha256 hash;
        hash.update(fromText("ab"));
        (void)hash.digest();
        hash.update(fromText("c"));
        CHECK(toHex(hash.digest()) == digestOf(fromText("c")));
    }
    SUBCASE("reset forgets what was hashed") {
        Sha256 hash;
        hash.update(fromText("something else"));
        hash.reset();
        hash.update(fromText("abc"));
        CHECK(toHex(hash.digest()) == digestOf(fromText("abc")));
    }
    SUBCASE("hashing in pieces equals hashing at once") {
        const SecureBuffer message = fromHex(NIST_VECTORS[14].messageHex);
        const std::string whole = digestOf(message);
        for (std::uint32_t piece = 1; piece <= 70; ++piece) {
            Sha256 hash;
            for (std::uint32_t at = 0; at < message.length(); at += piece) {
                const std::uint32_t left = message.length() - at;
                hash.update(message.data() + at, left < piece ? left : piece);
            }
            CAPTURE(piece);
            CHECK(toHex(hash.digest()) == whole);
        }
        CHECK(whole == wordOrder(NIST_VECTORS[14].standardDigest));
    }
    SUBCASE("the byte count is kept as 64 bits") {
        Sha256 hash;
        hash.update(fromText("abc"));
        CHECK(hash.byteCount() == 3);
    }
}

TEST_CASE("sha256: progress can cancel between blocks") {
    kpv::TransferProgress progress;
    progress.cancel = 1;
    Sha256 hash;
    hash.progress = &progress;
    const SecureBuffer small = SecureBuffer::zeros(63);
    CHECK(hash.update(small)); // no block completed, nothing to cancel
    CHECK_FALSE(hash.update(small));
    CHECK(hash.byteCount() == 63); // the cancelled call did not count
}

TEST_CASE("sha256: destruction wipes counts, state and block") {
    alignas(Sha256) unsigned char storage[sizeof(Sha256)] = {};
    auto* hash = new (storage) Sha256;
    hash->update(fromText("a partial block that stays in the context"));
    hash->~Sha256();
    bool allZero = true;
    for (unsigned char c : storage)
        allZero = allZero && c == 0;
    CHECK(allZero);
}
