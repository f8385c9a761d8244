// The three alert files from arbitrary bytes (the first byte picks alerts.bin, outbox.bin or
// alert_state.bin): each read must finish, and what it accepts must write back to the same
// bytes and read again alike. The alert settings are then resolved from what was read.
#include "alerts/alert_judge.h"
#include "alerts/alert_settings.h"
#include "alerts/outbox.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const kpv::SecureBuffer bytes =
        kpv::SecureBuffer::ofBytes(data + 1, static_cast<std::uint32_t>(size - 1));
    kpv::RecordStream content(bytes);
    switch (data[0] % 3) {
    case 0: {
        kpv::AlertValues values;
        if (!kpv::readAlertValues(content, values))
            return 0;
        kpv::RecordStream again = kpv::writeAlertValues(values);
        kpv::AlertValues reread;
        if (!kpv::readAlertValues(again, reread) || reread.texts != values.texts)
            __builtin_trap();
        const kpv::AlertSettings settings =
            kpv::resolveAlertSettings(values, {}, true, kpv::FixedPolicy{});
        for (const std::string& line : settings.problems)
            if (line.find_first_of("\r\n") != std::string::npos)
                __builtin_trap();
        if (settings.webhookOn() && !kpv::isUsableUrl(settings.webhookUrl))
            __builtin_trap();
        break;
    }
    case 1: {
        kpv::Outbox outbox;
        if (!outbox.read(content))
            return 0;
        kpv::RecordStream again = outbox.write();
        if (!again.contents.equals(bytes))
            __builtin_trap();
        break;
    }
    default: {
        kpv::AlertMemory memory;
        if (!kpv::readAlertMemory(content, memory))
            return 0;
        kpv::RecordStream again = kpv::writeAlertMemory(memory);
        kpv::AlertMemory reread;
        if (!kpv::readAlertMemory(again, reread) || reread.states != memory.states)
            __builtin_trap();
        break;
    }
    }
    return 0;
}
