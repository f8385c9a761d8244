#pragma once
// Standard output as the monitoring systems read it.

namespace kpv::check {

// Lines end in LF alone on every platform: a Prometheus textfile collector reads a CR as part
// of the value. Call before the first output.
void useBinaryStandardOutput();

} // namespace kpv::check
