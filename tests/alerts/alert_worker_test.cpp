// The delivery worker with a scripted HTTP client: messages wait in outbox.bin until a
// receiver takes them, also across a restart; a receiver that never answers holds up no caller.
#include "alerts/alert_worker.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kpv {
namespace {

constexpr std::int64_t START = 1800000000;

class MovableClock final : public Clock {
  public:
    std::int64_t now() override { return seconds.load(); }
    std::uint64_t milliseconds() override { return std::uint64_t(seconds.load()) * 1000; }
    void sleepMilliseconds(std::uint32_t) override {}
    std::atomic<std::int64_t> seconds{START};
};

// Answers with `status` (0: no answer); while `hold` is set, a request waits until released.
struct Receiver {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<HttpRequest> requests;
    int entered = 0; // requests that reached send, held or not
    int status = 0;
    bool hold = false;
};

class ScriptedHttp final : public HttpClient {
  public:
    explicit ScriptedHttp(std::shared_ptr<Receiver> receiver) : receiver_(std::move(receiver)) {}
    HttpResult send(const HttpRequest& request) override {
        std::unique_lock<std::mutex> guard(receiver_->lock);
        ++receiver_->entered;
        receiver_->changed.notify_all();
        receiver_->changed.wait(guard, [this] { return !receiver_->hold; });
        receiver_->requests.push_back(request);
        receiver_->changed.notify_all();
        if (receiver_->status == 0)
            return HttpResult{false, 0, "connection refused"};
        return HttpResult{true, receiver_->status, "scripted"};
    }

  private:
    std::shared_ptr<Receiver> receiver_;
};

AlertSettings webhookAndPing() {
    AlertSettings settings;
    settings.configured = true;
    settings.webhookUrl = "http://127.0.0.1:1/hook";
    settings.pingUrl = "http://127.0.0.1:1/ping";
    return settings;
}

AlertMessage message(const char* id) {
    AlertMessage sent;
    sent.id = id;
    sent.event = AlertEvent::Attention;
    sent.time = START;
    return sent;
}

// Waits (at most ten seconds) until `done` holds for the receiver.
template <typename Condition>
bool waitFor(Receiver& receiver, Condition done) {
    std::unique_lock<std::mutex> guard(receiver.lock);
    return receiver.changed.wait_for(guard, std::chrono::seconds(10), [&] { return done(); });
}

bool waitForStatus(AlertWorker& worker, bool (*done)(const AlertWorkerStatus&)) {
    for (int i = 0; i < 1000; ++i) {
        if (done(worker.status()))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::unique_ptr<AlertWorker> makeWorker(const std::shared_ptr<Receiver>& receiver,
                                        MovableClock& clock) {
    return std::make_unique<AlertWorker>(std::make_unique<ScriptedHttp>(receiver), nullptr, clock,
                                         AlertOrigin{"PC", "anna", "1.0.0"}, [] {});
}

} // namespace

TEST_CASE("a message waits in outbox.bin while the receiver is down and goes once it is back") {
    test::TempFolder folder;
    MovableClock clock;
    auto receiver = std::make_shared<Receiver>();
    {
        auto worker = makeWorker(receiver, clock);
        worker->start(webhookAndPing());
        worker->submit(message("m1"));
        REQUIRE(waitForStatus(*worker, [](const AlertWorkerStatus& s) { return s.failing; }));
        CHECK(worker->status().pending == 1);
        CHECK(worker->status().last.detail == "connection refused");
        worker->stop(2000);
        // Looked at once the worker is still: under Wine a replace in progress hides the file.
        CHECK(test::fileExists("outbox.bin"));
    }
    CHECK(receiver->requests.size() == 1);

    // A restart: the entry comes back from the file, and waits for its minute.
    receiver->status = 204;
    auto worker = makeWorker(receiver, clock);
    worker->start(webhookAndPing());
    CHECK(worker->status().pending == 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    CHECK(receiver->requests.size() == 1);
    clock.seconds += 60;
    worker->wake();
    REQUIRE(waitForStatus(*worker, [](const AlertWorkerStatus& s) { return s.pending == 0; }));
    CHECK_FALSE(worker->status().failing);
    REQUIRE(receiver->requests.size() == 2);
    const HttpRequest& sent = receiver->requests[1];
    CHECK(sent.method == "POST");
    CHECK(sent.url == "http://127.0.0.1:1/hook");
    CHECK(sent.body.find("\"id\":\"m1\"") != std::string::npos);

    // A 4xx other than 408 and 429 is not tried again.
    receiver->status = 404;
    worker->submit(message("m2"));
    REQUIRE(waitForStatus(*worker,
                          [](const AlertWorkerStatus& s) { return s.pending == 0 && s.failing; }));
    worker->stop(2000);
}

TEST_CASE("a receiver that never answers holds up neither submit, ping, status nor stop") {
    test::TempFolder folder;
    MovableClock clock;
    auto receiver = std::make_shared<Receiver>();
    receiver->hold = true;
    receiver->status = 200;
    auto worker = makeWorker(receiver, clock);
    worker->start(webhookAndPing());
    worker->submit(message("m1"));
    worker->submit(message("m2"));
    worker->ping();
    // Stop only once the delivery hangs, however slowly the thread got there.
    REQUIRE(waitFor(*receiver, [&] { return receiver->entered == 1; }));
    const auto before = std::chrono::steady_clock::now();
    worker->stop(100); // the delivery still hangs: stop returns after its bounded wait
    CHECK(std::chrono::steady_clock::now() - before < std::chrono::seconds(5));
    CHECK(worker->status().pending == 2);
    worker.reset();
    {
        std::lock_guard<std::mutex> guard(receiver->lock);
        receiver->hold = false;
    }
    receiver->changed.notify_all();
    // The thread left behind finishes its one delivery and ends without touching the rest.
    CHECK(waitFor(*receiver, [&] { return receiver->requests.size() == 1; }));
}

TEST_CASE("the test sends on every configured channel at once and reports each") {
    test::TempFolder folder;
    MovableClock clock;
    auto receiver = std::make_shared<Receiver>();
    receiver->status = 200;
    auto worker = makeWorker(receiver, clock);
    worker->start(webhookAndPing());
    AlertMessage test = message("t1");
    test.event = AlertEvent::Test;
    worker->test(test, webhookAndPing());
    REQUIRE(waitForStatus(
        *worker, [](const AlertWorkerStatus& s) { return !s.testRunning && s.test.size() == 2; }));
    const auto reports = worker->status().test;
    CHECK(reports[0].channel == "Webhook");
    CHECK(reports[0].delivered);
    CHECK(reports[0].detail == "200 scripted");
    CHECK(reports[1].channel == "Ping");
    CHECK(receiver->requests[1].method == "GET");
    CHECK(worker->status().pending == 0);
    CHECK_FALSE(test::fileExists("outbox.bin"));
    worker->stop(2000);
}

} // namespace kpv
