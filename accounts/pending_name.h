#pragma once
// The text through which the name dialog receives its initial name and hands back the name
// the user entered (raw bytes, no zero byte). Process-wide; wiped at exit.
#include "core/secure_buffer.h"

namespace kpv {

SecureBuffer& pendingName();

} // namespace kpv
