#include "accounts/account_list_file.h"

#include "core/data_file.h"

namespace kpv {

void readAccountList(RecordStream& content, AccountIdList& accountIds, BufferList& accountKeys,
                     BufferList& accountNames) {
    const std::uint32_t count = content.readU32();
    for (std::uint32_t i = 0; i < count; ++i) {
        // Past the end every record reads as id 0, no key and the empty name. A damaged count
        // would otherwise ask for billions of them.
        if (content.exhausted() && accountIds.length() >= MAX_PLACEHOLDER_FILL)
            break;
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
    return saveDataFileDurably(ACCOUNT_LIST_FILE, content);
}

} // namespace kpv
