#pragma once
// A JSON document type whose every heap block (strings, arrays, objects, the parser's token
// buffer) is wiped before it is freed: the accounts file holds key material in hexadecimal.
// What the JSON library keeps outside its allocator (a few stack scratch bytes while parsing or
// printing, and the text of a parse error) is not covered.
#include "core/wiping_allocator.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kpv::tools {

using kpv::WipingAllocator;
using kpv::WipingString;

using WipingJson = nlohmann::basic_json<std::map, std::vector, WipingString, bool, std::int64_t,
                                        std::uint64_t, double, WipingAllocator>;

} // namespace kpv::tools
