#pragma once
// SendAction: the owner of one request/reply conversation with the server. The connection
// calls it back and nothing else does; it is made for one exchange and never reused.
//
// Order of calls in one exchange: onCachedAddress (only when the cached server address is
// used) before the request goes out; then handleReply once per whole reply, followed by
// onCompleted when it returns false; or, when the exchange fails, prepareRetry zero or more
// times (only after a broken connection) and a final onFailed. A quiet reconnection attempt
// may report a failed socket creation or address-cache write through onFailed before that.
// The destructor always comes last, called by the connection that owns the action.
#include "core/record_stream.h"

#include <cstdint>

namespace kpv {

class SendAction {
  public:
    SendAction() = default;
    SendAction(const SendAction&) = delete;
    SendAction& operator=(const SendAction&) = delete;

    // `reply` holds one whole frame with its cursor at the body (offset 14); `next` is empty.
    // True: send what was put into `next` (possibly nothing) and wait for another reply on the
    // same connection; write 1 into `longIdle` to allow 600 s instead of 90 s for it.
    // False: the conversation is finished.
    virtual bool handleReply(RecordStream& reply, RecordStream& next, std::uint8_t& longIdle) = 0;
    // After a broken connection. True: wait, reconnect and send what `outgoing` then holds
    // (the action may refill it with the request). False: give up.
    virtual bool prepareRetry(RecordStream& /*outgoing*/) { return false; }
    virtual void onCompleted() {}
    // stage: an ExchangeStage; error: the socket error number, or 0.
    virtual void onFailed(std::int32_t /*stage*/, std::int32_t /*error*/) {}
    // The server's name did not resolve and the cached address is used; the value is 0.
    virtual void onCachedAddress(std::int32_t /*unused*/) {}
    // Never called by the exchange.
    virtual void reservedHook() {}
    virtual ~SendAction();
};

} // namespace kpv
