#include "tools/keytool/key_files.h"

#include "tools/common/byte_writer.h"

namespace kpv::tools {
namespace {

SecureBuffer inEnvelope(const SecureBuffer& content) {
    ByteWriter file;
    file.blob(content);
    return file.take();
}

} // namespace

SecureBuffer encodeRemoteLogFile(std::uint32_t id, const SecureBuffer& secret) {
    ByteWriter content;
    content.u16(0);
    content.u32(id);
    content.blob(secret);
    return inEnvelope(content.buffer());
}

bool isStorableName(const SecureBuffer& name) {
    if (name.length() > MAX_NAME_BYTES)
        return false;
    for (std::uint32_t i = 0; i < name.length(); ++i) {
        if (name.data()[i] < 0x20 || name.data()[i] == 0x7F)
            return false;
    }
    return true;
}

SecureBuffer encodeUserList(const std::vector<UserListEntry>& entries) {
    ByteWriter content;
    content.u32(static_cast<std::uint32_t>(entries.size()));
    for (const UserListEntry& entry : entries) {
        content.u32(entry.id);
        content.blob(entry.secret);
        SecureBuffer text = entry.name;
        text.appendZeros(1);
        content.blob(text);
    }
    return inEnvelope(content.buffer());
}

} // namespace kpv::tools
