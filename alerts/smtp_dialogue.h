#pragma once
// One mail through a MailStream: greeting, EHLO, STARTTLS (or TLS from the start, or none),
// AUTH PLAIN or LOGIN when a user is set, MAIL FROM, one RCPT TO per address, DATA with the
// headers (UTF-8 subject as an RFC 2047 encoded word, Date, Message-ID) and the dot-stuffed
// body, QUIT. Mail never goes out in the clear when STARTTLS was asked for and refused.
#include "alerts/alert_settings.h"
#include "alerts/outbox.h"
#include "net/mail_stream.h"

#include <cstdint>
#include <string>

namespace kpv {

struct MailContent {
    std::string subject;   // UTF-8, one line
    WipingString body;     // UTF-8, lines ending in a line feed
    std::string messageId; // without the angle brackets
    std::int64_t date = 0; // seconds since 1970-01-01 UTC
};

struct MailResult {
    Delivery outcome = Delivery::RetryLater; // a 5xx answer refuses for good, all else retries
    std::string detail;                      // the server's last answer or what failed, one line
};

// Sends content to settings.mailTo; every wait is bounded by timeoutMilliseconds.
MailResult sendMail(MailStream& stream, const AlertSettings& settings, const MailContent& content,
                    std::uint32_t timeoutMilliseconds);

// The RFC 2047 form of a header text: itself when plain ASCII, else "=?UTF-8?B?...?=" words
// of at most 75 characters joined by separator (CR LF and a space folds a mail header; a
// space alone keeps an HTTP header on one line), never splitting a character.
std::string encodedHeaderWord(const std::string& utf8, const char* separator);

// The text with CR LF line ends and every line that starts with "." given another.
WipingString dotStuffed(const WipingString& text);

// "Tue, 08 Dec 2026 01:44:32 +0000".
std::string mailDate(std::int64_t seconds);

} // namespace kpv
