#include "tools/keytool/accounts_edit.h"

#include "core/ansi_text.h"
#include "tools/common/hex.h"
#include "tools/common/secure_file.h"
#include "tools/server/accounts_file.h"

#include <cerrno>
#include <ctime>
#include <string_view>
#include <sys/stat.h>

namespace kpv::tools {
namespace {

WipingString hexText(const SecureBuffer& bytes) {
    WipingString text;
    appendHex(bytes, text);
    return text;
}

// The accounts file as JSON, after checking that it is a valid accounts file.
bool loadChecked(const std::string& path, bool missingIsEmpty, WipingJson& json,
                 std::string& error) {
    struct stat info {};
    if (missingIsEmpty && ::stat(path.c_str(), &info) != 0 && errno == ENOENT) {
        json = WipingJson::object();
        json["accounts"] = WipingJson::array();
        return true;
    }
    SecureBuffer text;
    if (!readWholeFile(path, text)) {
        error = path + ": cannot be read";
        return false;
    }
    AccountDirectory accounts;
    if (!parseAccounts(text, static_cast<std::uint64_t>(std::time(nullptr)), accounts, error))
        return false;
    json = WipingJson::parse(text.text(), text.text() + text.length());
    return true;
}

WipingJson* findAccount(WipingJson& json, std::uint32_t id) {
    for (WipingJson& account : json["accounts"]) {
        if (account["id"].get<std::uint64_t>() == id)
            return &account;
    }
    return nullptr;
}

} // namespace

bool updateAccountsFile(const std::string& path, const AccountEdit& edit, std::string& error) {
    WipingJson json;
    if (!loadChecked(path, true, json, error))
        return false;
    WipingJson* account = findAccount(json, edit.id);
    if (account == nullptr) {
        json["accounts"].push_back(WipingJson::object());
        account = &json["accounts"].back();
        (*account)["id"] = edit.id;
    }
    (*account)["key"] = hexText(edit.secret);
    if (edit.setClientKey)
        (*account)["clientKey"] = hexText(edit.clientKey);
    if (!edit.name.is_null())
        (*account)["name"] = edit.name;
    if (edit.removeStatus)
        account->erase("status");
    else if (!edit.status.is_null())
        (*account)["status"] = edit.status;
    if (!edit.faults.is_null())
        (*account)["faults"] = edit.faults;

    WipingString text = json.dump(2);
    text.push_back('\n');
    const SecureBuffer bytes =
        SecureBuffer::ofBytes(text.data(), static_cast<std::uint32_t>(text.size()));
    AccountDirectory check;
    if (!parseAccounts(bytes, static_cast<std::uint64_t>(std::time(nullptr)), check, error))
        return false;
    if (!writeFileAtomically(path, bytes)) {
        error = path + ": cannot be written";
        return false;
    }
    return true;
}

bool secretFromAccountsFile(const std::string& path, std::uint32_t id, SecureBuffer& secret,
                            std::string& error) {
    WipingJson json;
    if (!loadChecked(path, false, json, error))
        return false;
    const WipingJson* account = findAccount(json, id);
    if (account == nullptr) {
        error = path + ": no account with id " + std::to_string(id);
        return false;
    }
    const auto& hex = account->at("key").get_ref<const WipingString&>();
    return decodeHex(std::string_view(hex.data(), hex.size()), secret);
}

bool userListFromAccountsFile(const std::string& path, std::vector<UserListEntry>& out,
                              std::string& error) {
    out.clear();
    WipingJson json;
    if (!loadChecked(path, false, json, error))
        return false;
    for (const WipingJson& account : json["accounts"]) {
        UserListEntry entry;
        entry.id = static_cast<std::uint32_t>(account.at("id").get<std::uint64_t>());
        const WipingJson& key =
            account.contains("clientKey") ? account.at("clientKey") : account.at("key");
        const auto& hex = key.get_ref<const WipingString&>();
        decodeHex(std::string_view(hex.data(), hex.size()), entry.secret);
        if (account.contains("name")) {
            const auto& name = account.at("name").get_ref<const WipingString&>();
            if (!utf8ToAnsi(std::string_view(name.data(), name.size()), entry.name) ||
                !isStorableName(entry.name)) {
                error = "account " + std::to_string(entry.id) +
                        ": name is not a storable Windows-1252 text";
                out.clear();
                return false;
            }
        } else {
            const std::string id = std::to_string(entry.id);
            entry.name.append(id.data(), static_cast<std::uint32_t>(id.size()));
        }
        out.push_back(std::move(entry));
    }
    return true;
}

} // namespace kpv::tools
