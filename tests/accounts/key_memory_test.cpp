// No copy of key material may reach the heap unwiped: every heap block freed while a list, a
// remote log file or a user list is loaded and saved is scanned for the secret before it goes
// back. This executable replaces the C library's free (glibc sends its own frees, those of
// stdio buffers included, and operator delete through it), so it runs natively without
// AddressSanitizer, which owns free itself; under it the check is skipped.
#include "accounts/account_list_file.h"
#include "accounts/remote_log_file.h"
#include "core/data_file.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KPV_SCAN_FREES 0
#else
#define KPV_SCAN_FREES 1
#endif

using namespace kpv;

namespace {

const std::uint8_t* wanted = nullptr; // the secret's bytes while freed blocks are scanned
std::size_t wantedLength = 0;
std::size_t copiesFreed = 0;

SecureBuffer knownSecret() {
    SecureBuffer secret = SecureBuffer::zeros(32);
    for (std::uint32_t i = 0; i < 32; ++i)
        secret.at(i) = static_cast<std::uint8_t>(0xC3 ^ (i * 29));
    return secret;
}

} // namespace

#if KPV_SCAN_FREES
extern "C" void __libc_free(void* block);

extern "C" void free(void* block) {
    if (block != nullptr && wanted != nullptr &&
        memmem(block, malloc_usable_size(block), wanted, wantedLength) != nullptr)
        ++copiesFreed;
    __libc_free(block);
}
#endif

TEST_CASE("loading and saving key files leaves no copy of the key in a freed block") {
    if (!KPV_SCAN_FREES) {
        MESSAGE("skipped: AddressSanitizer replaces free");
        return;
    }
    test::TempFolder folder;
    const SecureBuffer secret = knownSecret();
    {
        RecordStream log;
        log.appendU16(0);
        log.appendU32(7);
        log.appendBlob(secret);
        REQUIRE(saveDataFile("konto.rlf", log));
    }

    copiesFreed = 0;
    wantedLength = secret.length();
    wanted = secret.data(); // from here on every freed block is scanned
    struct Disarm {
        ~Disarm() { wanted = nullptr; }
    } disarm;
    {
        RemoteLogAccount account;
        REQUIRE(loadRemoteLogFile(SecureBuffer::fromCString("konto.rlf"), account) ==
                RemoteLogResult::Ok);
        AccountIdList ids;
        BufferList keys;
        BufferList names;
        ids.append(account.accountId);
        keys.appendCopy(account.keyMaterial);
        names.append(SecureBuffer::fromCString("Kontor"));
        REQUIRE(saveAccountList(ids, keys, names));
    }
    {
        AccountIdList ids;
        BufferList keys;
        BufferList names;
        loadAccountList(ids, keys, names);
        REQUIRE(keys.length() == 1);
        CHECK(keys[0].equals(secret));
        RecordStream list; // export, then import, as the user-list commands do
        REQUIRE(loadDataFile(ACCOUNT_LIST_FILE, list));
        REQUIRE(saveDataFile("lista.ulf", list));
        REQUIRE(loadDataFile("lista.ulf", list));
        REQUIRE(saveDataFile(ACCOUNT_LIST_FILE, list));
    }
    CHECK(copiesFreed == 0);

    // The scan finds what a C library stream leaves behind: its buffer, freed unwiped.
    std::FILE* stream = std::fopen(ACCOUNT_LIST_FILE, "rb");
    REQUIRE(stream != nullptr);
    SecureBuffer bytes = SecureBuffer::zeros(64);
    CHECK(std::fread(bytes.data(), 1, 64, stream) > 40);
    std::fclose(stream);
    CHECK(copiesFreed >= 1);
}
