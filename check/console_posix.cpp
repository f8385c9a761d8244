#include "check/console.h"

namespace kpv::check {

void useBinaryStandardOutput() {} // text and binary streams are the same here

} // namespace kpv::check
