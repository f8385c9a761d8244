#include "alerts/alert_judge.h"

#include "core/ansi_text.h"
#include "core/data_file.h"
#include "status/account_state.h"

#include <cstring>

namespace kpv {
namespace {

constexpr std::uint16_t FILE_VERSION = 1;
constexpr std::uint16_t NO_CONTACT_REPORTED = 1;
constexpr std::uint32_t MAX_ACCOUNTS = 0x10000;
constexpr std::int64_t SECONDS_PER_HOUR = 3600;

std::optional<AccountState> stateNamed(const SecureBuffer& name) {
    return accountStateNamed(
        std::string(reinterpret_cast<const char*>(name.data()), name.length()));
}

// A row tells whether the account is in trouble, the rest of the message says how.
bool worthTelling(std::optional<AccountState> before, AccountState now) {
    if (!before)
        return needsAttention(now);
    if (needsAttention(*before) != needsAttention(now))
        return true;
    return needsAttention(now) && *before != now;
}

} // namespace

bool readAlertMemory(RecordStream& content, AlertMemory& memory) {
    if (content.readU16() != FILE_VERSION)
        return false;
    AlertMemory read;
    read.lastContact = readAlertTime(content);
    read.failingSince = readAlertTime(content);
    read.lastAttentionSent = readAlertTime(content);
    (void)readAlertTime(content); // room for a later time without a new version
    read.noContactReported = (content.readU16() & NO_CONTACT_REPORTED) != 0;
    const std::uint32_t count = content.readU32();
    if (count > MAX_ACCOUNTS)
        return false;
    for (std::uint32_t i = 0; i < count && !content.exhausted(); ++i) {
        const std::uint32_t id = content.readU32();
        const auto state = stateNamed(content.readBlob());
        if (!state)
            return false;
        read.states[id] = *state;
    }
    if (content.cursor != content.length() || read.states.size() != count)
        return false;
    memory = std::move(read);
    return true;
}

RecordStream writeAlertMemory(const AlertMemory& memory) {
    RecordStream content;
    content.appendU16(FILE_VERSION);
    appendAlertTime(content, memory.lastContact);
    appendAlertTime(content, memory.failingSince);
    appendAlertTime(content, memory.lastAttentionSent);
    appendAlertTime(content, 0);
    content.appendU16(memory.noContactReported ? NO_CONTACT_REPORTED : 0);
    content.appendU32(static_cast<std::uint32_t>(memory.states.size()));
    for (const auto& [id, state] : memory.states) {
        content.appendU32(id);
        const char* name = accountStateName(state);
        content.appendBlob(
            SecureBuffer::ofBytes(name, static_cast<std::uint32_t>(std::strlen(name))));
    }
    return content;
}

bool loadAlertMemory(AlertMemory& memory) {
    RecordStream content;
    return loadDataFile(ALERT_STATE_FILE, content) && readAlertMemory(content, memory);
}

bool saveAlertMemory(const AlertMemory& memory) {
    RecordStream content = writeAlertMemory(memory);
    return saveDataFile(ALERT_STATE_FILE, content);
}

std::optional<AlertMessage> AlertJudge::judge(const UpdateFacts& facts, const AlertTiming& timing) {
    changed_ = false;
    allWell_ = false;
    const std::int64_t now = facts.now;
    bool contactLost = false;
    bool contactBack = false;
    std::vector<AlertAccount> changes;

    if (facts.exchangeFailed) {
        // The rows of a failed exchange say nothing about the accounts: their states stand.
        if (memory_.failingSince == 0) {
            memory_.failingSince = now;
            changed_ = true;
        }
        const std::int64_t since =
            memory_.lastContact != 0 ? memory_.lastContact : memory_.failingSince;
        if (!memory_.noContactReported &&
            now - since >= std::int64_t(timing.noContactHours) * SECONDS_PER_HOUR) {
            memory_.noContactReported = true;
            contactLost = true;
            changed_ = true;
        }
    } else {
        contactBack = memory_.noContactReported;
        memory_.noContactReported = false;
        memory_.lastContact = now;
        memory_.failingSince = 0;
        changed_ = true;

        std::map<std::uint32_t, std::size_t> byId; // into lastAccounts_
        lastAccounts_.clear();
        for (const AlertRow& row : facts.rows) {
            AlertAccount account;
            account.id = row.id;
            const AccountContext context{now, facts.periodSeconds, facts.rules.rulesOf(row.id)};
            account.state = judgeAccount(row.status, context);
            account.lastCopyTime = row.status.opened ? row.status.lastCopyTime : 0;
            account.periodSeconds = accountPeriodSeconds(context.rules, facts.periodSeconds);
            const auto [at, added] = byId.emplace(row.id, lastAccounts_.size());
            if (added) {
                account.name = ansiToUtf8(row.ansiName);
                lastAccounts_.push_back(std::move(account));
            } else if (account.state < lastAccounts_[at->second].state) {
                // Two rows of one id: the graver state counts, as in the marks.
                account.name = ansiToUtf8(row.ansiName);
                lastAccounts_[at->second] = std::move(account);
            }
        }
        std::map<std::uint32_t, AccountState> states;
        for (AlertAccount& account : lastAccounts_) {
            const auto remembered = memory_.states.find(account.id);
            if (remembered != memory_.states.end())
                account.previousState = remembered->second;
            if (worthTelling(account.previousState, account.state))
                changes.push_back(account);
            states[account.id] = account.state;
        }
        memory_.states = std::move(states); // accounts no longer listed are forgotten
    }

    allWell_ = !facts.exchangeFailed && !memory_.noContactReported && countNeedingAttention() == 0;
    bool newTrouble = contactLost;
    for (const AlertAccount& account : changes)
        newTrouble = newTrouble || needsAttention(account.state);
    if (!changes.empty() || contactLost || contactBack) {
        AlertMessage sent =
            message(newTrouble ? AlertEvent::Attention : AlertEvent::Recovered, facts);
        sent.accounts = std::move(changes);
        if (newTrouble)
            memory_.lastAttentionSent = now;
        return sent;
    }

    const bool troubled = countNeedingAttention() > 0 || memory_.noContactReported;
    if (troubled && timing.reminderHours != 0 && memory_.lastAttentionSent != 0 &&
        now - memory_.lastAttentionSent >= std::int64_t(timing.reminderHours) * SECONDS_PER_HOUR) {
        memory_.lastAttentionSent = now;
        changed_ = true;
        AlertMessage reminder = message(AlertEvent::Reminder, facts);
        reminder.accounts = needingAttention();
        return reminder;
    }
    return std::nullopt;
}

std::vector<AlertAccount> AlertJudge::needingAttention() const {
    std::vector<AlertAccount> accounts;
    for (const AlertAccount& account : lastAccounts_) {
        if (!needsAttention(account.state))
            continue;
        accounts.push_back(account);
        accounts.back().previousState = account.state;
    }
    return accounts;
}

std::uint32_t AlertJudge::countNeedingAttention() const {
    std::uint32_t count = 0;
    for (const auto& [id, state] : memory_.states)
        count += needsAttention(state) ? 1U : 0U;
    return count;
}

AlertMessage AlertJudge::message(AlertEvent event, const UpdateFacts& facts) const {
    AlertMessage sent;
    sent.id = makeAlertId(facts.now);
    sent.event = event;
    sent.time = facts.now;
    sent.summary = facts.summary.empty() ? ALL_WELL_SUMMARY : facts.summary;
    sent.needingAttention = countNeedingAttention();
    if (memory_.noContactReported)
        sent.noContactSince = memory_.lastContact != 0 ? memory_.lastContact : memory_.failingSince;
    return sent;
}

} // namespace kpv
