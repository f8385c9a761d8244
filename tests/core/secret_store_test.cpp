#include "core/secret_store.h"

#include <doctest/doctest.h>

#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <dpapi.h>
#endif

using namespace kpv;

namespace {

[[maybe_unused]] SecureBuffer bytesOf(const std::string& text) {
    return SecureBuffer::ofBytes(text.data(), static_cast<std::uint32_t>(text.size()));
}

[[maybe_unused]] bool contains(const SecureBuffer& haystack, const std::string& needle) {
    const std::string all(haystack.text(), haystack.length());
    return all.find(needle) != std::string::npos;
}

} // namespace

#ifdef _WIN32
TEST_CASE("a protected secret opens again for this user, and a damaged or foreign blob never") {
    const std::string password = "h\xC3\xA4mligt l\xC3\xB6senord 123";
    const SecureBuffer sealed = protectSecret(bytesOf(password));
    REQUIRE_FALSE(sealed.empty());
    CHECK_FALSE(contains(sealed, password)); // not kept in the clear
    SecureBuffer plain;
    REQUIRE(unprotectSecret(sealed, plain));
    CHECK(plain.equals(bytesOf(password)));

    // Any damaged byte: refused, or (a byte the system does not use) the same secret; never a
    // different one. The tag at the end always counts.
    std::uint32_t refused = 0;
    for (std::uint32_t at = 0; at < sealed.length(); ++at) {
        CAPTURE(at);
        SecureBuffer damaged = sealed;
        damaged.at(at) ^= 0x01;
        plain = bytesOf("left over");
        if (unprotectSecret(damaged, plain)) {
            CHECK(plain.equals(bytesOf(password)));
        } else {
            CHECK(plain.empty());
            ++refused;
        }
        if (at == sealed.length() - 1)
            CHECK(plain.empty());
    }
    CHECK(refused > sealed.length() / 2);
    SecureBuffer cut = sealed.slice(0, sealed.length() - 16);
    CHECK_FALSE(unprotectSecret(cut, plain));
    CHECK_FALSE(unprotectSecret(SecureBuffer{}, plain));

    // The same user's blob made by another program (without this one's entropy) stays shut.
    SecureBuffer secret = bytesOf(password);
    DATA_BLOB in{secret.length(), secret.data()};
    DATA_BLOB out{};
    REQUIRE(CryptProtectData(&in, L"other", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                             &out));
    const SecureBuffer foreign = SecureBuffer::ofBytes(out.pbData, out.cbData);
    LocalFree(out.pbData);
    CHECK_FALSE(unprotectSecret(foreign, plain));
}
#else
TEST_CASE("without a per-user store, secrets are refused rather than kept in the clear") {
    CHECK(protectSecret(bytesOf("secret")).empty());
    SecureBuffer plain = bytesOf("left over");
    CHECK_FALSE(unprotectSecret(bytesOf("secret"), plain));
    CHECK(plain.empty());
}
#endif
