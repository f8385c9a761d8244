#pragma once
// The three ways a check reports: the monitoring plugin convention (nagios), one JSON document
// (json), and the text exposition format for a textfile collector (prometheus). Each takes a
// judged report and gives the whole text for standard output, names in UTF-8.
#include "check/check_options.h"
#include "check/check_report.h"
#include "core/wiping_allocator.h"

namespace kpv::check {

// First line "KOPIAVAKT <STATE> - <summary> | <perfdata>", then one line per account.
WipingString formatNagios(const CheckReport& report);
// {"state": ..., "checked_at": ..., "accounts": [...], "error": ...} and a newline.
WipingString formatJson(const CheckReport& report);
// HELP and TYPE lines and samples of the kopiavakt_* gauges.
WipingString formatPrometheus(const CheckReport& report);

WipingString formatReport(OutputFormat format, const CheckReport& report);
// The UNKNOWN answer "internal error" in `format`, a fixed text that needs no memory (JSON with
// "checked_at": 0, as the time is not known then), and its exit code.
const char* internalErrorText(OutputFormat format);
int internalErrorExitCode(OutputFormat format);
// The state's exit code, except 0 for prometheus: its output says everything.
int exitCodeFor(OutputFormat format, const CheckReport& report);

} // namespace kpv::check
