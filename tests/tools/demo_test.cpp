#include "tests/support/temp_folder.h"
#include "tests/tools/tool_test_support.h"
#include "tools/keytool/accounts_edit.h"
#include "tools/server/accounts_file.h"
#include "tools/server/status_reply.h"

#include <doctest/doctest.h>

#include <cstdlib>
#include <ctime>
#include <sys/wait.h>

using namespace kpv;
using namespace kpv::test;
using namespace kpv::tools;

TEST_CASE("demo data: one fresh, one outdated, one that cannot be opened") {
    const std::string path = std::string(KPV_DEMO_DIR) + "/accounts.json";
    const auto now = static_cast<std::uint64_t>(std::time(nullptr));
    AccountDirectory accounts;
    std::string error;
    REQUIRE_MESSAGE(loadAccountsFile(path, now, accounts, error), error);
    std::vector<UserListEntry> list;
    REQUIRE_MESSAGE(userListFromAccountsFile(path, list, error), error);
    REQUIRE(list.size() == 3);

    std::vector<std::uint32_t> ids;
    for (const UserListEntry& entry : list)
        ids.push_back(entry.id);
    const StatusReply reply = buildStatusReply(ids, accounts, FaultSet{});
    std::vector<ReplyEntry> entries;
    REQUIRE(splitReply(bytesOf(reply.frame), 3, entries));
    std::vector<std::uint32_t> times;
    for (std::size_t i = 0; i < 3; ++i) {
        Bytes plaintext;
        times.push_back(
            openIndependently(list[i].secret, entries[i].sealed, entries[i].tag, plaintext)
                ? u32At(plaintext, 2)
                : 0);
    }
    const std::uint64_t day = 86400;
    CHECK(times[0] + day > now); // fresh
    CHECK(times[1] != 0);
    CHECK(times[1] + 3 * day < now); // older than the default warning period of 3 days
    CHECK(times[2] == 0);            // the client's key does not open it
}

TEST_CASE("demo script: makes the account list, the user list and a remote log file") {
    TempFolder folder;
    const std::string command = std::string("bash ") + KPV_DEMO_DIR + "/make-demo.sh out " +
                                KPV_KEYTOOL_PATH + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    REQUIRE(WIFEXITED(status));
    REQUIRE(WEXITSTATUS(status) == 0);
    const Bytes list = readFileBytes("out/account_list.bin");
    CHECK(u32At(list, 0) + 4 == list.size());
    CHECK(u32At(list, 4) == 3);
    CHECK(readFileBytes("out/demo.ulf") == list);
    const Bytes rlf = readFileBytes("out/nytt-konto.rlf");
    REQUIRE(rlf.size() == 46);
    CHECK(u32At(rlf, 6) == 1004);
    AccountDirectory accounts;
    std::string error;
    REQUIRE(loadAccountsFile("out/accounts.json", 0, accounts, error));
    CHECK(accounts.size() == 4);
    CHECK(Bytes(rlf.begin() + 14, rlf.end()) == bytesOf(accounts.at(1004).secret));
}
