// Feeds status replies whose statuses are sealed correctly to the status reply handler, so that
// the plaintext reader and the excluded-name loop are reached: arbitrary bytes never carry a
// valid tag. Input layout, for each of 1 to 4 accounts (byte 0 mod 4, plus 1):
//   one control byte: bits 0-1 = 0 or 1 seal the plaintext, 2 sends an empty sealed blob, 3
//   flips one bit of a correct tag; then a u16 length (little-endian, mod 4096) and that many
//   plaintext bytes.
// Checked: nothing crashes; exactly the correctly sealed accounts reach the excluded lists, in
// step; every excluded text ends in its zero byte and is bounded by the plaintext (a name
// cut short by the end of the plaintext leaves the lines after it empty, two bytes each).
#include "fuzz/fuzz_folder.h"
#include "fuzz/fuzz_support.h"
#include "net/frame.h"
#include "status/management_act.h"
#include "tests/support/status_sealer.h"

#include <cstddef>
#include <cstdint>

namespace {

kpv::SecureBuffer secretOf(std::uint32_t account) {
    std::uint8_t bytes[32];
    for (std::uint32_t i = 0; i < 32; ++i)
        bytes[i] = static_cast<std::uint8_t>(account * 37 + i);
    return kpv::SecureBuffer::ofBytes(bytes, 16 + 8 * (account % 3));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1 << 16))
        return 0;
    FuzzReader in{data, size};
    const std::uint32_t accounts = in.byte() % 4u + 1;
    static const std::uint8_t IV[16] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3};

    kpv::AccountIdList ids;
    kpv::BufferList keys;
    kpv::BufferList names;
    kpv::RecordStream list;
    std::uint32_t sealedCount = 0;
    std::size_t plaintextTotal = 0;
    for (std::uint32_t i = 0; i < accounts; ++i) {
        const kpv::SecureBuffer secret = secretOf(i);
        ids.append(i);
        keys.appendCopy(secret);
        names.appendCopy(kpv::SecureBuffer::fromCString("namn"));

        const std::uint8_t mode = in.byte() & 3u;
        const std::uint32_t length = (in.byte() | std::uint32_t(in.byte()) << 8) % 4096u;
        const kpv::SecureBuffer plaintext = in.take(length);
        plaintextTotal += plaintext.length();
        kpv::test::SealedStatus sealed = kpv::test::sealStatus(plaintext, secret, IV);
        if (mode == 2)
            sealed.payload.release();
        else if (mode == 3)
            sealed.tag.data()[plaintext.length() % 32] ^= 0x10;
        else
            ++sealedCount;
        list.appendBlob(sealed.payload);
        list.appendBlob(sealed.tag);
        for (int field = 0; field < 4; ++field)
            list.appendU32(i + static_cast<std::uint32_t>(field));
    }

    kpv::RecordStream reply;
    kpv::beginFrame(reply);
    kpv::writeMessageType(reply, kpv::MSG_STATUS_REPLY);
    reply.appendBlob(list.contents);
    kpv::writeFrameLength(reply);
    reply.cursor = kpv::FRAME_HEADER_SIZE;

    CheckedRowsView ui;
    kpv::AccountIdList excludedIds;
    kpv::BufferList excludedTexts;
    kpv::ManagementAct action(ui, static_cast<std::int32_t>(accounts), ids, keys, names,
                              &excludedIds, &excludedTexts, true);
    kpv::RecordStream next;
    std::uint8_t longIdle = 0;
    if (action.handleReply(reply, next, longIdle) || next.length() != 0 || longIdle != 0)
        __builtin_trap();
    if (excludedIds.length() != sealedCount || excludedTexts.length() != sealedCount)
        __builtin_trap();
    for (std::uint32_t i = 0; i < excludedTexts.length(); ++i) {
        const kpv::SecureBuffer& text = excludedTexts[i];
        if (text.empty() || text.data()[text.length() - 1] != 0 ||
            text.length() > 2 * plaintextTotal + 1)
            __builtin_trap();
    }
    return 0;
}
