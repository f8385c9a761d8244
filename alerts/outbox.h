#pragma once
// Messages not yet delivered, one entry per message and channel, kept in outbox.bin (saved
// durably after every change) so that neither a failed delivery nor a restart loses one. An
// entry is retried 1 minute after its first failure, the pause doubling up to 1 hour, until it
// is delivered, refused for good, or a week old.
#include "alerts/alert_message.h"
#include "core/record_stream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kpv {

inline constexpr const char* OUTBOX_FILE = "outbox.bin";
inline constexpr std::int64_t OUTBOX_LIFETIME_SECONDS = 7 * 86400;
inline constexpr std::uint32_t MAX_OUTBOX_ENTRIES = 1000;

enum class AlertChannel : std::uint16_t { Webhook = 1, Mail = 2 };

struct OutboxEntry {
    AlertChannel channel = AlertChannel::Webhook;
    std::int64_t created = 0;     // seconds since 1970-01-01 UTC
    std::int64_t nextAttempt = 0; // due at or after this time
    std::uint32_t failures = 0;
    AlertMessage message;
};

// How one attempt ended.
enum class Delivery { Delivered, RetryLater, Refused };

// The pause after the given number of failures (at least 1): 60 s doubling, at most 3600 s.
std::int64_t retryPause(std::uint32_t failures);

// The outcome of an HTTP answer: 2xx delivered; no answer, 408, 429 or 5xx retried; any other
// status refused for good (the request itself is wrong).
Delivery httpDelivery(bool answered, int status);

class Outbox {
  public:
    // A new entry, due at once. The oldest goes when MAX_OUTBOX_ENTRIES are held.
    void add(AlertChannel channel, const AlertMessage& message, std::int64_t now);
    // Drops the entries a week old or more; true when any went.
    bool expire(std::int64_t now);
    // The index of the first entry due at now, or -1.
    int due(std::int64_t now) const;
    // The earliest nextAttempt of all entries, or 0 when there are none.
    std::int64_t nextDue() const;
    // Ends an attempt on entry `index`: gone when delivered or refused, else due again later.
    void settle(int index, Delivery outcome, std::int64_t now);

    const std::vector<OutboxEntry>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }

    // The content of outbox.bin: u16 version (1), u32 count, then the entries. read is false
    // (the outbox unchanged) for any other shape.
    bool read(RecordStream& content);
    RecordStream write() const;
    // outbox.bin in the working folder; a missing or damaged file loads as empty (false).
    bool load();
    bool save() const;

  private:
    std::vector<OutboxEntry> entries_;
};

} // namespace kpv
