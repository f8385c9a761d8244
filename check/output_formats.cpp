#include "check/output_formats.h"

namespace kpv::check {

WipingString formatReport(OutputFormat format, const CheckReport& report) {
    switch (format) {
    case OutputFormat::Json:
        return formatJson(report);
    case OutputFormat::Prometheus:
        return formatPrometheus(report);
    case OutputFormat::Nagios:
        break;
    }
    return formatNagios(report);
}

const char* internalErrorText(OutputFormat format) {
    switch (format) {
    case OutputFormat::Json:
        return "{\"state\": \"unknown\", \"checked_at\": 0, \"accounts\": [], "
               "\"error\": \"internal error\"}\n";
    case OutputFormat::Prometheus:
        return "# HELP kopiavakt_check_success 1 when the server answered with a status reply "
               "for a non-empty account list.\n"
               "# TYPE kopiavakt_check_success gauge\n"
               "kopiavakt_check_success 0\n"
               "# kopiavakt-check: internal error\n";
    case OutputFormat::Nagios:
        break;
    }
    return "KOPIAVAKT UNKNOWN - internal error\n";
}

int internalErrorExitCode(OutputFormat format) {
    return format == OutputFormat::Prometheus ? 0 : static_cast<int>(CheckState::Unknown);
}

int exitCodeFor(OutputFormat format, const CheckReport& report) {
    return format == OutputFormat::Prometheus ? 0 : static_cast<int>(report.state);
}

} // namespace kpv::check
