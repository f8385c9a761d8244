// The client's own update cycle, natively, against the reference server with the demo data:
// what the user would see in the list, and how each fault mode ends.
#include "app/account_commands.h"
#include "app/update_cycle.h"
#include "app/user_list_commands.h"
#include "tests/app/client_fixture.h"
#include "tests/tools/tool_test_support.h"
#include "tools/common/secure_file.h"
#include "tools/keytool/accounts_edit.h"
#include "tools/keytool/key_files.h"
#include "tools/server/server.h"

#include <doctest/doctest.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <thread>

using namespace kpv;
using namespace kpv::tools;

namespace {

const std::string NO_CONTACT = "Fel: Fick ingen kontakt med servern.";

// The reference server with the demo accounts on a free port, on its own thread.
class DemoServer {
  public:
    explicit DemoServer(FaultSet faults,
                        std::string accountsPath = std::string(KPV_DEMO_DIR) + "/accounts.json")
        : server_(configFor(faults, std::move(accountsPath))) {
        std::string error;
        REQUIRE_MESSAGE(server_.open(error), error);
        thread_ = std::thread([this] { server_.run(); });
    }
    ~DemoServer() {
        server_.stop();
        thread_.join();
    }
    std::uint16_t port() const { return server_.port(); }

  private:
    static ServerConfig configFor(FaultSet faults, std::string accountsPath) {
        ServerConfig config;
        config.port = 0;
        config.log = false;
        config.accountsPath = std::move(accountsPath);
        config.faults = faults;
        config.delayMs = 100;
        config.chunkBytes = 11;
        config.chunkPauseMs = 1;
        return config;
    }
    StatusServer server_;
    std::thread thread_;
};

// The demo's user list as the client's account_list.bin in the current (working) folder.
void storeDemoAccounts() {
    std::vector<UserListEntry> list;
    std::string error;
    REQUIRE_MESSAGE(
        userListFromAccountsFile(std::string(KPV_DEMO_DIR) + "/accounts.json", list, error), error);
    REQUIRE(writeFileAtomically("account_list.bin", encodeUserList(list)));
}

FaultSet only(Fault fault) {
    FaultSet faults;
    faults.add(fault);
    return faults;
}

} // namespace

TEST_CASE("the client shows the demo accounts as the server reports them") {
    for (const bool chunkedAndSlow : {false, true}) {
        CAPTURE(chunkedAndSlow);
        FaultSet faults;
        if (chunkedAndSlow) {
            faults.add(Fault::Chunked);
            faults.add(Fault::Slow);
        }
        DemoServer server(faults);
        test::ClientFixture f(test::FIXTURE_NOW, server.port());
        storeDemoAccounts();
        updateStatus(f.client, false);

        CHECK(f.ui.messages.empty());
        REQUIRE(f.ui.rows.size() == 3);
        const test::ShownRow* fresh = f.ui.rowFor(1001);
        REQUIRE(fresh != nullptr);
        CHECK(fresh->texts[0] == "Kontoret");
        CHECK(fresh->texts[2] == "18234");
        CHECK(fresh->texts[3] == "52 GB");
        CHECK(fresh->texts[4] == "2");
        CHECK(fresh->texts[5] == "312");
        CHECK(fresh->texts[6] == "14");
        CHECK(fresh->texts[7] == "500 GB");
        REQUIRE(f.ui.rowFor(1002) != nullptr);
        CHECK(f.ui.rowFor(1002)->texts[2] == "2210");
        // Sealed with another key than the client holds: a row of zeros.
        const test::ShownRow* wrongKey = f.ui.rowFor(1003);
        REQUIRE(wrongKey != nullptr);
        CHECK(wrongKey->texts[2] == "0");
        CHECK(wrongKey->texts[7] == "0 bytes");

        REQUIRE(f.client.excludedTexts.length() == 2);
        CHECK(f.client.excludedIds[0] == 1001);
        CHECK(std::string(f.client.excludedTexts[0].text()) ==
              "Thumbs.db\r\nL\xf6ner 2024.xlsx.lock\r\n");
    }
}

TEST_CASE("a bad tag gives a row of zeros; broken replies give the usual message") {
    {
        DemoServer server(only(Fault::BadTag));
        test::ClientFixture f(test::FIXTURE_NOW, server.port());
        storeDemoAccounts();
        updateStatus(f.client, false);
        CHECK(f.ui.messages.empty());
        REQUIRE(f.ui.rows.size() == 3);
        CHECK(f.ui.rowFor(1001)->texts[2] == "0");
        CHECK(f.client.excludedTexts.length() == 0);
    }
    for (const Fault fault :
         {Fault::Truncate, Fault::TrailingByte, Fault::WrongType, Fault::NoAnswer}) {
        CAPTURE(faultName(fault));
        DemoServer server(only(fault));
        test::ClientFixture f(test::FIXTURE_NOW, server.port());
        storeDemoAccounts();
        updateStatus(f.client, false);
        CHECK(f.ui.messageTexts() == std::vector<std::string>{NO_CONTACT});
        CHECK(f.ui.rows.empty());
    }
}

TEST_CASE("an account added from the key tool's remote log file is asked for and shown") {
    test::TempFolder outside; // the server's own copy of its accounts, beside the client's
    std::filesystem::copy_file(std::string(KPV_DEMO_DIR) + "/accounts.json", "accounts.json");
    const std::string accountsPath = (outside.path() / "accounts.json").string();
    AccountEdit edit;
    edit.id = 2001;
    edit.secret = SecureBuffer::zeros(32);
    for (std::uint32_t i = 0; i < 32; ++i)
        edit.secret.at(i) = static_cast<std::uint8_t>(0x30 + i);
    edit.name = "Nytt";
    edit.status = WipingJson::object();
    edit.status["ageSeconds"] = 60;
    edit.status["fileCount"] = 77;
    std::string error;
    REQUIRE_MESSAGE(updateAccountsFile(accountsPath, edit, error), error);
    const std::string rlfPath = (outside.path() / "nytt.rlf").string();
    REQUIRE(writeFileAtomically(rlfPath, encodeRemoteLogFile(2001, edit.secret)));

    DemoServer server(FaultSet{}, accountsPath);
    test::ClientFixture f(test::FIXTURE_NOW, server.port());
    storeDemoAccounts();
    f.ui.chosenPaths = {rlfPath};
    f.ui.names = {{"Nytt konto", true}};
    addAccount(f.client);

    CHECK(f.ui.messages.empty());
    REQUIRE(f.ui.rows.size() == 4);
    const test::ShownRow* added = f.ui.rowFor(2001);
    REQUIRE(added != nullptr);
    CHECK(added->texts[0] == "Nytt konto");
    CHECK(added->texts[2] == "77");
}

TEST_CASE("a timer update warns once for the two outdated demo accounts") {
    DemoServer server(FaultSet{});
    test::ClientFixture f(static_cast<std::int64_t>(std::time(nullptr)), server.port());
    storeDemoAccounts();
    updateStatus(f.client, true);
    // 1002 is ten days old and 1003 cannot be opened: one warning, window brought forward.
    REQUIRE(f.ui.messages.size() == 1);
    CHECK(f.ui.messages[0].text.rfind("Varning! Minst en s", 0) == 0);
    CHECK(f.ui.windowShown == 1);
    CHECK(f.ui.rows.size() == 3);

    updateStatus(f.client, false); // the user's own updates never warn
    CHECK(f.ui.messages.size() == 1);
}

TEST_CASE("export then import leaves account_list.bin byte for byte as it was") {
    DemoServer server(FaultSet{});
    test::ClientFixture f(test::FIXTURE_NOW, server.port());
    storeDemoAccounts();
    const std::vector<std::uint8_t> before = test::readFileBytes("account_list.bin");
    f.ui.chosenPaths = {"lista.ulf"};
    exportUserList(f.client);
    REQUIRE(removeAccount(1002));
    CHECK(test::readFileBytes("account_list.bin") != before);

    f.ui.chosenPaths = {"lista.ulf"};
    f.ui.answers = {Answer::Yes};
    importUserList(f.client);
    CHECK(test::readFileBytes("account_list.bin") == before);
    CHECK(f.ui.messageTexts() ==
          std::vector<std::string>{"VARNING! De användare som lagras i programmet kommer att "
                                   "skrivas över! Vill du fortsätta?",
                                   "Användarlistan importerad från fil!"});
    CHECK(f.ui.rows.size() == 3);
}
