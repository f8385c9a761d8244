#include "tools/server/request_frame.h"

#include "tools/common/byte_writer.h"

namespace kpv::tools {

HeaderVerdict checkRequestHeader(const std::uint8_t* header, FrameHeader& out) {
    if (header[0] != 'C' || header[1] != 'H' || header[2] != 'K')
        return HeaderVerdict::BadMagic;
    if (header[3] != 0)
        return HeaderVerdict::BadReserved;
    const SecureBuffer whole = SecureBuffer::ofBytes(header, FRAME_HEADER_SIZE);
    out.length = frameAnnouncedLength(whole);
    out.messageType = frameMessageType(whole);
    out.headerParam1 = loadU16(header + HEADER_PARAM1_OFFSET);
    out.headerParam2 = loadU16(header + HEADER_PARAM2_OFFSET);
    if (out.length < FRAME_HEADER_SIZE || out.length > MAX_REQUEST_SIZE)
        return HeaderVerdict::BadLength;
    if (out.messageType != MSG_STATUS_REQUEST)
        return HeaderVerdict::BadType;
    return HeaderVerdict::Ok;
}

const char* verdictText(HeaderVerdict verdict) {
    switch (verdict) {
    case HeaderVerdict::Ok:
        return "ok";
    case HeaderVerdict::BadMagic:
        return "not a CHK frame";
    case HeaderVerdict::BadReserved:
        return "reserved byte not 0";
    case HeaderVerdict::BadLength:
        return "frame length out of range";
    case HeaderVerdict::BadType:
        return "not a status request";
    }
    return "?";
}

bool parseStatusRequest(const SecureBuffer& frame, std::vector<std::uint32_t>& ids) {
    ids.clear();
    FrameHeader header;
    constexpr std::uint32_t BODY = FRAME_HEADER_SIZE + 2 + 4;
    if (frame.length() < BODY || checkRequestHeader(frame.data(), header) != HeaderVerdict::Ok ||
        header.length != frame.length())
        return false;
    const std::uint8_t* p = frame.data();
    const std::uint32_t count = loadU16(p + FRAME_HEADER_SIZE);
    const std::uint32_t blobLength = loadU32(p + FRAME_HEADER_SIZE + 2);
    if (blobLength != 4 * count || blobLength != frame.length() - BODY)
        return false;
    ids.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i)
        ids.push_back(loadU32(p + BODY + 4 * i));
    return true;
}

} // namespace kpv::tools
