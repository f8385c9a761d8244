#pragma once
// The reference monitoring server: answers every status request frame with one status reply
// built from the accounts file, which it reads afresh for each request. One thread per
// connection; several requests on one connection are answered one after another, in order.
// A connection that sends anything but a well-formed status request is closed.
#include "core/native_handle.h"
#include "tools/server/faults.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace kpv::tools {

struct ServerConfig {
    std::string address = "127.0.0.1"; // IPv4, dotted
    std::uint16_t port = 55502;        // 0 picks a free port
    std::string accountsPath;
    FaultSet faults;                      // for every reply of the run
    std::uint32_t delayMs = 2000;         // the wait of the slow fault
    std::uint32_t chunkBytes = 7;         // piece size of the chunked fault
    std::uint32_t chunkPauseMs = 20;      // pause between pieces of the chunked fault
    std::uint32_t idleLimitMs = 300000;   // a silent connection is closed after this long
    std::uint32_t requestLimitMs = 10000; // a whole request must arrive within this long
    std::uint32_t replyLimitMs = 30000;   // and a whole reply must leave within this long
    std::uint32_t maxConnections = 64;    // connections beyond this are closed at once
    std::uint32_t maxPerAddress = 8;      // and so are those beyond this from one address
    bool log = true;                      // one line per connection event on stderr
    // Test option: every connection is held without reading from it, behind a receive buffer
    // of NEVER_READ_BUFFER_BYTES, so that a client's send soon blocks.
    bool neverRead = false;
};

inline constexpr int NEVER_READ_BUFFER_BYTES = 4096;

class StatusServer {
  public:
    explicit StatusServer(ServerConfig config);
    // Stops and waits for every connection to end.
    ~StatusServer();
    StatusServer(const StatusServer&) = delete;
    StatusServer& operator=(const StatusServer&) = delete;

    // Binds and listens. False, with a reason in `error`, when the address is not IPv4 or
    // cannot be bound.
    bool open(std::string& error);
    // The bound port (the chosen one when configured with 0); valid after open.
    std::uint16_t port() const noexcept { return boundPort_; }
    const std::string& address() const noexcept { return config_.address; }

    // Accepts and serves until stop(); returns once every connection has ended.
    void run();
    // Safe from any thread and from a signal handler: asks run() and every connection to end.
    void stop() noexcept;

    // Requests answered so far (all connections).
    std::uint64_t requestsAnswered() const noexcept { return answered_.load(); }

  private:
    struct Worker;
    void serve(UniqueNativeHandle socket, const std::string& peer);
    // Counts a connection from `address`; false (nothing counted) when it has too many.
    bool admit(std::uint32_t address);
    void leave(std::uint32_t address);
    void reapWorkers(bool all);
    void logLine(const std::string& text);

    ServerConfig config_;
    UniqueNativeHandle listen_;
    UniqueNativeHandle stopRead_; // readable once stop() was called; never drained
    UniqueNativeHandle stopWrite_;
    std::uint16_t boundPort_ = 0;
    std::atomic<std::uint64_t> answered_{0};
    std::list<std::unique_ptr<Worker>> workers_;
    std::map<std::uint32_t, std::uint32_t> perAddress_; // open connections by IPv4 address
    std::mutex perAddressMutex_;
    std::mutex logMutex_;
};

} // namespace kpv::tools
