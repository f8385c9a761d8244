#include "tools/server/accounts_file.h"

#include "core/ansi_text.h"
#include "core/wiping_json.h"
#include "tools/common/hex.h"
#include "tools/common/secure_file.h"

#include <limits>
#include <string_view>

namespace kpv::tools {
namespace {

// Thrown inside the parser only, turned into the one-line error at its edge.
struct Invalid {
    std::string reason;
};

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw Invalid{where + ": " + what};
}

void onlyMembers(const WipingJson& object, const std::string& where,
                 std::initializer_list<std::string_view> allowed) {
    if (!object.is_object())
        fail(where, "must be an object");
    for (const auto& member : object.items()) {
        bool known = false;
        for (std::string_view name : allowed)
            known = known || member.key() == name;
        if (!known)
            fail(where, "unknown member \"" + std::string(member.key()) + "\"");
    }
}

std::uint64_t unsignedValue(const WipingJson& object, const char* name, const std::string& where,
                            std::uint64_t max) {
    const auto it = object.find(name);
    if (it == object.end())
        return 0;
    if (!it->is_number_unsigned() || it->get<std::uint64_t>() > max)
        fail(where, std::string(name) + " must be a whole number from 0 to " + std::to_string(max));
    return it->get<std::uint64_t>();
}

std::uint32_t u32Value(const WipingJson& object, const char* name, const std::string& where) {
    return static_cast<std::uint32_t>(
        unsignedValue(object, name, where, std::numeric_limits<std::uint32_t>::max()));
}

const WipingString& stringValue(const WipingJson& value, const std::string& where) {
    if (!value.is_string())
        fail(where, "must be a text");
    return value.get_ref<const WipingString&>();
}

AccountStatus readStatus(const WipingJson& json, std::uint64_t now, const std::string& where) {
    onlyMembers(json, where,
                {"lastCopyTime", "ageSeconds", "fileCount", "totalSize", "excludedFiles",
                 "diskSpace", "storedCopies", "copiesMade"});
    const bool absolute = json.contains("lastCopyTime");
    if (absolute == json.contains("ageSeconds"))
        fail(where, "give exactly one of lastCopyTime and ageSeconds");
    AccountStatus status;
    if (absolute) {
        status.lastCopyTime = u32Value(json, "lastCopyTime", where);
    } else {
        const std::uint64_t age =
            unsignedValue(json, "ageSeconds", where, std::numeric_limits<std::uint64_t>::max());
        const std::uint64_t time = age < now ? now - age : 0;
        status.lastCopyTime =
            static_cast<std::uint32_t>(time > std::numeric_limits<std::uint32_t>::max()
                                           ? std::numeric_limits<std::uint32_t>::max()
                                           : time);
    }
    const std::uint64_t any = std::numeric_limits<std::uint64_t>::max();
    status.fileCount = u32Value(json, "fileCount", where);
    status.totalSize = unsignedValue(json, "totalSize", where, any);
    status.diskSpace = unsignedValue(json, "diskSpace", where, any);
    status.storedCopies = u32Value(json, "storedCopies", where);
    status.copiesMade = u32Value(json, "copiesMade", where);
    if (const auto it = json.find("excludedFiles"); it != json.end()) {
        if (!it->is_array())
            fail(where, "excludedFiles must be an array of texts");
        for (const WipingJson& entry : *it) {
            const WipingString& utf8 = stringValue(entry, where + ".excludedFiles[]");
            SecureBuffer name;
            if (!utf8ToAnsi(std::string_view(utf8.data(), utf8.size()), name))
                fail(where, "excluded file name is not Windows-1252 text");
            status.excludedNames.push_back(std::move(name));
        }
    }
    return status;
}

FaultSet readFaults(const WipingJson& json, const std::string& where) {
    if (!json.is_array())
        fail(where, "faults must be an array of fault names");
    FaultSet faults;
    for (const WipingJson& entry : json) {
        const WipingString& name = stringValue(entry, where + ".faults[]");
        Fault fault{};
        if (!parseFault(std::string_view(name.data(), name.size()), fault))
            fail(where, "unknown fault \"" + std::string(name.data(), name.size()) + "\"");
        faults.add(fault);
    }
    return faults;
}

void readAccount(const WipingJson& json, std::uint64_t now, const std::string& where,
                 AccountDirectory& out) {
    onlyMembers(json, where, {"id", "key", "name", "clientKey", "status", "faults"});
    if (!json.contains("id"))
        fail(where, "id missing");
    const std::uint32_t id = u32Value(json, "id", where);
    const std::string named = where + " (id " + std::to_string(id) + ")";
    if (out.count(id) != 0)
        fail(named, "id given twice");
    if (!json.contains("key"))
        fail(named, "key missing");
    ServerAccount account;
    const WipingString& hex = stringValue(json.at("key"), named + ".key");
    if (!decodeHex(std::string_view(hex.data(), hex.size()), account.secret))
        fail(named, "key is not hexadecimal");
    if (const auto it = json.find("clientKey"); it != json.end()) {
        const WipingString& clientHex = stringValue(*it, named + ".clientKey");
        SecureBuffer ignored;
        if (!decodeHex(std::string_view(clientHex.data(), clientHex.size()), ignored))
            fail(named, "clientKey is not hexadecimal");
    }
    if (const auto it = json.find("name"); it != json.end())
        stringValue(*it, named + ".name");
    if (const auto it = json.find("status"); it != json.end() && !it->is_null()) {
        account.status = readStatus(*it, now, named + ".status");
        account.hasStatus = true;
    }
    if (const auto it = json.find("faults"); it != json.end())
        account.faults = readFaults(*it, named);
    out.emplace(id, std::move(account));
}

} // namespace

bool parseAccounts(const SecureBuffer& text, std::uint64_t now, AccountDirectory& out,
                   std::string& error) {
    out.clear();
    error.clear();
    try {
        const char* begin = text.text();
        const WipingJson json = WipingJson::parse(begin, begin + text.length());
        onlyMembers(json, "accounts file", {"accounts"});
        const auto list = json.find("accounts");
        if (list == json.end() || !list->is_array())
            fail("accounts file", "needs an \"accounts\" array");
        std::size_t index = 0;
        for (const WipingJson& account : *list)
            readAccount(account, now, "accounts[" + std::to_string(index++) + "]", out);
        return true;
    } catch (const Invalid& invalid) {
        error = invalid.reason;
    } catch (const WipingJson::parse_error& e) {
        // The library's own text quotes the token it stopped at, which may be a key: only the
        // place is told.
        error =
            "accounts file: not valid JSON (syntax error at byte " + std::to_string(e.byte) + ")";
    } catch (const WipingJson::exception& e) {
        error = std::string("accounts file: ") + e.what();
    }
    out.clear();
    return false;
}

bool loadAccountsFile(const std::string& path, std::uint64_t now, AccountDirectory& out,
                      std::string& error) {
    SecureBuffer text;
    if (!readWholeFile(path, text)) {
        out.clear();
        error = path + ": cannot be read";
        return false;
    }
    return parseAccounts(text, now, out, error);
}

} // namespace kpv::tools
