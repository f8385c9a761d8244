#pragma once
// Where an exchange failed: reported to the action's onFailed with a socket error number.
#include <cstdint>

namespace kpv {

enum ExchangeStage : std::int32_t {
    StageConnect = 0,         // no address (resolution failed, no usable cache) or connect failed
    StageIdleTimeout = 1,     // nothing arrived within the idle limit
    StageReceive = 2,         // recv failed
    StageSelect = 3,          // the readiness wait failed
    StageSocketException = 4, // the readiness wait reported an exceptional condition
    StageSend = 5,            // send failed or sent nothing
    StageClosed = 6,          // the server closed before a whole frame had arrived
    StageSocketCreate = 7,    // no socket could be made (also: socket start-up had failed)
    StageProtocol = 8,        // the reply can never be a frame within the size limit
};

} // namespace kpv
