// Linked into the crypto test programs: before any test runs, forces the AES and SHA-256 paths
// named by KPV_CRYPTO_PATH, so that ctest runs the same vectors on every path:
//   hardware            AES and SHA instructions
//   bitsliced-ssse3     bit-sliced AES (SSSE3 build), portable SHA-256
//   bitsliced-portable  bit-sliced AES (portable build), portable SHA-256
// Unset: the paths the client would choose. A path this processor lacks is named in the output;
// when it lacks every path asked for, the program ends with SKIPPED_EXIT_CODE, so ctest reports
// the run as skipped rather than passed.
#include "crypto/crypto_paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using kpv::crypto::AesPath;
using kpv::crypto::ShaPath;

constexpr int SKIPPED_EXIT_CODE = 77;

void skip(const char* wanted, const char* lacking) {
    std::printf("SKIPPED: crypto path '%s' not tested: this processor lacks %s\n", wanted, lacking);
    std::fflush(stdout);
    std::exit(SKIPPED_EXIT_CODE);
}

bool forcePathsFromEnvironment() {
    const char* wanted = std::getenv("KPV_CRYPTO_PATH");
    if (wanted != nullptr && *wanted != '\0') {
        if (std::strcmp(wanted, "hardware") == 0) {
            const bool aes = kpv::crypto::forceAesPath(AesPath::Hardware);
            const bool sha = kpv::crypto::forceShaPath(ShaPath::Hardware);
            if (!aes && !sha)
                skip(wanted, "the AES and the SHA instructions");
            if (!aes || !sha)
                std::printf("NOT TESTED: this processor lacks the %s instructions\n",
                            aes ? "SHA" : "AES");
        } else if (std::strcmp(wanted, "bitsliced-ssse3") == 0) {
            if (!kpv::crypto::forceAesPath(AesPath::BitslicedSsse3))
                skip(wanted, "SSSE3");
            kpv::crypto::forceShaPath(ShaPath::Portable);
        } else if (std::strcmp(wanted, "bitsliced-portable") == 0) {
            kpv::crypto::forceAesPath(AesPath::BitslicedPortable);
            kpv::crypto::forceShaPath(ShaPath::Portable);
        } else {
            std::printf("unknown KPV_CRYPTO_PATH '%s'\n", wanted);
            std::exit(2);
        }
    }
    std::printf("crypto paths: AES %s, SHA-256 %s\n", pathName(kpv::crypto::aesPath()),
                pathName(kpv::crypto::shaPath()));
    return true;
}

const bool FORCED = forcePathsFromEnvironment();

} // namespace
