#include "status/history_file.h"

#include "core/data_file.h"
#include "core/file_handle.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kpv {
namespace {

constexpr std::uint16_t HISTORY_VERSION = 1;
constexpr std::uint32_t RECORD_BYTES = 48;
constexpr std::uint32_t CHECKED_BYTES = RECORD_BYTES - 4;
constexpr std::uint32_t MAX_CONTENT = 2 + RECORD_BYTES * MAX_HISTORY_RECORDS;

std::uint32_t fnv1a(const std::uint8_t* bytes, std::uint32_t n) {
    std::uint32_t hash = 2166136261u;
    for (std::uint32_t i = 0; i < n; ++i) {
        hash ^= bytes[i];
        hash *= 16777619u;
    }
    return hash;
}

std::uint32_t high(std::uint64_t value) {
    return static_cast<std::uint32_t>(value >> 32);
}

std::uint32_t low(std::uint64_t value) {
    return static_cast<std::uint32_t>(value);
}

std::uint64_t joined(std::uint32_t highHalf, std::uint32_t lowHalf) {
    return (std::uint64_t(highHalf) << 32) | lowHalf;
}

// The envelope's content as far as the file holds it: a file cut short gives what is there.
bool loadPresentContent(const char* path, RecordStream& content) {
    FileHandle file = FileHandle::openForReading(path);
    if (!file.isOpen())
        return false;
    std::uint8_t header[4] = {0, 0, 0, 0};
    if (file.read(header, sizeof header) != sizeof header)
        return false;
    const std::uint32_t declared = std::uint32_t(header[0]) | std::uint32_t(header[1]) << 8 |
                                   std::uint32_t(header[2]) << 16 | std::uint32_t(header[3]) << 24;
    const std::uint32_t wanted = std::min(declared, MAX_CONTENT);
    SecureBuffer bytes;
    while (bytes.length() < wanted) {
        const std::uint32_t at = bytes.length();
        const std::uint32_t chunk = std::min(wanted - at, FILE_CHUNK_SIZE);
        bytes.appendZeros(chunk);
        if (bytes.length() != at + chunk)
            break;
        const std::uint32_t got = file.read(bytes.data() + at, chunk);
        if (got != chunk) {
            bytes.resize(at + got);
            break;
        }
    }
    content = RecordStream(std::move(bytes));
    return true;
}

} // namespace

void writeHistory(const AccountHistory& history, RecordStream& content) {
    std::vector<std::uint32_t> ids;
    ids.reserve(history.accountCount());
    for (const auto& entry : history.accounts())
        ids.push_back(entry.first);
    std::sort(ids.begin(), ids.end());
    content.appendU16(HISTORY_VERSION);
    for (const std::uint32_t accountId : ids) {
        for (const HistoryRecord& record : history.recordsOf(accountId)) {
            const std::uint32_t start = content.length();
            content.appendU32(accountId);
            content.appendU32(record.timeSeen);
            content.appendU32(record.lastCopyTime);
            content.appendU32(record.fileCount);
            content.appendU32(high(record.totalSize));
            content.appendU32(low(record.totalSize));
            content.appendU32(record.excludedCount);
            content.appendU32(record.copiesMade);
            content.appendU32(record.storedCopies);
            content.appendU32(high(record.diskSpace));
            content.appendU32(low(record.diskSpace));
            if (content.length() == start + CHECKED_BYTES)
                content.appendU32(fnv1a(content.contents.data() + start, CHECKED_BYTES));
        }
    }
}

AccountHistory readHistory(RecordStream& content) {
    AccountHistory history;
    if (content.length() < 2 || content.readU16() != HISTORY_VERSION)
        return history;
    std::uint32_t currentId = 0;
    AccountHistory::Records records;
    std::uint32_t read = 0;
    while (read < MAX_HISTORY_RECORDS && content.length() - content.cursor >= RECORD_BYTES) {
        const std::uint32_t start = content.cursor;
        const std::uint32_t check = fnv1a(content.contents.data() + start, CHECKED_BYTES);
        const std::uint32_t accountId = content.readU32();
        HistoryRecord record;
        record.timeSeen = content.readU32();
        record.lastCopyTime = content.readU32();
        record.fileCount = content.readU32();
        const std::uint32_t sizeHigh = content.readU32();
        record.totalSize = joined(sizeHigh, content.readU32());
        record.excludedCount = content.readU32();
        record.copiesMade = content.readU32();
        record.storedCopies = content.readU32();
        const std::uint32_t diskHigh = content.readU32();
        record.diskSpace = joined(diskHigh, content.readU32());
        if (content.readU32() != check)
            break; // the damage and everything after it
        if (!records.empty() && accountId != currentId) {
            history.restore(currentId, std::move(records));
            records.clear();
        }
        currentId = accountId;
        records.push_back(record);
        ++read;
    }
    if (!records.empty())
        history.restore(currentId, std::move(records));
    return history;
}

AccountHistory loadHistory(const char* path) {
    RecordStream content;
    if (!loadPresentContent(path, content))
        return {};
    return readHistory(content);
}

bool saveHistory(const AccountHistory& history, const char* path) {
    RecordStream content;
    writeHistory(history, content);
    return saveDataFile(path, content);
}

} // namespace kpv
