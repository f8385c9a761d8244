#pragma once
// JSON document types whose every heap block (strings, arrays, objects, the parser's token
// buffer) is wiped before it is freed: the tools' accounts file holds key material in
// hexadecimal, the alert bodies and the check's output hold account names. What the JSON
// library keeps outside its allocator (a few stack scratch bytes while parsing or printing, and
// the text of a parse error) is not covered.
// Header only, like the library: a target that includes it links kpv_nlohmann_json (or the
// system's nlohmann_json); core itself does not.
#include "core/wiping_allocator.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kpv {

// Members sorted by name.
using WipingJson = nlohmann::basic_json<std::map, std::vector, WipingString, bool, std::int64_t,
                                        std::uint64_t, double, WipingAllocator>;
// Members in the order they were added: for outputs whose order is fixed.
using WipingOrderedJson =
    nlohmann::basic_json<nlohmann::ordered_map, std::vector, WipingString, bool, std::int64_t,
                         std::uint64_t, double, WipingAllocator>;

} // namespace kpv
