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

int exitCodeFor(OutputFormat format, const CheckReport& report) {
    return format == OutputFormat::Prometheus ? 0 : static_cast<int>(report.state);
}

} // namespace kpv::check
