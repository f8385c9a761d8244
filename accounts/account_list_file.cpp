#include "accounts/account_list_file.h"

#include "core/data_file.h"

namespace kpv {

void readAccountList(RecordStream& content, AccountIdList& accountIds, BufferList& accountKeys,
                     BufferList& accountNames) {
    const std::uint32_t count = content.readU32();
    // Every stored record takes at least 12 bytes, so room is made once for the records the
    // content can hold and the few that may be invented, never for a damaged count alone.
    const std::uint32_t left = content.exhausted() ? 0 : content.length() - content.cursor;
    const std::uint32_t possible = left / 12 + MAX_PLACEHOLDER_FILL;
    const std::uint32_t expected = count < possible ? count : possible;
    accountIds.reserve(expected);
    accountKeys.reserve(expected);
    accountNames.reserve(expected);
    std::uint32_t invented = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        // Past the end every record reads as id 0, no key and the empty name.
        if (content.exhausted()) {
            if (invented == MAX_PLACEHOLDER_FILL || accountIds.length() >= MAX_FILLED_LIST)
                break;
            ++invented;
        }
        accountIds.append(content.readU32());
        accountKeys.append(content.readBlob());
        accountNames.append(content.readBlob().printableCopy());
    }
}

RecordStream writeAccountList(const AccountIdList& accountIds, const BufferList& accountKeys,
                              const BufferList& accountNames) {
    RecordStream content;
    content.appendU32(accountIds.length());
    for (std::uint32_t i = 0; i < accountIds.length(); ++i) {
        content.appendU32(accountIds[i]);
        content.appendBlob(accountKeys[i]);
        content.appendBlob(accountNames[i]);
    }
    return content;
}

void loadAccountList(AccountIdList& accountIds, BufferList& accountKeys, BufferList& accountNames) {
    RecordStream content;
    if (loadDataFile(ACCOUNT_LIST_FILE, content))
        readAccountList(content, accountIds, accountKeys, accountNames);
}

bool saveAccountList(const AccountIdList& accountIds, const BufferList& accountKeys,
                     const BufferList& accountNames) {
    RecordStream content = writeAccountList(accountIds, accountKeys, accountNames);
    return saveDataFile(ACCOUNT_LIST_FILE, content);
}

} // namespace kpv
