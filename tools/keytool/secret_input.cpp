#include "tools/keytool/secret_input.h"

#include "tools/common/hex.h"
#include "tools/common/secure_file.h"

namespace kpv::tools {

bool readSecretSource(std::string_view option, const std::string& path, SecretSources& sources,
                      SecureBuffer& text, std::string& error) {
    if (path == "-") {
        if (sources.standardInputUsed) {
            error = std::string(option) + ": standard input is already read by another option";
            return false;
        }
        sources.standardInputUsed = true;
    }
    if (!readWholeInput(path, text)) {
        error = std::string(option) + ": " + (path == "-" ? "standard input" : path) +
                " cannot be read";
        return false;
    }
    return true;
}

bool readSecretHex(std::string_view option, const std::string& path, SecretSources& sources,
                   SecureBuffer& secret, std::string& error) {
    SecureBuffer text;
    if (!readSecretSource(option, path, sources, text, error))
        return false;
    const std::string_view hex = trimmed(std::string_view(text.text(), text.length()));
    if (hex.empty() || !decodeHex(hex, secret)) {
        error = std::string(option) + ": not hexadecimal key material";
        return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text) {
    const auto space = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace kpv::tools
