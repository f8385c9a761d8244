#include "accounts/remote_log_file.h"

#include "core/data_file.h"

namespace kpv {

RemoteLogResult readRemoteLog(RecordStream& content, RemoteLogAccount& account) {
    if (content.readU16() != 0)
        return RemoteLogResult::BadFormat;
    account.accountId = content.readU32();
    account.keyMaterial = content.readBlob();
    return RemoteLogResult::Ok;
}

RemoteLogResult loadRemoteLogFile(const SecureBuffer& path, RemoteLogAccount& account) {
    RecordStream content;
    if (path.empty() || !loadDataFile(path.text(), content))
        return RemoteLogResult::Unreadable;
    return readRemoteLog(content, account);
}

} // namespace kpv
