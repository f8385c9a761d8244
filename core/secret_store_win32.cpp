// DPAPI for the current user: the blob opens only for this user on this machine, with this
// program's own entropy, and never asks anything of the user.
#include "core/secret_store.h"

#include <windows.h>

#include <dpapi.h>

#include "core/secure_memory.h"

namespace kpv {
namespace {

// Fixed: a blob made for another purpose by another program of this user does not open here.
constexpr char ENTROPY[] = "Kopiavakt alert secret, v1";
const wchar_t* const DESCRIPTION = L"Kopiavakt";

DATA_BLOB entropy() {
    DATA_BLOB blob{};
    blob.cbData = sizeof ENTROPY - 1;
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(ENTROPY));
    return blob;
}

// What the system allocated for an output, wiped and given back however the call ends.
class SystemBlob {
  public:
    SystemBlob() = default;
    SystemBlob(const SystemBlob&) = delete;
    SystemBlob& operator=(const SystemBlob&) = delete;
    ~SystemBlob() {
        if (blob.pbData != nullptr) {
            secureWipe(blob.pbData, blob.cbData);
            LocalFree(blob.pbData);
        }
    }
    DATA_BLOB blob{};
};

DATA_BLOB input(const SecureBuffer& bytes) {
    DATA_BLOB blob{};
    blob.cbData = bytes.length();
    blob.pbData = const_cast<BYTE*>(bytes.data());
    return blob;
}

} // namespace

SecureBuffer protectSecret(const SecureBuffer& plain) {
    DATA_BLOB in = input(plain);
    DATA_BLOB extra = entropy();
    SystemBlob out;
    if (!CryptProtectData(&in, DESCRIPTION, &extra, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                          &out.blob) ||
        out.blob.pbData == nullptr || out.blob.cbData == 0)
        return {};
    return SecureBuffer::ofBytes(out.blob.pbData, out.blob.cbData);
}

bool unprotectSecret(const SecureBuffer& sealed, SecureBuffer& plain) {
    plain.release();
    if (sealed.empty())
        return false;
    DATA_BLOB in = input(sealed);
    DATA_BLOB extra = entropy();
    SystemBlob out;
    if (!CryptUnprotectData(&in, nullptr, &extra, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out.blob))
        return false;
    if (out.blob.cbData != 0)
        plain.assignBytes(out.blob.pbData, out.blob.cbData);
    return true;
}

} // namespace kpv
