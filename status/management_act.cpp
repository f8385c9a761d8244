#include "status/management_act.h"

#include "core/data_file.h"
#include "crypto/sealed_status.h"
#include "net/frame.h"
#include "status/status_row.h"

#include <algorithm>
#include <utility>

namespace kpv {
namespace {

std::uint64_t joinHalves(std::uint32_t high, std::uint32_t low) {
    return (std::uint64_t(high) << 32) | low;
}

// Each excluded name ends with one terminating byte, dropped here; every name gets CR LF and
// the text one final zero byte. A name missing from the plaintext reads as empty and still
// gets its line, but only as many lines are made as the plaintext could hold names (each
// takes at least its 4-byte count): a huge count must not build gigabytes of empty lines.
SecureBuffer excludedFilesText(RecordStream& plaintext, std::uint32_t excludedCount) {
    static const std::uint8_t LINE_END[2] = {0x0D, 0x0A};
    const std::uint32_t lines = std::min(excludedCount, plaintext.contents.length() / 4);
    SecureBuffer text;
    for (std::uint32_t i = 0; i < lines; ++i) {
        SecureBuffer name = plaintext.readBlob();
        name.dropBack(1);
        name.append(LINE_END, 2);
        text.append(name);
    }
    text.appendZeros(1);
    return text;
}

// A status list cut short by the end of the reply is damaged as a whole: it reads as empty,
// so no account shows a status taken from a partial list.
SecureBuffer wholeBlobOrEmpty(RecordStream& reply) {
    SecureBuffer blob = reply.readBlob();
    if (reply.cursor > reply.contents.length()) // the cursor advanced by the declared count
        blob.release();
    return blob;
}

} // namespace

ManagementAct::ManagementAct(StatusView& view, std::int32_t accountCount,
                             const AccountIdList& accountIds, const BufferList& accountKeys,
                             BufferList accountNames, AccountIdList* excludedIds,
                             BufferList* excludedTexts, bool quiet)
    : view_(view), accountCount_(accountCount), accountIds_(accountIds), accountKeys_(accountKeys),
      accountNames_(std::move(accountNames)), excludedIds_(excludedIds),
      excludedTexts_(excludedTexts), quiet_(quiet) {}

bool ManagementAct::handleReply(RecordStream& reply, RecordStream& /*next*/,
                                std::uint8_t& /*longIdle*/) {
    const SecureBuffer& frame = reply.contents;
    if (!isCompleteFrame(frame) || frameMessageType(frame) != MSG_STATUS_REPLY)
        return true;

    view_.clearRows();
    RecordStream statusList(wholeBlobOrEmpty(reply));
    RecordStream timeList;
    timeList.appendU16(static_cast<std::uint32_t>(accountCount_));

    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(accountCount_); ++i) {
        SecureBuffer sealedStatus = statusList.readBlob();
        const SecureBuffer statusTag = statusList.readBlob();
        const std::uint32_t diskSpaceHigh = statusList.readU32();
        const std::uint32_t diskSpaceLow = statusList.readU32();
        const std::uint32_t storedCopies = statusList.readU32();
        const std::uint32_t copiesMade = statusList.readU32();

        StatusRow row;
        row.name = accountNames_[i];
        row.accountId = accountIds_[i];
        if (sealedStatus.empty() || statusTag.empty() ||
            !openSealedStatus(sealedStatus, accountKeys_[i], statusTag)) {
            insertStatusRow(view_, row);
            continue;
        }

        RecordStream plaintext(std::move(sealedStatus));
        (void)plaintext.readU16(); // two bytes the client does not interpret
        row.lastCopyTime = plaintext.readU32();
        row.fileCount = plaintext.readU32();
        const std::uint32_t totalSizeHigh = plaintext.readU32();
        const std::uint32_t totalSizeLow = plaintext.readU32();
        row.totalSize = joinHalves(totalSizeHigh, totalSizeLow);
        row.excludedCount = plaintext.readU32();
        row.copiesMade = copiesMade;
        row.storedCopies = storedCopies;
        row.diskSpace = joinHalves(diskSpaceHigh, diskSpaceLow);
        row.opened = true;

        excludedIds_->append(row.accountId);
        excludedTexts_->append(excludedFilesText(plaintext, row.excludedCount));
        timeList.appendU32(row.lastCopyTime);
        insertStatusRow(view_, row);
    }

    (void)saveDataFile(TIME_LIST_FILE, timeList); // a file that cannot be written is skipped
    return false;
}

void ManagementAct::onFailed(std::int32_t /*stage*/, std::int32_t /*error*/) {
    view_.exchangeFailed();
    if (!quiet_)
        view_.showMessage("Fel: Fick ingen kontakt med servern.", MessageKind::Error);
}

} // namespace kpv
