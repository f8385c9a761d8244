#include "tests/support/time_zone.h"

#include <cstdlib>
#include <ctime>

namespace kpv::test {

void setTimeZone(const char* posixRule) {
#ifdef _WIN32
    _putenv_s("TZ", posixRule);
    _tzset();
#else
    setenv("TZ", posixRule, 1);
    tzset();
#endif
}

} // namespace kpv::test
