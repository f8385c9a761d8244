#include "alerts/outbox.h"

#include "core/data_file.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace kpv {
namespace {

constexpr std::uint16_t FILE_VERSION = 1;
constexpr std::int64_t FIRST_PAUSE = 60;
constexpr std::int64_t LONGEST_PAUSE = 3600;
constexpr std::uint32_t MAX_ACCOUNTS = 0x10000;
constexpr std::uint32_t MAX_TEXT = 4096;

template <typename Text>
void appendText(RecordStream& out, const Text& text) {
    out.appendBlob(SecureBuffer::ofBytes(text.data(), static_cast<std::uint32_t>(text.size())));
}

template <typename Text>
bool readText(RecordStream& in, Text& text) {
    const SecureBuffer blob = in.readBlob();
    if (blob.length() > MAX_TEXT)
        return false;
    text.assign(reinterpret_cast<const char*>(blob.data()), blob.length());
    return true;
}

// States by name, as in alert_state.bin; no name for no state.
void appendState(RecordStream& out, std::optional<AccountState> state) {
    appendText(out, std::string(state ? accountStateName(*state) : ""));
}

bool readState(RecordStream& in, std::optional<AccountState>& state) {
    std::string name;
    if (!readText(in, name))
        return false;
    state.reset();
    if (name.empty())
        return true;
    state = accountStateNamed(name);
    return state.has_value();
}

void appendMessage(RecordStream& out, const AlertMessage& message) {
    appendText(out, message.id);
    out.appendU16(static_cast<std::uint32_t>(message.event));
    appendAlertTime(out, message.time);
    appendText(out, message.summary);
    out.appendU32(message.needingAttention);
    appendAlertTime(out, message.noContactSince);
    out.appendU32(static_cast<std::uint32_t>(message.accounts.size()));
    for (const AlertAccount& account : message.accounts) {
        out.appendU32(account.id);
        appendText(out, account.name);
        appendState(out, account.state);
        appendState(out, account.previousState);
        out.appendU32(account.lastCopyTime);
        out.appendU32(account.periodSeconds);
    }
}

bool readMessage(RecordStream& in, AlertMessage& message) {
    if (!readText(in, message.id))
        return false;
    const std::uint32_t event = in.readU16();
    if (event > static_cast<std::uint32_t>(AlertEvent::Test))
        return false;
    message.event = static_cast<AlertEvent>(event);
    message.time = readAlertTime(in);
    if (!readText(in, message.summary))
        return false;
    message.needingAttention = in.readU32();
    message.noContactSince = readAlertTime(in);
    const std::uint32_t count = in.readU32();
    if (count > MAX_ACCOUNTS)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (in.exhausted())
            return false;
        AlertAccount account;
        account.id = in.readU32();
        std::optional<AccountState> state;
        if (!readText(in, account.name) || !readState(in, state) || !state ||
            !readState(in, account.previousState))
            return false;
        account.state = *state;
        account.lastCopyTime = in.readU32();
        account.periodSeconds = in.readU32();
        message.accounts.push_back(std::move(account));
    }
    return true;
}

} // namespace

std::int64_t retryPause(std::uint32_t failures) {
    std::int64_t pause = FIRST_PAUSE;
    for (std::uint32_t i = 1; i < failures && pause < LONGEST_PAUSE; ++i)
        pause *= 2;
    return std::min(pause, LONGEST_PAUSE);
}

Delivery httpDelivery(bool answered, int status) {
    if (!answered || status == 408 || status == 429 || (status >= 500 && status <= 599))
        return Delivery::RetryLater;
    return status >= 200 && status <= 299 ? Delivery::Delivered : Delivery::Refused;
}

void Outbox::add(AlertChannel channel, const AlertMessage& message, std::int64_t now) {
    if (entries_.size() >= MAX_OUTBOX_ENTRIES)
        entries_.erase(entries_.begin());
    entries_.push_back(OutboxEntry{channel, now, now, 0, message});
}

bool Outbox::expire(std::int64_t now) {
    const auto before = entries_.size();
    std::erase_if(entries_, [now](const OutboxEntry& entry) {
        return now - entry.created >= OUTBOX_LIFETIME_SECONDS;
    });
    return entries_.size() != before;
}

int Outbox::due(std::int64_t now) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].nextAttempt <= now)
            return static_cast<int>(i);
    return -1;
}

std::int64_t Outbox::nextDue() const {
    std::int64_t next = 0;
    for (const OutboxEntry& entry : entries_)
        if (next == 0 || entry.nextAttempt < next)
            next = entry.nextAttempt;
    return next;
}

void Outbox::settle(int index, Delivery outcome, std::int64_t now) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size())
        return;
    if (outcome != Delivery::RetryLater) {
        entries_.erase(entries_.begin() + index);
        return;
    }
    OutboxEntry& entry = entries_[static_cast<std::size_t>(index)];
    entry.failures += 1;
    entry.nextAttempt = now + retryPause(entry.failures);
}

bool Outbox::read(RecordStream& content) {
    if (content.readU16() != FILE_VERSION)
        return false;
    const std::uint32_t count = content.readU32();
    if (count > MAX_OUTBOX_ENTRIES)
        return false;
    std::vector<OutboxEntry> read;
    for (std::uint32_t i = 0; i < count; ++i) {
        OutboxEntry entry;
        const std::uint32_t channel = content.readU16();
        if (channel != static_cast<std::uint32_t>(AlertChannel::Webhook) &&
            channel != static_cast<std::uint32_t>(AlertChannel::Mail))
            return false;
        entry.channel = static_cast<AlertChannel>(channel);
        entry.created = readAlertTime(content);
        entry.nextAttempt = readAlertTime(content);
        entry.failures = content.readU32();
        if (!readMessage(content, entry.message))
            return false;
        read.push_back(std::move(entry));
    }
    if (content.cursor != content.length())
        return false;
    entries_ = std::move(read);
    return true;
}

RecordStream Outbox::write() const {
    RecordStream content;
    content.appendU16(FILE_VERSION);
    content.appendU32(static_cast<std::uint32_t>(entries_.size()));
    for (const OutboxEntry& entry : entries_) {
        content.appendU16(static_cast<std::uint32_t>(entry.channel));
        appendAlertTime(content, entry.created);
        appendAlertTime(content, entry.nextAttempt);
        content.appendU32(entry.failures);
        appendMessage(content, entry.message);
    }
    return content;
}

bool Outbox::load() {
    RecordStream content;
    return loadDataFile(OUTBOX_FILE, content) && read(content);
}

bool Outbox::save() const {
    RecordStream content = write();
    return saveDataFile(OUTBOX_FILE, content);
}

} // namespace kpv
