#include "accounts/remote_log_file.h"

#include <doctest/doctest.h>

#include <vector>

using namespace kpv;

namespace {
RecordStream contentOf(const std::vector<std::uint8_t>& v) {
    return RecordStream(SecureBuffer::ofBytes(v.data(), static_cast<std::uint32_t>(v.size())));
}
} // namespace

TEST_CASE("remote log content: tag, id and key, with short fields read as 0") {
    RemoteLogAccount account;
    RecordStream good = contentOf({0, 0, 7, 0, 0, 0, 4, 0, 0, 0, 1, 2, 3, 4, 0xEE});
    CHECK(readRemoteLog(good, account) == RemoteLogResult::Ok);
    CHECK(account.accountId == 7);
    CHECK(account.keyMaterial.length() == 4);

    RecordStream tagged = contentOf({1, 0, 7, 0, 0, 0});
    CHECK(readRemoteLog(tagged, account) == RemoteLogResult::BadFormat);
    RecordStream highTag = contentOf({0, 0x80});
    CHECK(readRemoteLog(highTag, account) == RemoteLogResult::BadFormat);

    RemoteLogAccount tiny;
    RecordStream oneByte = contentOf({0});
    CHECK(readRemoteLog(oneByte, tiny) == RemoteLogResult::Ok);
    CHECK(tiny.accountId == 0);
    CHECK(tiny.keyMaterial.empty());

    RemoteLogAccount cut;
    RecordStream shortKey = contentOf({0, 0, 9, 0, 0, 0, 32, 0, 0, 0, 1, 2});
    CHECK(readRemoteLog(shortKey, cut) == RemoteLogResult::Ok);
    CHECK(cut.keyMaterial.length() == 2); // taken as it stands; it will simply never open
}
