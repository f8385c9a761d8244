#pragma once
// What the alerts send where: the user's own values in alerts.bin (the data-file envelope; the
// mail password in it protected for the current user by core/secret_store.h) under the
// administrator's policy values, which win. Every value is checked: one that is not usable is
// ignored and named in one line of `problems`, never an error.
//
// Value names are those of the policy: WebhookUrl, WebhookFormat, PingUrl, MailServer,
// MailPort, MailSecurity, MailFrom, MailTo, MailUser, ReminderHours, NoContactHours,
// Notifications; the file also holds MailPassword.
#include "core/policy.h"
#include "core/record_stream.h"
#include "core/secure_buffer.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kpv {

inline constexpr const char* ALERTS_FILE = "alerts.bin";

enum class WebhookFormat { Json, Slack, Text };
enum class MailSecurity { StartTls, Tls, None };

// The user's values as stored: texts by name (numbers in decimal), and the protected password.
struct AlertValues {
    std::map<std::string, std::string> texts;
    SecureBuffer protectedPassword; // empty: none
};

struct AlertSettings {
    std::string webhookUrl; // empty: no webhook
    WebhookFormat webhookFormat = WebhookFormat::Json;
    std::string pingUrl; // empty: no ping
    std::string mailServer;
    std::uint16_t mailPort = 0; // 0: the security's own port (587, 465 or 25)
    MailSecurity mailSecurity = MailSecurity::StartTls;
    std::string mailFrom;
    std::vector<std::string> mailTo;
    std::string mailUser;
    SecureBuffer mailPassword;         // in the clear, wiped with the settings
    std::uint32_t reminderHours = 24;  // 0: no reminders
    std::uint32_t noContactHours = 24; // at least 1
    bool notifications = true;

    // alerts.bin loaded or a policy value set: only then does anything about alerts happen.
    bool configured = false;
    std::set<std::string> fromPolicy;  // the names whose value the policy set
    std::vector<std::string> problems; // UTF-8, one line each

    bool webhookOn() const { return !webhookUrl.empty(); }
    bool pingOn() const { return !pingUrl.empty(); }
    bool mailOn() const { return !mailServer.empty() && !mailFrom.empty() && !mailTo.empty(); }
    // The port mail goes to: mailPort, or the usual one of the security.
    std::uint16_t effectiveMailPort() const;
};

// Reads the content of alerts.bin: u16 version (1), u16 count, then count pairs of blobs
// (name, value). False for any other shape; values is then unchanged.
bool readAlertValues(RecordStream& content, AlertValues& values);
RecordStream writeAlertValues(const AlertValues& values);

// alerts.bin in the working folder. False when missing or damaged (values unchanged).
bool loadAlertValues(AlertValues& values);
bool saveAlertValues(const AlertValues& values);

// The settings from the user's values (password already in the clear) and the policy.
// fileLoaded: the values came from alerts.bin.
AlertSettings resolveAlertSettings(const AlertValues& values, const SecureBuffer& password,
                                   bool fileLoaded, const PolicySource& policy);

// alerts.bin and the system's policy, the password unprotected (a password that cannot be
// read back is left out, with a line in problems).
AlertSettings loadAlertSettings(const PolicySource& policy);

// True for an http:// or https:// URL with a host and no spaces or control characters.
bool isUsableUrl(const std::string& url);

} // namespace kpv
