#include "status/status_request.h"

#include "net/frame.h"

namespace kpv {

RecordStream buildStatusRequest(const AccountIdList& ids) {
    RecordStream request;
    beginFrame(request);
    writeMessageType(request, MSG_STATUS_REQUEST);
    writeHeaderParam1(request, 0);
    writeHeaderParam2(request, 1);
    const std::uint32_t count = ids.length();
    request.appendU16(count);
    writeFrameLength(request);

    RecordStream idBlock;
    for (std::uint32_t i = 0; i < count; ++i)
        idBlock.appendU32(ids[i]);
    request.appendBlob(idBlock.contents);
    writeFrameLength(request);
    return request;
}

} // namespace kpv
