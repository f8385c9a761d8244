#pragma once
// The forms an alert takes: the JSON body (the webhook's default), the Slack-compatible
// {"text": ...}, and the Swedish title and text of push services and mail. All UTF-8; names
// pass through wiping strings only. Nothing derived from key material is ever part of one.
#include "alerts/alert_message.h"
#include "core/wiping_allocator.h"

#include <string>

namespace kpv {

// Who sends: the computer's and the user's names (UTF-8) and the client's version.
struct AlertOrigin {
    std::string computer;
    std::string user;
    std::string version;
};

// {"id", "event", "time", "computer", "user", "version", "summary", "needing_attention",
// "no_contact_since", "accounts": [{"id", "name", "state", "previous_state", "last_copy_time",
// "age_days", "period_days"}]}; times ISO 8601 UTC, absent facts null.
WipingString jsonBody(const AlertMessage& message, const AlertOrigin& origin);
// {"text": title, a blank line, then the text}.
WipingString slackBody(const AlertMessage& message, const AlertOrigin& origin);
// One line, "Kopiavakt: ...": the Title header of the text body and the mail's subject.
std::string alertTitle(const AlertMessage& message);
// The Swedish text: the summary, the accounts one line each, then who sent it. Lines end in
// a line feed.
WipingString alertText(const AlertMessage& message, const AlertOrigin& origin);

// The Swedish name of a state in the text: "föråldrad", "kunde inte läsas", "aktuell", ...
const char* alertStateWords(AccountState state);

// A time as "2024-06-01 10:15 UTC".
std::string utcMinuteText(std::int64_t seconds);

} // namespace kpv
