#pragma once
// Fixes the process's local time zone for a test, with a POSIX rule such as "CET-1" that the
// C runtimes of Linux and Wine read alike.
namespace kpv::test {

void setTimeZone(const char* posixRule);

} // namespace kpv::test
