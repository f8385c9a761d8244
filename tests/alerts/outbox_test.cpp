// The outbox: the retry schedule, the week's limit, which answers are retried, and that every
// entry survives a restart byte for byte.
#include "alerts/outbox.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

namespace kpv {
namespace {

constexpr std::int64_t START = 1800000000;

AlertMessage sample(const char* id) {
    AlertMessage message;
    message.id = id;
    message.event = AlertEvent::Attention;
    message.time = START;
    message.summary = "1 konto har en föråldrad kopia";
    message.needingAttention = 1;
    AlertAccount account;
    account.id = 300;
    account.name = "Åsa";
    account.state = AccountState::Outdated;
    account.previousState = AccountState::Ok;
    account.lastCopyTime = START - 864000;
    account.periodSeconds = 3 * 86400;
    message.accounts.push_back(account);
    return message;
}

} // namespace

TEST_CASE("a failed entry waits 1 minute, then twice as long each time up to 1 hour") {
    CHECK(retryPause(1) == 60);
    CHECK(retryPause(2) == 120);
    CHECK(retryPause(6) == 1920);
    CHECK(retryPause(7) == 3600);
    CHECK(retryPause(400) == 3600);

    Outbox outbox;
    outbox.add(AlertChannel::Webhook, sample("a"), START);
    CHECK(outbox.due(START) == 0);
    outbox.settle(0, Delivery::RetryLater, START);
    CHECK(outbox.due(START + 59) == -1);
    CHECK(outbox.due(START + 60) == 0);
    outbox.settle(0, Delivery::RetryLater, START + 60);
    CHECK(outbox.nextDue() == START + 180);

    // Kept until a week has passed since it was made, then dropped unsent.
    CHECK_FALSE(outbox.expire(START + OUTBOX_LIFETIME_SECONDS - 1));
    CHECK(outbox.expire(START + OUTBOX_LIFETIME_SECONDS));
    CHECK(outbox.empty());

    outbox.add(AlertChannel::Mail, sample("b"), START);
    outbox.settle(0, Delivery::Delivered, START);
    CHECK(outbox.empty());
}

TEST_CASE("no answer, 408, 429 and 5xx are retried; other 4xx are refused for good") {
    CHECK(httpDelivery(true, 200) == Delivery::Delivered);
    CHECK(httpDelivery(true, 204) == Delivery::Delivered);
    CHECK(httpDelivery(false, 0) == Delivery::RetryLater);
    CHECK(httpDelivery(true, 408) == Delivery::RetryLater);
    CHECK(httpDelivery(true, 429) == Delivery::RetryLater);
    CHECK(httpDelivery(true, 500) == Delivery::RetryLater);
    CHECK(httpDelivery(true, 503) == Delivery::RetryLater);
    CHECK(httpDelivery(true, 400) == Delivery::Refused);
    CHECK(httpDelivery(true, 404) == Delivery::Refused);
}

TEST_CASE("outbox.bin brings every entry back after a restart; a damaged file none") {
    test::TempFolder folder;
    Outbox before;
    before.add(AlertChannel::Webhook, sample("a"), START);
    before.add(AlertChannel::Mail, sample("a"), START);
    before.settle(1, Delivery::RetryLater, START + 5);
    REQUIRE(before.save());

    Outbox after;
    REQUIRE(after.load());
    REQUIRE(after.entries().size() == 2);
    const OutboxEntry& mail = after.entries()[1];
    CHECK(mail.channel == AlertChannel::Mail);
    CHECK(mail.failures == 1);
    CHECK(mail.nextAttempt == START + 65);
    CHECK(mail.message.id == "a");
    CHECK(mail.message.summary == "1 konto har en föråldrad kopia");
    REQUIRE(mail.message.accounts.size() == 1);
    CHECK(mail.message.accounts[0].name == "Åsa");
    CHECK(mail.message.accounts[0].previousState == AccountState::Ok);
    CHECK(mail.message.accounts[0].lastCopyTime == START - 864000);
    CHECK(after.write().contents.equals(before.write().contents));

    const RecordStream whole = before.write();
    for (std::uint32_t cut = 0; cut < whole.length(); ++cut) {
        RecordStream part(whole.contents.slice(0, cut));
        Outbox read;
        read.add(AlertChannel::Webhook, sample("kept"), START);
        CHECK_FALSE(read.read(part));
        CHECK(read.entries().size() == 1);
    }
}

} // namespace kpv
