#pragma once
// The one delivery worker: a thread of its own that takes alerts from the outbox, the ping and
// the dialog's test, delivers them through the HTTP client and the mail stream, and tells the
// window through `changed` (called on the worker's thread; the shell posts a message). Nothing
// here ever makes the caller wait for a delivery: every call only takes a short lock, and
// stop waits at most the time it is given, then leaves the delivery under way to the process's
// end.
#include "alerts/alert_bodies.h"
#include "alerts/alert_settings.h"
#include "alerts/outbox.h"
#include "core/clock.h"
#include "net/http_client.h"
#include "net/mail_stream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kpv {

inline constexpr std::uint32_t HTTP_TIMEOUT_MILLISECONDS = 15000;
inline constexpr std::uint32_t MAIL_TIMEOUT_MILLISECONDS = 20000;

// The outcome of one attempt on one channel.
struct ChannelReport {
    std::string channel; // "Webhook", "E-post", "Ping"
    bool delivered = false;
    std::string detail; // the server's answer or what failed, UTF-8
    std::int64_t time = 0;
};

struct AlertWorkerStatus {
    ChannelReport last;      // the latest attempt of a message (time 0: none yet)
    ChannelReport lastPing;  // the latest ping
    bool failing = false;    // the latest attempt of a message did not deliver it
    std::size_t pending = 0; // entries in the outbox
    bool testRunning = false;
    std::vector<ChannelReport> test; // the latest test, one report per configured channel
};

using MailStreamFactory = std::function<std::unique_ptr<MailStream>()>;

// The request that carries message to the webhook in the settings' format.
HttpRequest webhookRequest(const AlertSettings& settings, const AlertMessage& message,
                           const AlertOrigin& origin);

class AlertWorker {
  public:
    AlertWorker(std::unique_ptr<HttpClient> http, MailStreamFactory mail, Clock& clock,
                AlertOrigin origin, std::function<void()> changed);
    AlertWorker(const AlertWorker&) = delete;
    AlertWorker& operator=(const AlertWorker&) = delete;
    // Stops as stop(STOP_WAIT_MILLISECONDS) does.
    ~AlertWorker();

    // Loads outbox.bin and starts the thread; entries due go out at once.
    void start(AlertSettings settings);
    void setSettings(AlertSettings settings);
    // One outbox entry per configured channel (webhook, mail), saved before this returns.
    void submit(const AlertMessage& message);
    // One GET of the ping URL; a ping still waiting is not doubled.
    void ping();
    // Sends message at once on every channel that `with` configures, ping included, outside
    // the outbox (the dialog tests what it shows, saved or not).
    void test(const AlertMessage& message, AlertSettings with);
    // Looks again at the outbox now (after the clock was moved, in tests).
    void wake();
    AlertWorkerStatus status() const;
    // Asks the thread to end and waits for it at most maxWait milliseconds.
    void stop(std::uint32_t maxWaitMilliseconds);

    static constexpr std::uint32_t STOP_WAIT_MILLISECONDS = 1500;

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace kpv
