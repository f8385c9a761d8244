// The alert settings: the user's file under the policy, and values that cannot be used
// ignored with a line each.
#include "alerts/alert_settings.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <algorithm>

namespace kpv {

TEST_CASE("policy values win over the user's, and only set values count as configured") {
    const FixedPolicy none;
    AlertValues values;
    CHECK_FALSE(resolveAlertSettings(values, {}, false, none).configured);

    values.texts = {{"WebhookUrl", "http://127.0.0.1:8080/hook"}, {"WebhookFormat", "slack"},
                    {"MailServer", "smtp.example.org"},           {"MailFrom", "pc@example.org"},
                    {"MailTo", "a@example.org; b@example.org ,"}, {"ReminderHours", "0"}};
    FixedPolicy policy;
    policy.setText("WebhookUrl", "https://ntfy.example.org/kontoret")
        .setText("WebhookFormat", "TEXT")
        .setNumber("MailPort", 2525)
        .setText("MailSecurity", "none")
        .setNumber("NoContactHours", 48)
        .setNumber("Notifications", 0);
    const AlertSettings settings = resolveAlertSettings(values, {}, true, policy);
    CHECK(settings.configured);
    CHECK(settings.problems.empty());
    CHECK(settings.webhookUrl == "https://ntfy.example.org/kontoret");
    CHECK(settings.webhookFormat == WebhookFormat::Text);
    CHECK(settings.effectiveMailPort() == 2525);
    CHECK(settings.mailSecurity == MailSecurity::None);
    CHECK(settings.mailTo == std::vector<std::string>{"a@example.org", "b@example.org"});
    CHECK(settings.mailOn());
    CHECK_FALSE(settings.pingOn());
    CHECK(settings.reminderHours == 0);
    CHECK(settings.noContactHours == 48);
    CHECK_FALSE(settings.notifications);
    CHECK(settings.fromPolicy == std::set<std::string>{"WebhookUrl", "WebhookFormat", "MailPort",
                                                       "MailSecurity", "NoContactHours",
                                                       "Notifications"});

    // A policy value alone configures the alerts, without any file.
    FixedPolicy pingOnly;
    pingOnly.setText("PingUrl", "http://127.0.0.1:9/ping");
    const AlertSettings ping = resolveAlertSettings({}, {}, false, pingOnly);
    CHECK(ping.configured);
    CHECK(ping.pingOn());
    CHECK(ping.notifications);
}

TEST_CASE("values that cannot be used are ignored with one line each") {
    FixedPolicy policy;
    policy.setText("WebhookUrl", "ftp://example.org/")
        .setText("PingUrl", "http://")
        .setNumber("MailPort", 0)
        .setText("MailSecurity", "ssl3")
        .setText("MailFrom", "pc@example.org\r\nRCPT TO:<x@y>")
        .setNumber("Notifications", 7);
    AlertValues values;
    values.texts = {{"WebhookUrl", "http://127.0.0.1/ok"},
                    {"MailTo", "nobody"},
                    {"MailServer", "smtp.example.org"},
                    {"ReminderHours", "-3"}};
    const AlertSettings settings = resolveAlertSettings(values, {}, true, policy);
    CHECK(settings.webhookUrl == "http://127.0.0.1/ok"); // the user's, the policy's was unusable
    CHECK(settings.fromPolicy.empty());
    CHECK_FALSE(settings.pingOn());
    CHECK(settings.mailPort == 0);
    CHECK(settings.mailSecurity == MailSecurity::StartTls);
    CHECK(settings.mailFrom.empty());
    CHECK_FALSE(settings.mailOn());
    CHECK(settings.reminderHours == 24);
    CHECK(settings.notifications);
    REQUIRE(settings.problems.size() == 9);
    CHECK(settings.problems[0] ==
          "WebhookUrl: ogiltigt värde \"ftp://example.org/\", används inte.");
    CHECK(settings.problems[2] == "MailPort: ogiltigt värde \"0\", används inte.");
    CHECK(std::all_of(
        settings.problems.begin(), settings.problems.end(),
        [](const std::string& line) { return line.find_first_of("\r\n") == std::string::npos; }));
    CHECK(settings.problems.back() ==
          "E-post skickas inte: MailServer, MailFrom och MailTo behövs alla.");
}

TEST_CASE("alerts.bin keeps the values and the protected password; a damaged one loads nothing") {
    test::TempFolder folder;
    AlertValues values;
    CHECK_FALSE(loadAlertValues(values));
    values.texts = {{"PingUrl", "http://127.0.0.1/ping"}, {"MailUser", "anna"}};
    values.protectedPassword = SecureBuffer::ofBytes("\x01\x02sealed", 8);
    REQUIRE(saveAlertValues(values));
    AlertValues loaded;
    REQUIRE(loadAlertValues(loaded));
    CHECK(loaded.texts == values.texts);
    CHECK(loaded.protectedPassword.equals(values.protectedPassword));

    const RecordStream whole = writeAlertValues(values);
    for (std::uint32_t cut = 0; cut < whole.length(); ++cut) {
        RecordStream part(whole.contents.slice(0, cut));
        AlertValues read;
        CHECK_FALSE(readAlertValues(part, read));
    }
}

} // namespace kpv
