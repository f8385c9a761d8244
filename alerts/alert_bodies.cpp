#include "alerts/alert_bodies.h"

#include "core/calendar_time.h"
#include "core/wiping_json.h"

#include <cstdint>

namespace kpv {
namespace {

constexpr std::int64_t SECONDS_PER_DAY = 86400;

std::uint32_t clampedTime(std::int64_t seconds) {
    return seconds < 0 ? 0
                       : (seconds > std::int64_t(UINT32_MAX) ? UINT32_MAX : std::uint32_t(seconds));
}

WipingJson isoTime(std::int64_t seconds) {
    return WipingJson(WipingString(isoUtcText(clampedTime(seconds)).view()));
}

WipingString wiping(const std::string& text) {
    return WipingString(text.begin(), text.end());
}

// Days since the latest copy, none without one.
std::optional<std::int64_t> ageDays(const AlertAccount& account, std::int64_t at) {
    if (account.lastCopyTime == 0)
        return std::nullopt;
    const std::int64_t age = at - std::int64_t(account.lastCopyTime);
    return age > 0 ? age / SECONDS_PER_DAY : 0;
}

std::string days(std::int64_t count) {
    return std::to_string(count) + (count == 1 ? " dag" : " dagar");
}

} // namespace

const char* alertStateWords(AccountState state) {
    switch (state) {
    case AccountState::Unopened:
        return "kunde inte läsas";
    case AccountState::Outdated:
        return "föråldrad";
    case AccountState::Emptied:
        return "tömd";
    case AccountState::Shrunk:
        return "krympt";
    case AccountState::CopiesLost:
        return "kopior saknas";
    case AccountState::Snoozed:
        return "vilande";
    case AccountState::Ok:
        break;
    }
    return "aktuell";
}

std::string utcMinuteText(std::int64_t seconds) {
    return std::string(isoMinuteText(utcCalendarTime(clampedTime(seconds))).view()) + " UTC";
}

WipingString jsonBody(const AlertMessage& message, const AlertOrigin& origin) {
    WipingJson body = WipingJson::object();
    body["id"] = wiping(message.id);
    body["event"] = alertEventName(message.event);
    body["time"] = isoTime(message.time);
    body["computer"] = wiping(origin.computer);
    body["user"] = wiping(origin.user);
    body["version"] = wiping(origin.version);
    body["summary"] = wiping(message.summary);
    body["needing_attention"] = message.needingAttention;
    body["no_contact_since"] =
        message.noContactSince != 0 ? isoTime(message.noContactSince) : WipingJson(nullptr);
    WipingJson accounts = WipingJson::array();
    for (const AlertAccount& account : message.accounts) {
        WipingJson entry = WipingJson::object();
        entry["id"] = account.id;
        entry["name"] = account.name;
        entry["state"] = accountStateName(account.state);
        entry["previous_state"] = account.previousState
                                      ? WipingJson(accountStateName(*account.previousState))
                                      : WipingJson(nullptr);
        entry["last_copy_time"] =
            account.lastCopyTime != 0 ? isoTime(account.lastCopyTime) : WipingJson(nullptr);
        const auto age = ageDays(account, message.time);
        entry["age_days"] = age ? WipingJson(*age) : WipingJson(nullptr);
        entry["period_days"] = account.periodSeconds / SECONDS_PER_DAY;
        accounts.push_back(std::move(entry));
    }
    body["accounts"] = std::move(accounts);
    // Bytes that are not UTF-8 (none should reach here) become U+FFFD rather than an error.
    return body.dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
}

WipingString slackBody(const AlertMessage& message, const AlertOrigin& origin) {
    WipingJson body = WipingJson::object();
    WipingString text = wiping(alertTitle(message));
    text += "\n\n";
    text += alertText(message, origin);
    body["text"] = std::move(text);
    return body.dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
}

std::string alertTitle(const AlertMessage& message) {
    switch (message.event) {
    case AlertEvent::Attention:
        return message.accounts.empty() && message.noContactSince != 0
                   ? "Kopiavakt: ingen kontakt med servern"
                   : "Kopiavakt: säkerhetskopior behöver åtgärdas";
    case AlertEvent::Recovered:
        return "Kopiavakt: åter i ordning";
    case AlertEvent::Reminder:
        return "Kopiavakt: påminnelse, säkerhetskopior behöver åtgärdas";
    case AlertEvent::Test:
        break;
    }
    return "Kopiavakt: testmeddelande";
}

WipingString alertText(const AlertMessage& message, const AlertOrigin& origin) {
    WipingString text = wiping(message.summary);
    text += "\n";
    if (message.noContactSince != 0)
        text += wiping("Ingen kontakt med servern sedan " + utcMinuteText(message.noContactSince) +
                       ".\n");
    text +=
        wiping("Konton som behöver åtgärdas: " + std::to_string(message.needingAttention) + "\n");
    if (!message.accounts.empty())
        text += "\n";
    for (const AlertAccount& account : message.accounts) {
        text += account.name;
        text += wiping(" (" + std::to_string(account.id) + "): " + alertStateWords(account.state));
        if (account.previousState && *account.previousState != account.state)
            text += wiping(std::string(", tidigare ") + alertStateWords(*account.previousState));
        text += ".";
        if (account.lastCopyTime != 0) {
            text += wiping(" Senaste kopia " + utcMinuteText(account.lastCopyTime));
            if (const auto age = ageDays(account, message.time))
                text += wiping(", " + days(*age) + " gammal");
            text += ".";
        }
        text += wiping(" Tid för varning " + days(account.periodSeconds / SECONDS_PER_DAY) + ".\n");
    }
    text += wiping("\nDator: " + origin.computer + ", användare: " + origin.user + ", Kopiavakt " +
                   origin.version + ".\nMeddelande-id: " + message.id + "\n");
    return text;
}

} // namespace kpv
