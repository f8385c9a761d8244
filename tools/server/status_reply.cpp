#include "tools/server/status_reply.h"

#include "tools/common/byte_writer.h"
#include "tools/common/sealer.h"
#include "tools/server/request_frame.h"

namespace kpv::tools {
namespace {

void emptyEntry(ByteWriter& list) {
    list.blob({});
    list.blob({});
    for (int i = 0; i < 4; ++i)
        list.u32(0);
}

const char* appendEntry(ByteWriter& list, const ServerAccount* account, FaultSet faults) {
    if (account == nullptr) {
        emptyEntry(list);
        return "unknown";
    }
    if (!account->hasStatus) {
        emptyEntry(list);
        return "no-status";
    }
    SealedStatus sealed;
    if (!sealStatus(account->secret, encodeStatusRecord(account->status), sealed)) {
        emptyEntry(list);
        return "unsealable";
    }
    const bool badTag = faults.has(Fault::BadTag);
    if (badTag)
        sealed.tag.data()[SEAL_TAG_SIZE - 1] ^= 0x01;
    const AccountStatus& status = account->status;
    list.blob(sealed.payload);
    list.blob(sealed.tag);
    list.u32(static_cast<std::uint32_t>(status.diskSpace >> 32));
    list.u32(static_cast<std::uint32_t>(status.diskSpace & 0xFFFFFFFFu));
    list.u32(status.storedCopies);
    list.u32(status.copiesMade);
    return badTag ? "bad-tag" : "sealed";
}

} // namespace

StatusReply buildStatusReply(const std::vector<std::uint32_t>& ids,
                             const AccountDirectory& accounts, FaultSet runFaults) {
    StatusReply reply;
    reply.faults = runFaults;
    ByteWriter list;
    for (const std::uint32_t id : ids) {
        const auto it = accounts.find(id);
        const ServerAccount* account = it == accounts.end() ? nullptr : &it->second;
        FaultSet faults = runFaults;
        if (account != nullptr)
            faults.add(account->faults);
        reply.faults.add(faults);
        if (!reply.summary.empty())
            reply.summary += ' ';
        reply.summary += std::to_string(id) + ':' + appendEntry(list, account, faults);
    }
    ByteWriter frame;
    frame.bytes("CHK", 3);
    frame.u8(0);
    frame.u32(0);
    frame.u16(reply.faults.has(Fault::WrongType) ? MSG_STATUS_REQUEST : MSG_STATUS_REPLY);
    frame.u16(0);
    frame.u16(0);
    frame.blob(list.buffer());
    frame.patchU32(4, frame.length());
    reply.frame = frame.take();
    return reply;
}

} // namespace kpv::tools
