#include "check/client_files.h"

namespace kpv::check {

// The client runs on Windows only: elsewhere the account list must be named.
bool clientWorkingFolder(std::string& /*folder*/) {
    return false;
}

} // namespace kpv::check
