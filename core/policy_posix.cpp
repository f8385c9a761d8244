#include "core/policy.h"

namespace kpv {

const PolicySource& systemPolicy() {
    static const FixedPolicy none;
    return none;
}

} // namespace kpv
