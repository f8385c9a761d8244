#pragma once
// Running this benchmark program again as a child with extra environment variables, for
// settings that a library reads once at start-up (such as OpenSSL's processor capability mask).
#include <string>
#include <vector>

namespace kpv::bench {

// Path of the running executable.
std::string selfPath();

// Runs program with args (args[0] is the program name shown to it) and the current
// environment plus extraEnvironment ("NAME=value" entries, which take precedence). Returns its
// standard output; empty when it could not be started. Its standard error is inherited.
std::string runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& extraEnvironment);

} // namespace kpv::bench
