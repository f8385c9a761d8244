#pragma once
// One connection to a mail server, as the SMTP dialogue needs it: lines in, bytes out, and a
// switch to TLS in the middle (STARTTLS) or from the start (implicit TLS). TLS is the system's
// own (SChannel on Windows) and always verifies the server's certificate against the system's
// store and the host name. Blocking, with every wait bounded by the time-out given to open.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kpv {

class MailStream {
  public:
    virtual ~MailStream() = default;

    // Connects to host:port (UTF-8 host name or dotted address); with implicitTls the TLS
    // handshake follows at once. timeoutMilliseconds bounds each later wait too. False, with a
    // one-line reason in error, on any failure.
    virtual bool open(const std::string& host, std::uint16_t port, bool implicitTls,
                      std::uint32_t timeoutMilliseconds, std::string& error) = 0;
    // Starts TLS on the open connection (after the server accepted STARTTLS).
    virtual bool startTls(std::string& error) = 0;
    // Sends all size bytes, through TLS once it is on. The bytes may be secret (AUTH): the
    // stream keeps no copy that outlives the call unwiped.
    virtual bool write(const char* bytes, std::size_t size, std::string& error) = 0;
    // The next line without its CR LF; false on error, time-out or the end of the stream. A
    // line longer than 4096 bytes is an error.
    virtual bool readLine(std::string& line, std::string& error) = 0;
};

// Winsock with SChannel on Windows; on other platforms plain sockets without TLS (implicit
// TLS and startTls fail with "TLS is not available on this platform"), for native tests.
std::unique_ptr<MailStream> makeSystemMailStream();

} // namespace kpv
