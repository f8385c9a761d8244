#include "check/status_query.h"

#include "net/exchange_stage.h"
#include "net/frame.h"
#include "net/server_connection.h"
#include "status/status_reply_reader.h"
#include "status/status_request.h"

#include <algorithm>
#include <memory>
#include <string>

namespace kpv::check {
namespace {

// Short readiness waits, so that the whole-exchange limit is noticed within a fraction of a
// second rather than the client's 2 s.
constexpr std::uint32_t CHECK_READINESS_WAIT_MILLISECONDS = 200;

WipingString failureText(std::int32_t stage, std::int32_t error, const QueryTarget& target) {
    WipingString text;
    const std::string where = target.host + ":" + std::to_string(target.port);
    switch (stage) {
    case StageConnect:
        text = "no contact with the server ";
        text += where.c_str();
        break;
    case StageIdleTimeout:
        text = "no whole reply from the server ";
        text += where.c_str();
        text += " in time";
        break;
    case StageClosed:
        text = "the server ";
        text += where.c_str();
        text += " closed the connection before a whole reply had arrived";
        break;
    case StageProtocol:
        text = "the server ";
        text += where.c_str();
        text += " sent something that is not a reply frame";
        break;
    default:
        text = "the exchange with the server ";
        text += where.c_str();
        text += " failed at stage ";
        text += std::to_string(stage).c_str();
        break;
    }
    if (error != 0) {
        text += " (error ";
        text += std::to_string(error).c_str();
        text += ")";
    }
    return text;
}

// The check's action: reads the one reply into the report and never waits for another.
class CheckAct final : public SendAction {
  public:
    CheckAct(const QueryTarget& target, const AccountIdList& ids, const BufferList& keys,
             const BufferList& names, CheckReport& report)
        : target_(target), ids_(ids), keys_(keys), names_(names), report_(report) {}

    bool handleReply(RecordStream& reply, RecordStream& /*next*/,
                     std::uint8_t& /*longIdle*/) override {
        if (!isStatusReply(reply.contents)) {
            report_.error = "the server's reply is not a status reply (message type ";
            report_.error += std::to_string(frameMessageType(reply.contents)).c_str();
            report_.error += ")";
            return false;
        }
        report_.accounts.reserve(ids_.length());
        readStatusReply(reply, ids_.length(), ids_, keys_, names_, [&](AccountStatus& status) {
            AccountResult result;
            result.row = std::move(status.row);
            report_.accounts.push_back(std::move(result));
        });
        return false;
    }

    void onFailed(std::int32_t stage, std::int32_t error) override {
        if (report_.error.empty())
            report_.error = failureText(stage, error, target_);
    }

  private:
    const QueryTarget& target_;
    const AccountIdList& ids_;
    const BufferList& keys_;
    const BufferList& names_;
    CheckReport& report_;
};

// One successful start-up of the platform's sockets, undone on every path.
class SocketsStarted {
  public:
    explicit SocketsStarted(SocketLayer& sockets) : sockets_(sockets), ok_(sockets.startup()) {}
    SocketsStarted(const SocketsStarted&) = delete;
    SocketsStarted& operator=(const SocketsStarted&) = delete;
    ~SocketsStarted() {
        if (ok_)
            sockets_.cleanup();
    }
    bool ok() const noexcept { return ok_; }

  private:
    SocketLayer& sockets_;
    bool ok_;
};

} // namespace

void queryStatuses(const QueryTarget& target, const AccountIdList& accountIds,
                   const BufferList& accountKeys, const BufferList& accountNames,
                   CheckReport& report) {
    if (accountIds.length() == 0)
        return;
    if (accountIds.length() > MAX_REQUEST_ACCOUNTS) {
        report.error = "the account list holds more than 65535 accounts, more than one request "
                       "can name";
        return;
    }
    SocketLayer& sockets = systemSocketLayer();
    const SocketsStarted started(sockets);
    if (!started.ok()) {
        report.error = "the network could not be started";
        return;
    }
    ServerAddress address;
    address.port = target.port;
    if (const std::int32_t error = sockets.resolve(target.host.c_str(), address.address);
        error != 0 || address.address == 0) {
        report.error = "cannot resolve the server name ";
        report.error += target.host.c_str();
        return;
    }

    ExchangeTiming timing;
    timing.readinessWaitMilliseconds = CHECK_READINESS_WAIT_MILLISECONDS;
    timing.idleLimitMilliseconds = std::min(timing.idleLimitMilliseconds, target.limitMilliseconds);
    timing.longIdleLimitMilliseconds = timing.idleLimitMilliseconds;
    timing.exchangeLimitMilliseconds = target.limitMilliseconds;
    bool startupFailed = false;
    ServerConnection connection(address, startupFailed, sockets, systemExchangeClock(), timing);

    std::unique_ptr<SendAction> action =
        std::make_unique<CheckAct>(target, accountIds, accountKeys, accountNames, report);
    const RecordStream request = buildStatusRequest(accountIds);
    if (!connection.queueAction(action, request)) {
        report.error = "the status request could not be queued";
        return;
    }
    (void)connection.runExchange(); // a failure was written into the report by the action
}

} // namespace kpv::check
