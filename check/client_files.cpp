#include "check/client_files.h"

#include "accounts/account_list_file.h"
#include "core/data_file.h"

#include <algorithm>

namespace kpv::check {

bool loadAccountListFile(const std::string& path, AccountIdList& accountIds,
                         BufferList& accountKeys, BufferList& accountNames, WipingString& error) {
    RecordStream content;
    if (!loadDataFile(path.c_str(), content)) {
        error = "cannot read the account list ";
        error += path.c_str();
        return false;
    }
    readAccountList(content, accountIds, accountKeys, accountNames);
    return true;
}

bool selectAccounts(const std::vector<std::uint32_t>& wanted, AccountIdList& accountIds,
                    BufferList& accountKeys, BufferList& accountNames, WipingString& error) {
    if (wanted.empty())
        return true;
    for (const std::uint32_t id : wanted) {
        std::uint32_t position = 0;
        if (!accountIds.find(id, position)) {
            error = "account ";
            error += std::to_string(id).c_str();
            error += " is not in the account list";
            return false;
        }
    }
    AccountIdList ids;
    BufferList keys;
    BufferList names;
    for (std::uint32_t i = 0; i < accountIds.length(); ++i) {
        if (std::find(wanted.begin(), wanted.end(), accountIds[i]) == wanted.end())
            continue;
        ids.append(accountIds[i]);
        keys.appendCopy(accountKeys[i]);
        names.appendCopy(accountNames[i]);
    }
    accountIds = ids;
    accountKeys = std::move(keys);
    accountNames = std::move(names);
    return true;
}

} // namespace kpv::check
