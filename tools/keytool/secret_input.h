#pragma once
// Key material that is not typed on the command line, where other users of the machine can
// read it (the process list) and the shell may keep it (its history): read from a file, or
// from standard input when the path is "-".
#include "core/secure_buffer.h"

#include <string>
#include <string_view>

namespace kpv::tools {

// Keeps track of standard input, which only one option of a run can read.
struct SecretSources {
    bool standardInputUsed = false;
};

// The whole file or standard input in `text`. False, with a reason in `error` that never quotes
// the content, when it cannot be read or standard input was already taken.
bool readSecretSource(std::string_view option, const std::string& path, SecretSources& sources,
                      SecureBuffer& text, std::string& error);

// Hexadecimal key material from a file or standard input; white space around it (a final line
// break) is ignored. False, with a reason that never quotes the content, when it cannot be
// read or is not one non-empty run of hexadecimal digits.
bool readSecretHex(std::string_view option, const std::string& path, SecretSources& sources,
                   SecureBuffer& secret, std::string& error);

// `text` without ASCII white space at either end.
std::string_view trimmed(std::string_view text);

} // namespace kpv::tools
