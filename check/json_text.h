#pragma once
// The check's JSON text as monitoring scripts have always read it: ", " and ": " between
// members, each element of an array of objects on a line of its own ("[\n  {...},\n  {...}\n]"),
// and every control character and DEL in a string written \u00xx. nlohmann's dump has no such
// separators and writes \b \t \n \f \r as short escapes and DEL as it is, so its indented dump
// is respaced and those escapes spelled out here.
#include "core/wiping_json.h"

namespace kpv::check {

// `document` and a newline. Objects may nest in arrays only (the check's shape).
WipingString jsonText(const WipingOrderedJson& document);

} // namespace kpv::check
