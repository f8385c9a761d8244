#include "tools/server/status_record.h"

#include "tools/common/byte_writer.h"

namespace kpv::tools {

SecureBuffer encodeStatusRecord(const AccountStatus& status) {
    ByteWriter out;
    out.u16(0);
    out.u32(status.lastCopyTime);
    out.u32(status.fileCount);
    out.u32(static_cast<std::uint32_t>(status.totalSize >> 32));
    out.u32(static_cast<std::uint32_t>(status.totalSize & 0xFFFFFFFFu));
    out.u32(static_cast<std::uint32_t>(status.excludedNames.size()));
    for (const SecureBuffer& name : status.excludedNames) {
        SecureBuffer text = name;
        text.appendZeros(1);
        out.blob(text);
    }
    return out.take();
}

} // namespace kpv::tools
