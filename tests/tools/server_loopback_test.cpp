#include "tests/support/temp_folder.h"
#include "tests/tools/tool_test_support.h"
#include "tools/server/server.h"

#include <doctest/doctest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace kpv;
using namespace kpv::test;
using namespace kpv::tools;

namespace {

const char* const KEY = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";

std::string accountsJson(std::uint32_t fileCount, const std::string& extra = "") {
    return std::string(R"({"accounts": [{"id": 7, "key": ")") + KEY +
           R"(", "status": {"lastCopyTime": 1700000000, "fileCount": )" +
           std::to_string(fileCount) + R"(, "storedCopies": 4, "copiesMade": 5}})" + extra + "]}";
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The server on a free loopback port, run on its own thread for one test.
class RunningServer {
  public:
    explicit RunningServer(ServerConfig config) : server_(adjust(std::move(config))) {
        std::string error;
        REQUIRE_MESSAGE(server_.open(error), error);
        thread_ = std::thread([this] { server_.run(); });
    }
    ~RunningServer() {
        server_.stop();
        thread_.join();
    }
    std::uint16_t port() const { return server_.port(); }
    StatusServer& server() { return server_; }

  private:
    static ServerConfig adjust(ServerConfig config) {
        config.port = 0;
        config.log = false;
        if (config.accountsPath.empty())
            config.accountsPath = "accounts.json";
        return config;
    }
    StatusServer server_;
    std::thread thread_;
};

std::uint32_t fileCountOf(const ReplyEntry& entry) {
    Bytes plaintext;
    const SecureBuffer secret = bufferOf(hexBytes(KEY));
    if (!openIndependently(secret, entry.sealed, entry.tag, plaintext))
        return 0xFFFFFFFFu;
    return u32At(plaintext, 6);
}

Bytes exchange(std::uint16_t port, const std::vector<std::uint32_t>& ids) {
    TestClient client(port);
    REQUIRE(client.connected());
    REQUIRE(client.send(statusRequest(ids)));
    return client.readFrame();
}

} // namespace

TEST_CASE("loopback: a request is answered with one reply frame, file read afresh each time") {
    TempFolder folder;
    writeText("accounts.json", accountsJson(11));
    RunningServer running(ServerConfig{});

    TestClient client(running.port());
    REQUIRE(client.connected());
    REQUIRE(client.send(statusRequest({7, 8})));
    Bytes frame = client.readFrame();
    REQUIRE(frame.size() >= 14);
    CHECK(Bytes(frame.begin(), frame.begin() + 4) == hexBytes("43484B00"));
    CHECK(frame[8] == 13);
    std::vector<ReplyEntry> entries;
    REQUIRE(splitReply(frame, 2, entries));
    CHECK(fileCountOf(entries[0]) == 11);
    CHECK(entries[0].storedCopies == 4);
    CHECK(entries[0].copiesMade == 5);
    CHECK(entries[1].sealed.empty()); // id 8 is unknown
    CHECK(entries[1].tag.empty());

    // The next request on the same connection sees the changed file.
    writeText("accounts.json", accountsJson(12));
    REQUIRE(client.send(statusRequest({7})));
    frame = client.readFrame();
    REQUIRE(splitReply(frame, 1, entries));
    CHECK(fileCountOf(entries[0]) == 12);

    // A damaged file: every account is answered as unknown, and the server carries on.
    writeText("accounts.json", "{ not json");
    REQUIRE(splitReply(exchange(running.port(), {7}), 1, entries));
    CHECK(entries[0].sealed.empty());
    writeText("accounts.json", accountsJson(13));
    REQUIRE(splitReply(exchange(running.port(), {7}), 1, entries));
    CHECK(fileCountOf(entries[0]) == 13);
}

TEST_CASE("loopback: clients are served in parallel") {
    TempFolder folder;
    writeText("accounts.json", accountsJson(1));
    RunningServer running(ServerConfig{});
    // A client that connected and sent only half a header does not hold up the others.
    TestClient idle(running.port());
    REQUIRE(idle.send(hexBytes("43484B00 1800")));
    std::vector<std::thread> threads;
    std::vector<int> answered(6, 0);
    for (std::size_t i = 0; i < answered.size(); ++i) {
        threads.emplace_back([&, i] {
            TestClient client(running.port());
            std::vector<ReplyEntry> entries;
            answered[i] =
                client.send(statusRequest({7, 7, 7})) && splitReply(client.readFrame(), 3, entries);
        });
    }
    for (std::thread& t : threads)
        t.join();
    CHECK(answered == std::vector<int>(6, 1));
}

TEST_CASE("loopback: slow and numerous clients from one address cannot lock others out") {
    TempFolder folder;
    writeText("accounts.json", accountsJson(1));
    ServerConfig config;
    config.maxPerAddress = 2;
    config.requestLimitMs = 2000;
    RunningServer running(config);
    const Bytes request = statusRequest({7});
    const Bytes thirteen(request.begin(), request.begin() + 13);
    // A byte every 300 ms keeps the idle limit away; the request would be whole after 3.3 s.
    TestClient trickling(running.port());
    REQUIRE(trickling.send(thirteen));
    std::thread trickle([&] {
        for (std::size_t i = 13; i < request.size(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (!trickling.send(Bytes{request[i]}))
                return;
        }
    });
    TestClient stalled(running.port());
    REQUIRE(stalled.send(thirteen));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    // Two are open from this address: a third is closed at once, long before any limit.
    bool closed = false;
    TestClient third(running.port());
    CHECK(third.readUntilClosed(1000, &closed).empty());
    CHECK(closed);
    std::vector<ReplyEntry> entries;
    TestClient other(running.port(), 0x7F000002);
    REQUIRE(other.send(request));
    CHECK(splitReply(other.readFrame(), 1, entries));

    // Both slow ones are closed unanswered at the request limit, not after the idle limit.
    CHECK(trickling.readUntilClosed(5000, &closed).empty());
    CHECK(closed);
    CHECK(stalled.readUntilClosed(5000, &closed).empty());
    CHECK(closed);
    trickle.join();
    CHECK(splitReply(exchange(running.port(), {7}), 1, entries)); // the slots are free again
}

TEST_CASE("loopback: malformed requests close the connection and nothing else") {
    TempFolder folder;
    writeText("accounts.json", accountsJson(1));
    RunningServer running(ServerConfig{});
    bool closed = false;

    const auto sendAndListen = [&](const Bytes& bytes) {
        TestClient client(running.port());
        REQUIRE(client.send(bytes));
        return client.readUntilClosed(3000, &closed);
    };
    CHECK(sendAndListen(hexBytes("58595A00 18000000 0C00 0000 0100")).empty());
    CHECK(closed);
    // An oversized length is refused from the header, before any body is read.
    CHECK(sendAndListen(hexBytes("43484B00 FFFFFFFF 0C00 0000 0100")).empty());
    CHECK(closed);
    // A count that disagrees with the id block.
    Bytes bad = statusRequest({1, 2});
    bad[14] = 1;
    CHECK(sendAndListen(bad).empty());
    CHECK(closed);
    // A request cut short by the client's close.
    {
        TestClient client(running.port());
        const Bytes request = statusRequest({1});
        REQUIRE(client.send(Bytes(request.begin(), request.begin() + 17)));
        client.shutdownWrite();
        CHECK(client.readUntilClosed(3000, &closed).empty());
        CHECK(closed);
    }
    std::vector<ReplyEntry> entries;
    CHECK(splitReply(exchange(running.port(), {7}), 1, entries));
}

TEST_CASE("loopback: fault modes") {
    TempFolder folder;
    writeText("accounts.json",
              accountsJson(1, R"(, {"id": 8, "key": ")" + std::string(KEY) +
                                  R"(", "status": {"ageSeconds": 0}, "faults": ["truncate"]})"));
    bool closed = false;
    std::vector<ReplyEntry> entries;

    SUBCASE("truncate, per account: half a frame, then the connection closes") {
        RunningServer running(ServerConfig{});
        const Bytes whole = exchange(running.port(), {7});
        TestClient client(running.port());
        REQUIRE(client.send(statusRequest({7, 8})));
        const Bytes half = client.readUntilClosed(3000, &closed);
        CHECK(closed);
        CHECK(half.size() > 0);
        CHECK(half.size() < u32At(half, 4));
        CHECK(splitReply(whole, 1, entries));
    }
    SUBCASE("trailing byte: one byte more than the length field says") {
        ServerConfig config;
        config.faults.add(Fault::TrailingByte);
        RunningServer running(config);
        TestClient client(running.port());
        REQUIRE(client.send(statusRequest({7})));
        client.shutdownWrite();
        const Bytes got = client.readUntilClosed(3000, &closed);
        REQUIRE(got.size() > 8);
        CHECK(got.size() == u32At(got, 4) + 1);
    }
    SUBCASE("wrong type") {
        ServerConfig config;
        config.faults.add(Fault::WrongType);
        RunningServer running(config);
        const Bytes frame = exchange(running.port(), {7});
        REQUIRE(frame.size() > 8);
        CHECK(frame[8] == 12);
    }
    SUBCASE("chunked and slow: the same frame, late and in pieces") {
        ServerConfig config;
        config.faults.add(Fault::Chunked);
        config.faults.add(Fault::Slow);
        config.delayMs = 300;
        config.chunkBytes = 5;
        config.chunkPauseMs = 1;
        RunningServer running(config);
        const auto start = std::chrono::steady_clock::now();
        const Bytes frame = exchange(running.port(), {7});
        CHECK(std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(280));
        REQUIRE(splitReply(frame, 1, entries));
        CHECK(fileCountOf(entries[0]) == 1);
    }
    SUBCASE("bad tag: the frame is whole, the status does not open") {
        ServerConfig config;
        config.faults.add(Fault::BadTag);
        RunningServer running(config);
        REQUIRE(splitReply(exchange(running.port(), {7}), 1, entries));
        CHECK(fileCountOf(entries[0]) == 0xFFFFFFFFu);
    }
    SUBCASE("no answer: silence until the server stops") {
        ServerConfig config;
        config.faults.add(Fault::NoAnswer);
        auto running = std::make_unique<RunningServer>(config);
        TestClient client(running->port());
        REQUIRE(client.send(statusRequest({7})));
        CHECK(client.readUntilClosed(300, &closed).empty());
        CHECK_FALSE(closed);
        const auto start = std::chrono::steady_clock::now();
        running.reset(); // stops promptly although a connection waits
        CHECK(std::chrono::steady_clock::now() - start < std::chrono::seconds(2));
        CHECK(client.readUntilClosed(3000, &closed).empty());
        CHECK(closed);
    }
}

TEST_CASE("loopback: a client that never reads its reply holds no worker, nor the stop") {
    TempFolder folder;
    // Account 8's status names 100 long excluded files: 64 copies of it are 16 MB of reply,
    // far beyond what the socket buffers take against 4 KiB.
    std::string excluded = R"(, {"id": 8, "key": ")" + std::string(KEY) +
                           R"(", "status": {"lastCopyTime": 1700000000, "excludedFiles": [)";
    for (int i = 0; i < 100; ++i)
        excluded += (i == 0 ? "\"" : ", \"") + std::string(2500, 'x') + '"';
    writeText("accounts.json", accountsJson(1, excluded + "]}}"));
    const Bytes huge = statusRequest(std::vector<std::uint32_t>(64, 8));
    ServerConfig config;
    config.maxPerAddress = 1;
    SUBCASE("the reply limit frees the slot") {
        config.replyLimitMs = 500;
        RunningServer running(config);
        TestClient stalled(running.port(), 0x7F000001, 4096);
        REQUIRE(stalled.send(huge));
        REQUIRE(stalled.waitForData(60000)); // the reply has begun
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        std::vector<ReplyEntry> entries;
        CHECK(splitReply(exchange(running.port(), {7}), 1, entries));
    }
    SUBCASE("stopping does not wait for the reply") {
        config.replyLimitMs = 600000;
        auto running = std::make_unique<RunningServer>(config);
        TestClient stalled(running->port(), 0x7F000001, 4096);
        REQUIRE(stalled.send(huge));
        REQUIRE(stalled.waitForData(60000));
        auto stopped = std::async(std::launch::async, [&running] { running.reset(); });
        if (stopped.wait_for(std::chrono::seconds(1)) != std::future_status::ready) {
            FAIL_CHECK("the server is still waiting for a client that does not read");
            std::_Exit(1); // the worker would hold the test for ever
        }
    }
}

TEST_CASE("loopback: the never-read test option takes no request and ends at the idle limit") {
    TempFolder folder;
    writeText("accounts.json", accountsJson(1));
    ServerConfig config;
    config.neverRead = true;
    config.idleLimitMs = 400;
    RunningServer running(config);
    TestClient client(running.port());
    REQUIRE(client.connected());
    REQUIRE(client.send(statusRequest({7})));
    const auto start = std::chrono::steady_clock::now();
    bool closed = false;
    CHECK(client.readUntilClosed(5000, &closed).empty());
    CHECK(closed);
    CHECK(std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(300));
    CHECK(running.server().requestsAnswered() == 0);
}

TEST_CASE("kpv-server as a program: announces its port and stops on SIGTERM and SIGINT") {
    TempFolder folder;
    writeText("accounts.json", accountsJson(21));
    for (const int signal : {SIGTERM, SIGINT}) {
        CAPTURE(signal);
        int out[2];
        REQUIRE(::pipe(out) == 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 0, 0);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::string program = KPV_SERVER_PATH;
        std::vector<std::string> args = {program, "--port", "0", "--accounts", "accounts.json"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        REQUIRE(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);

        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        ::close(out[0]);
        REQUIRE(line.rfind("listening on 127.0.0.1:", 0) == 0);
        const auto port = static_cast<std::uint16_t>(std::stoul(line.substr(23)));
        std::vector<ReplyEntry> entries;
        REQUIRE(splitReply(exchange(port, {7}), 1, entries));
        CHECK(fileCountOf(entries[0]) == 21);

        REQUIRE(::kill(pid, signal) == 0);
        int status = 0;
        REQUIRE(::waitpid(pid, &status, 0) == pid);
        CHECK(WIFEXITED(status));
        CHECK(WEXITSTATUS(status) == 0);
    }
}
