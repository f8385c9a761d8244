#include "alerts/alert_worker.h"

#include "alerts/smtp_dialogue.h"
#include "core/data_file.h"
#include "core/secure_memory.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace kpv {

namespace {

constexpr std::int64_t LONGEST_SLEEP_SECONDS = 60; // the calendar clock may jump meanwhile

// An HTTP body holds names: wiped before its storage goes back.
void wipeRequest(HttpRequest& request) {
    secureWipe(request.body.data(), request.body.size());
}

ChannelReport httpReport(const char* channel, const HttpResult& result, std::int64_t now) {
    ChannelReport report;
    report.channel = channel;
    report.time = now;
    report.delivered = httpDelivery(result.answered, result.status) == Delivery::Delivered;
    report.detail = result.answered ? std::to_string(result.status) +
                                          (result.detail.empty() ? "" : " " + result.detail)
                                    : result.detail;
    return report;
}

} // namespace

HttpRequest webhookRequest(const AlertSettings& settings, const AlertMessage& message,
                           const AlertOrigin& origin) {
    HttpRequest request;
    request.method = "POST";
    request.url = settings.webhookUrl;
    request.timeoutMilliseconds = HTTP_TIMEOUT_MILLISECONDS;
    WipingString body;
    switch (settings.webhookFormat) {
    case WebhookFormat::Json:
        body = jsonBody(message, origin);
        request.headers.emplace_back("Content-Type", "application/json; charset=utf-8");
        break;
    case WebhookFormat::Slack:
        body = slackBody(message, origin);
        request.headers.emplace_back("Content-Type", "application/json; charset=utf-8");
        break;
    case WebhookFormat::Text:
        body = alertText(message, origin);
        request.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
        request.headers.emplace_back("Title", encodedHeaderWord(alertTitle(message), " "));
        break;
    }
    request.headers.emplace_back("X-Kopiavakt-Id", message.id);
    request.body.assign(body.begin(), body.end());
    return request;
}

struct AlertWorker::Shared {
    Shared(std::unique_ptr<HttpClient> client, MailStreamFactory factory, Clock& time,
           AlertOrigin from, std::function<void()> onChange)
        : http(std::move(client)), mail(std::move(factory)), clock(time), origin(std::move(from)),
          changed(std::move(onChange)) {}

    std::unique_ptr<HttpClient> http;
    MailStreamFactory mail;
    Clock& clock;
    const AlertOrigin origin;
    std::function<void()> changed;

    std::mutex saving; // taken before `lock`: one save of outbox.bin at a time, newest last
    mutable std::mutex lock;
    std::condition_variable wakeUp;
    std::condition_variable ended;
    AlertSettings settings;
    Outbox outbox;
    bool pingWanted = false;
    std::optional<AlertMessage> testWanted;
    AlertSettings testSettings;
    bool started = false;
    bool stopping = false;
    bool finished = false;
    bool woken = false;
    AlertWorkerStatus status;

    void saveOutbox() {
        std::lock_guard<std::mutex> one(saving);
        RecordStream content;
        {
            std::lock_guard<std::mutex> guard(lock);
            content = outbox.write();
            status.pending = outbox.entries().size();
        }
        (void)saveDataFile(OUTBOX_FILE, content); // a failed save keeps the entries in memory
    }

    // Tells the window, unless the worker is stopping (the window may be gone).
    void notify() {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (stopping)
                return;
        }
        changed();
    }

    void run();
    ChannelReport deliver(AlertChannel channel, const AlertMessage& message,
                          const AlertSettings& with, Delivery& outcome);
    ChannelReport sendPing(const AlertSettings& with);
    void runTest(const AlertMessage& message, const AlertSettings& with);
};

ChannelReport AlertWorker::Shared::deliver(AlertChannel channel, const AlertMessage& message,
                                           const AlertSettings& with, Delivery& outcome) {
    const std::int64_t now = clock.now();
    if (channel == AlertChannel::Webhook) {
        if (!with.webhookOn()) {
            outcome = Delivery::Refused; // the channel was turned off meanwhile
            return ChannelReport{"Webhook", false, "no webhook configured", now};
        }
        HttpRequest request = webhookRequest(with, message, origin);
        const HttpResult result = http->send(request);
        wipeRequest(request);
        outcome = httpDelivery(result.answered, result.status);
        return httpReport("Webhook", result, now);
    }
    if (!with.mailOn()) {
        outcome = Delivery::Refused;
        return ChannelReport{"E-post", false, "no mail configured", now};
    }
    std::unique_ptr<MailStream> stream = mail ? mail() : nullptr;
    if (!stream) {
        outcome = Delivery::RetryLater;
        return ChannelReport{"E-post", false, "no mail stream", now};
    }
    MailContent content{alertTitle(message), alertText(message, origin), message.id, message.time};
    const MailResult result = sendMail(*stream, with, content, MAIL_TIMEOUT_MILLISECONDS);
    outcome = result.outcome;
    return ChannelReport{"E-post", result.outcome == Delivery::Delivered, result.detail, now};
}

ChannelReport AlertWorker::Shared::sendPing(const AlertSettings& with) {
    HttpRequest request;
    request.method = "GET";
    request.url = with.pingUrl;
    request.timeoutMilliseconds = HTTP_TIMEOUT_MILLISECONDS;
    const std::int64_t now = clock.now();
    return httpReport("Ping", http->send(request), now);
}

void AlertWorker::Shared::runTest(const AlertMessage& message, const AlertSettings& with) {
    std::vector<ChannelReport> reports;
    Delivery outcome = Delivery::Delivered;
    if (with.webhookOn())
        reports.push_back(deliver(AlertChannel::Webhook, message, with, outcome));
    if (with.mailOn())
        reports.push_back(deliver(AlertChannel::Mail, message, with, outcome));
    if (with.pingOn())
        reports.push_back(sendPing(with));
    std::lock_guard<std::mutex> guard(lock);
    status.test = std::move(reports);
    status.testRunning = false;
}

void AlertWorker::Shared::run() {
    std::unique_lock<std::mutex> guard(lock);
    while (!stopping) {
        if (testWanted) {
            const AlertMessage message = std::move(*testWanted);
            testWanted.reset();
            const AlertSettings with = std::move(testSettings);
            guard.unlock();
            runTest(message, with);
            notify();
            guard.lock();
            continue;
        }
        const std::int64_t now = clock.now();
        if (pingWanted) {
            pingWanted = false;
            const AlertSettings with = settings;
            guard.unlock();
            const ChannelReport report =
                with.pingOn() ? sendPing(with) : ChannelReport{"Ping", false, "", now};
            guard.lock();
            status.lastPing = report;
            guard.unlock();
            notify();
            guard.lock();
            continue;
        }
        if (outbox.expire(now)) {
            guard.unlock();
            saveOutbox();
            guard.lock();
            continue;
        }
        const int index = outbox.due(now);
        if (index >= 0) {
            const OutboxEntry entry = outbox.entries()[static_cast<std::size_t>(index)];
            const AlertSettings with = settings;
            guard.unlock();
            Delivery outcome = Delivery::RetryLater;
            const ChannelReport report = deliver(entry.channel, entry.message, with, outcome);
            guard.lock();
            if (stopping)
                break; // at least once: an entry not yet settled goes again after a restart
            // New entries only join at the end and old ones leave from the front: find it again.
            const auto& entries = outbox.entries();
            for (std::size_t i = 0; i < entries.size(); ++i)
                if (entries[i].channel == entry.channel &&
                    entries[i].message.id == entry.message.id)
                    outbox.settle(static_cast<int>(i), outcome, clock.now());
            status.last = report;
            status.failing = outcome != Delivery::Delivered;
            guard.unlock();
            saveOutbox();
            notify();
            guard.lock();
            continue;
        }
        const std::int64_t next = outbox.nextDue();
        const std::int64_t seconds =
            next == 0 ? LONGEST_SLEEP_SECONDS
                      : std::clamp<std::int64_t>(next - now, 1, LONGEST_SLEEP_SECONDS);
        wakeUp.wait_for(guard, std::chrono::seconds(seconds),
                        [this] { return stopping || woken || pingWanted || testWanted; });
        woken = false;
    }
    finished = true;
    ended.notify_all();
}

AlertWorker::AlertWorker(std::unique_ptr<HttpClient> http, MailStreamFactory mail, Clock& clock,
                         AlertOrigin origin, std::function<void()> changed)
    : shared_(std::make_shared<Shared>(std::move(http), std::move(mail), clock, std::move(origin),
                                       std::move(changed))) {}

AlertWorker::~AlertWorker() {
    stop(STOP_WAIT_MILLISECONDS);
}

void AlertWorker::start(AlertSettings settings) {
    Outbox loaded;
    (void)loaded.load(); // missing or damaged: nothing waits
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->settings = std::move(settings);
        shared_->outbox = std::move(loaded);
        shared_->status.pending = shared_->outbox.entries().size();
        shared_->started = true;
    }
    // The thread holds the shared state: should stop leave it running, nothing it uses goes.
    std::thread([shared = shared_] { shared->run(); }).detach();
}

void AlertWorker::setSettings(AlertSettings settings) {
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->settings = std::move(settings);
    shared_->woken = true;
    shared_->wakeUp.notify_all();
}

void AlertWorker::submit(const AlertMessage& message) {
    bool added = false;
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        const std::int64_t now = shared_->clock.now();
        if (shared_->settings.webhookOn()) {
            shared_->outbox.add(AlertChannel::Webhook, message, now);
            added = true;
        }
        if (shared_->settings.mailOn()) {
            shared_->outbox.add(AlertChannel::Mail, message, now);
            added = true;
        }
    }
    if (!added)
        return;
    shared_->saveOutbox();
    wake();
}

void AlertWorker::ping() {
    std::lock_guard<std::mutex> guard(shared_->lock);
    if (!shared_->settings.pingOn())
        return;
    shared_->pingWanted = true;
    shared_->wakeUp.notify_all();
}

void AlertWorker::test(const AlertMessage& message, AlertSettings with) {
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->testWanted = message;
    shared_->testSettings = std::move(with);
    shared_->status.testRunning = true;
    shared_->status.test.clear();
    shared_->wakeUp.notify_all();
}

void AlertWorker::wake() {
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->woken = true;
    shared_->wakeUp.notify_all();
}

AlertWorkerStatus AlertWorker::status() const {
    std::lock_guard<std::mutex> guard(shared_->lock);
    return shared_->status;
}

void AlertWorker::stop(std::uint32_t maxWaitMilliseconds) {
    std::unique_lock<std::mutex> guard(shared_->lock);
    shared_->stopping = true;
    if (!shared_->started)
        return;
    shared_->wakeUp.notify_all();
    shared_->ended.wait_for(guard, std::chrono::milliseconds(maxWaitMilliseconds),
                            [this] { return shared_->finished; });
}

} // namespace kpv
