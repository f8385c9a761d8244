#include "core/record_stream.h"

#include <limits>
#include <utility>

namespace kpv {
namespace {

void putLittleEndian(std::uint8_t* at, std::uint32_t value, unsigned width) {
    for (unsigned i = 0; i < width; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getLittleEndian(const std::uint8_t* at, unsigned width) {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i)
        value |= std::uint32_t(at[i]) << (8 * i);
    return value;
}

std::uint32_t chunkAt(std::uint32_t offset, std::uint32_t total) {
    const std::uint32_t left = total - offset;
    return left < FILE_CHUNK_SIZE ? left : FILE_CHUNK_SIZE;
}

} // namespace

void RecordStream::advance(std::uint32_t n) noexcept {
    const std::uint32_t max = std::numeric_limits<std::uint32_t>::max();
    cursor = n > max - cursor ? max : cursor + n;
}

void RecordStream::appendU16(std::uint32_t value) {
    const std::uint32_t at = contents.length();
    contents.appendZeros(2);
    if (contents.length() == at + 2)
        putLittleEndian(contents.data() + at, value, 2);
}

void RecordStream::appendU32(std::uint32_t value) {
    const std::uint32_t at = contents.length();
    contents.appendZeros(4);
    if (contents.length() == at + 4)
        putLittleEndian(contents.data() + at, value, 4);
}

void RecordStream::appendBlob(const SecureBuffer& blob) {
    appendU32(blob.length());
    contents.append(blob);
}

bool RecordStream::writeU16At(std::uint32_t offset, std::uint32_t value) {
    if (contents.length() < 2 || offset > contents.length() - 2)
        return false;
    putLittleEndian(contents.data() + offset, value, 2);
    return true;
}

bool RecordStream::writeU32At(std::uint32_t offset, std::uint32_t value) {
    if (contents.length() < 4 || offset > contents.length() - 4)
        return false;
    putLittleEndian(contents.data() + offset, value, 4);
    return true;
}

std::uint16_t RecordStream::readU16() {
    std::uint16_t value = 0;
    if (contents.length() >= 2 && cursor <= contents.length() - 2)
        value = static_cast<std::uint16_t>(getLittleEndian(contents.data() + cursor, 2));
    advance(2);
    return value;
}

std::uint32_t RecordStream::readU32() {
    std::uint32_t value = 0;
    if (contents.length() >= 4 && cursor <= contents.length() - 4)
        value = getLittleEndian(contents.data() + cursor, 4);
    advance(4);
    return value;
}

SecureBuffer RecordStream::readBlob() {
    const std::uint32_t start = cursor;
    const std::uint32_t count = readU32();
    if (count == 0)
        return {};
    const std::uint32_t bodyStart = start > std::numeric_limits<std::uint32_t>::max() - 4
                                        ? std::numeric_limits<std::uint32_t>::max()
                                        : start + 4;
    SecureBuffer blob = contents.slice(bodyStart, count);
    if (blob.empty()) {
        cursor = start;
        return {};
    }
    advance(count);
    return blob;
}

bool RecordStream::serveProgress(std::uint32_t chunk) {
    if (progress == nullptr)
        return true;
    if (progress->cancel == 1)
        return false;
    progress->bytesDone += chunk;
    return true;
}

bool RecordStream::save(FileHandle& file) {
    std::uint8_t header[4];
    const std::uint32_t total = contents.length();
    putLittleEndian(header, total, 4);
    // A lost length would leave a file that loads as empty, so it is tested like any chunk.
    bool written = file.write(header, sizeof header);
    for (std::uint32_t offset = 0; written && offset < total;) {
        const std::uint32_t chunk = chunkAt(offset, total);
        written = file.write(contents.data() + offset, chunk);
        if (written && !serveProgress(chunk)) {
            (void)file.close();
            return false;
        }
        offset += chunk;
    }
    // Bytes still on their way to the disk can fail to reach it when the file is closed.
    if (!file.close() || !written) {
        writeFailed = 1;
        return false;
    }
    return true;
}

bool RecordStream::load(FileHandle& file) {
    std::uint8_t header[4] = {0, 0, 0, 0};
    (void)file.read(header, sizeof header); // a short file gives a shorter length
    const std::uint32_t total = getLittleEndian(header, 4);
    if (total > MAX_FILE_CONTENT) {
        (void)file.close();
        return false;
    }
    SecureBuffer incoming;
    for (std::uint32_t offset = 0; offset < total;) {
        const std::uint32_t chunk = chunkAt(offset, total);
        incoming.appendZeros(chunk);
        // A growth the error hook absorbed leaves no room to read into.
        if (incoming.length() != offset + chunk ||
            file.read(incoming.data() + offset, chunk) != chunk || !serveProgress(chunk)) {
            (void)file.close();
            return false; // incoming wipes itself
        }
        offset += chunk;
    }
    (void)file.close();
    contents = std::move(incoming);
    cursor = 0;
    return true;
}

} // namespace kpv
