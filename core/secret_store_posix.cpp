// No per-user secret store on these platforms: nothing is kept, nothing opens.
#include "core/secret_store.h"

namespace kpv {

SecureBuffer protectSecret(const SecureBuffer&) {
    return {};
}

bool unprotectSecret(const SecureBuffer&, SecureBuffer& plain) {
    plain.release();
    return false;
}

} // namespace kpv
