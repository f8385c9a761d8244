#pragma once
// One alert as every channel tells it: what happened, when, and the accounts it concerns.
// Built by the judgement of an update (alert_judge.h), kept in the outbox until delivered and
// rendered per channel by alert_bodies.h.
#include "core/record_stream.h"
#include "core/wiping_allocator.h"
#include "status/account_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kpv {

enum class AlertEvent { Attention, Recovered, Reminder, Test };

// "attention", "recovered", "reminder", "test".
const char* alertEventName(AlertEvent event);

struct AlertAccount {
    std::uint32_t id = 0;
    WipingString name; // UTF-8
    AccountState state = AccountState::Ok;
    std::optional<AccountState> previousState; // none when the account was not known before
    std::uint32_t lastCopyTime = 0;            // seconds since 1970-01-01 UTC; 0: none (not opened)
    std::uint32_t periodSeconds = 0;           // the warning period it was judged by
};

struct AlertMessage {
    std::string id; // unique, so that a receiver can drop a repeat
    AlertEvent event = AlertEvent::Test;
    std::int64_t time = 0; // seconds since 1970-01-01 UTC
    std::string summary;   // the Swedish sentence of the tray tooltip, UTF-8
    std::uint32_t needingAttention = 0;
    std::int64_t noContactSince = 0; // 0: the server answers
    // Those whose state changed; for a reminder, all that need attention.
    std::vector<AlertAccount> accounts;
};

// The state whose accountStateName is name; none for a name no state has. The files keep
// states by name: the enumeration's order may grow, a name stays.
std::optional<AccountState> accountStateNamed(const std::string& name);

// A time (seconds since 1970-01-01 UTC) in the alert files: u32 low, then u32 high.
void appendAlertTime(RecordStream& out, std::int64_t time);
std::int64_t readAlertTime(RecordStream& in);

// A new message id: the time and 64 random bits, in hexadecimal. Called from one thread only
// (the user interface's).
std::string makeAlertId(std::int64_t now);

} // namespace kpv
