#pragma once
// Builds status replies as the monitoring server sends them, sealed with the test sealer.
#include "core/record_stream.h"
#include "net/frame.h"
#include "tests/support/status_sealer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kpv::test {

struct PlainStatus {
    std::uint32_t lastCopyTime = 0;
    std::uint32_t fileCount = 0;
    std::uint64_t totalSize = 0;
    std::vector<std::string> excludedNames;   // each sent with one terminating zero byte
    std::uint32_t excludedCount = UINT32_MAX; // UINT32_MAX: the number of names
};

inline SecureBuffer plaintextOf(const PlainStatus& s) {
    RecordStream r;
    r.appendU16(0xBEEF);
    r.appendU32(s.lastCopyTime);
    r.appendU32(s.fileCount);
    r.appendU32(static_cast<std::uint32_t>(s.totalSize >> 32));
    r.appendU32(static_cast<std::uint32_t>(s.totalSize));
    r.appendU32(s.excludedCount != UINT32_MAX ? s.excludedCount
                                              : static_cast<std::uint32_t>(s.excludedNames.size()));
    for (const std::string& name : s.excludedNames)
        r.appendBlob(SecureBuffer::fromCString(name.c_str()));
    return r.contents;
}

struct ReplyEntry {
    SecureBuffer sealed;
    SecureBuffer tag;
    std::uint64_t diskSpace = 0;
    std::uint32_t storedCopies = 0;
    std::uint32_t copiesMade = 0;
};

inline ReplyEntry sealedEntry(const SecureBuffer& plaintext, const SecureBuffer& secret) {
    static const std::uint8_t IV[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
    SealedStatus sealed = sealStatus(plaintext, secret, IV);
    ReplyEntry entry;
    entry.sealed = sealed.payload;
    entry.tag = sealed.tag;
    return entry;
}

inline RecordStream replyFrame(const std::vector<ReplyEntry>& entries,
                               std::uint16_t type = MSG_STATUS_REPLY) {
    RecordStream list;
    for (const ReplyEntry& e : entries) {
        list.appendBlob(e.sealed);
        list.appendBlob(e.tag);
        list.appendU32(static_cast<std::uint32_t>(e.diskSpace >> 32));
        list.appendU32(static_cast<std::uint32_t>(e.diskSpace));
        list.appendU32(e.storedCopies);
        list.appendU32(e.copiesMade);
    }
    RecordStream frame;
    beginFrame(frame);
    writeMessageType(frame, type);
    frame.appendBlob(list.contents);
    writeFrameLength(frame);
    frame.cursor = FRAME_HEADER_SIZE;
    return frame;
}

} // namespace kpv::test
