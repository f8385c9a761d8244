#include "check/console.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace kpv::check {

void useBinaryStandardOutput() {
    // Failure leaves text mode, whose CR LF line ends the plugin and JSON readers still accept.
    (void)_setmode(_fileno(stdout), _O_BINARY);
}

} // namespace kpv::check
