#include "check/json_text.h"

namespace kpv::check {
namespace {

// The \u00xx form of a short escape's letter, or nullptr for those kept (\" and \\, and the
// \u of an escape that is already long).
const char* longEscape(char letter) {
    switch (letter) {
    case 'b':
        return "\\u0008";
    case 't':
        return "\\u0009";
    case 'n':
        return "\\u000a";
    case 'f':
        return "\\u000c";
    case 'r':
        return "\\u000d";
    default:
        return nullptr;
    }
}

} // namespace

WipingString jsonText(const WipingOrderedJson& document) {
    // Indented by zero, every member and element starts a line, and a line break occurs nowhere
    // else: the strings hold theirs escaped. Valid UTF-8 is all the check puts in; anything else
    // would become U+FFFD rather than end the output.
    const WipingString dumped =
        document.dump(0, ' ', false, nlohmann::detail::error_handler_t::replace);
    WipingString text;
    text.reserve(dumped.size() + dumped.size() / 8);
    for (std::size_t i = 0; i < dumped.size(); ++i) {
        const char c = dumped[i];
        const char next = i + 1 < dumped.size() ? dumped[i + 1] : '\0';
        if (c == '\n') {
            if (next == ']')
                text += '\n';
            else if (next == '{')
                text += "\n  "; // an element of an array of objects
            else if (i > 0 && dumped[i - 1] != '{' && next != '}')
                text += ' '; // between members
        } else if (c == '\\') {
            // Every backslash in the dump opens an escape of two characters or more.
            const char* const spelled = longEscape(next);
            if (spelled != nullptr) {
                text += spelled;
            } else {
                text += c;
                text += next;
            }
            ++i;
        } else if (c == '\x7F') {
            text += "\\u007f";
        } else {
            text += c;
        }
    }
    text += '\n';
    return text;
}

} // namespace kpv::check
