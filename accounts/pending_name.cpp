#include "accounts/pending_name.h"

namespace kpv {

SecureBuffer& pendingName() {
    static SecureBuffer name; // its destructor wipes it when the process ends
    return name;
}

} // namespace kpv
