#pragma once
// The check prints names and times as the client's alerts do: one conversion for both.
#include "core/ansi_text.h"

namespace kpv::check {

using kpv::ansiToUtf8;
using kpv::isoUtcTime;
using kpv::rawToUtf8;

} // namespace kpv::check
