// The mail connection on Windows: Winsock with every wait bounded, and TLS through SChannel.
// The server's certificate is checked here, against the system's store and the host name,
// the same way on every Windows version rather than by each SChannel's own defaults.
#include "net/mail_stream.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <sspi.h>
#include <wincrypt.h>

#include <cstring>

#include "core/secure_buffer.h"
#include "net/ip4_address.h" // after the socket headers
#include "net/line_buffer.h"
#include "net/system_text_win32.h"

namespace kpv {
namespace {

// Winsock's FIONBIO does not fit ioctlsocket's signed command without a cast.
const long SET_NON_BLOCKING = static_cast<long>(FIONBIO);
constexpr std::uint32_t RECEIVE_PIECE = 16384;
// A handshake (the server's certificate chain) or a TLS record never needs more.
constexpr std::uint32_t MAX_PENDING_BYTES = 1u << 18;
constexpr int MAX_HANDSHAKE_ROUNDS = 64;
constexpr DWORD CONTEXT_FLAGS = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                ISC_REQ_MANUAL_CRED_VALIDATION;

std::string socketError(const char* what) {
    return win32::describeError(static_cast<std::uint32_t>(WSAGetLastError()), nullptr, what);
}

std::string securityError(SECURITY_STATUS status, const char* what) {
    return win32::describeError(static_cast<std::uint32_t>(status), nullptr, what);
}

const char* certificateProblem(DWORD error) {
    switch (error) {
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDCA):
    case static_cast<DWORD>(CERT_E_CHAINING):
        return "The mail server's certificate is not issued by a trusted authority";
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return "The mail server's certificate is issued for another name";
    case static_cast<DWORD>(CERT_E_EXPIRED):
        return "The mail server's certificate has expired or is not yet valid";
    case static_cast<DWORD>(CRYPT_E_REVOKED):
        return "The mail server's certificate has been revoked";
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
        return "The mail server's certificate is not meant for a server";
    default:
        return "The mail server's certificate was not accepted";
    }
}

// Buffers that SChannel allocated, given back however the call ends.
class ContextBuffer {
  public:
    ContextBuffer() = default;
    ContextBuffer(const ContextBuffer&) = delete;
    ContextBuffer& operator=(const ContextBuffer&) = delete;
    ~ContextBuffer() {
        if (buffer.pvBuffer != nullptr)
            FreeContextBuffer(buffer.pvBuffer);
    }
    SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
};

class CertificateChain {
  public:
    CertificateChain() = default;
    CertificateChain(const CertificateChain&) = delete;
    CertificateChain& operator=(const CertificateChain&) = delete;
    ~CertificateChain() {
        if (chain != nullptr)
            CertFreeCertificateChain(chain);
        if (certificate != nullptr)
            CertFreeCertificateContext(certificate);
    }
    PCCERT_CONTEXT certificate = nullptr;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
};

class SchannelMailStream final : public MailStream {
  public:
    SchannelMailStream() = default;
    SchannelMailStream(const SchannelMailStream&) = delete;
    SchannelMailStream& operator=(const SchannelMailStream&) = delete;
    ~SchannelMailStream() override { close(); }

    bool open(const std::string& host, std::uint16_t port, bool implicitTls,
              std::uint32_t timeoutMilliseconds, std::string& error) override {
        close();
        timeout_ = timeoutMilliseconds;
        host_ = win32::wideFromUtf8(host);
        WSADATA data{};
        if (WSAStartup(0x0202, &data) != 0) {
            error = "Windows Sockets could not be started";
            return false;
        }
        started_ = true;
        std::uint32_t address = 0;
        bool found = false;
        if (host.empty() || ip4::lookUp(host.c_str(), address, found) != 0 || !found) {
            error = "The mail server's name could not be resolved";
            return false;
        }
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (socket_ == INVALID_SOCKET) {
            error = socketError("No socket could be made");
            return false;
        }
        if (!connectWithin(address, port, error))
            return false;
        const DWORD wait = timeout_;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait),
                   sizeof wait);
        setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&wait),
                   sizeof wait);
        return !implicitTls || startTls(error);
    }

    bool startTls(std::string& error) override {
        if (socket_ == INVALID_SOCKET || tls_) {
            error = "The connection cannot start TLS now";
            return false;
        }
        // Bytes that arrived in the clear after the server's go-ahead were never protected;
        // taking them for the server's answers inside TLS would let anybody on the way speak
        // for the server.
        if (!plain_.empty() || !pending_.empty()) {
            error = "The mail server sent more than its answer before TLS began";
            return false;
        }
        SCHANNEL_CRED settings{};
        settings.dwVersion = SCHANNEL_CRED_VERSION;
        settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        TimeStamp expiry{};
        SECURITY_STATUS status = AcquireCredentialsHandleW(
            nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &settings,
            nullptr, nullptr, &credentials_, &expiry);
        if (status != SEC_E_OK) {
            error = securityError(status, "TLS is not available");
            return false;
        }
        haveCredentials_ = true;
        if (!handshake(true, error) || !verifyServer(error))
            return false;
        status = QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
        if (status != SEC_E_OK || sizes_.cbMaximumMessage == 0) {
            error = securityError(status, "The TLS connection could not be set up");
            return false;
        }
        tls_ = true;
        return true;
    }

    bool write(const char* bytes, std::size_t size, std::string& error) override {
        if (socket_ == INVALID_SOCKET) {
            error = "The connection is not open";
            return false;
        }
        if (!tls_)
            return sendAll(bytes, size, error);
        while (size > 0) {
            const std::uint32_t piece = size < sizes_.cbMaximumMessage
                                            ? static_cast<std::uint32_t>(size)
                                            : sizes_.cbMaximumMessage;
            // The record is built in a wiping buffer: the bytes may be a password.
            SecureBuffer record = SecureBuffer::zeros(sizes_.cbHeader + piece + sizes_.cbTrailer);
            if (record.length() != sizes_.cbHeader + piece + sizes_.cbTrailer) {
                error = "Out of memory";
                return false;
            }
            std::memcpy(record.data() + sizes_.cbHeader, bytes, piece);
            SecBuffer parts[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                                  {piece, SECBUFFER_DATA, record.data() + sizes_.cbHeader},
                                  {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER,
                                   record.data() + sizes_.cbHeader + piece},
                                  {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc message{SECBUFFER_VERSION, 4, parts};
            const SECURITY_STATUS status = EncryptMessage(&context_, 0, &message, 0);
            if (status != SEC_E_OK) {
                error = securityError(status, "The message could not be encrypted");
                return false;
            }
            const std::size_t total = parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer;
            if (!sendAll(reinterpret_cast<const char*>(record.data()), total, error))
                return false;
            bytes += piece;
            size -= piece;
        }
        return true;
    }

    bool readLine(std::string& line, std::string& error) override {
        line.clear();
        if (socket_ == INVALID_SOCKET) {
            error = "The connection is not open";
            return false;
        }
        for (;;) {
            const LineBuffer::Take taken = plain_.take(line);
            if (taken == LineBuffer::Take::Line)
                return true;
            if (taken == LineBuffer::Take::TooLong) {
                error = "The mail server sent a line that is too long";
                return false;
            }
            if (!(tls_ ? receiveDecrypted(error) : receivePlain(error)))
                return false;
        }
    }

  private:
    bool connectWithin(std::uint32_t address, std::uint16_t port, std::string& error) {
        u_long nonBlocking = 1;
        if (ioctlsocket(socket_, SET_NON_BLOCKING, &nonBlocking) != 0) {
            error = socketError("The connection could not be prepared");
            return false;
        }
        if (ip4::connect(socket_, address, port) != 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
            error = socketError("Could not connect to the mail server");
            return false;
        }
        fd_set writable{};
        writable.fd_count = 1;
        writable.fd_array[0] = socket_;
        fd_set failed = writable;
        timeval wait{static_cast<long>(timeout_ / 1000), static_cast<long>(timeout_ % 1000 * 1000)};
        const int ready = ::select(0, nullptr, &writable, &failed, &wait);
        if (ready == 0) {
            error = "The mail server did not accept the connection in time";
            return false;
        }
        int problem = 0;
        int problemSize = sizeof problem;
        if (ready == SOCKET_ERROR ||
            getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&problem),
                       &problemSize) != 0 ||
            problem != 0 || failed.fd_count != 0) {
            if (problem != 0)
                WSASetLastError(problem);
            error = socketError("Could not connect to the mail server");
            return false;
        }
        u_long blocking = 0;
        if (ioctlsocket(socket_, SET_NON_BLOCKING, &blocking) != 0) {
            error = socketError("The connection could not be prepared");
            return false;
        }
        return true;
    }

    bool sendAll(const char* bytes, std::size_t size, std::string& error) {
        while (size > 0) {
            const int piece = size > 0x10000 ? 0x10000 : static_cast<int>(size);
            const int sent = ::send(socket_, bytes, piece, 0);
            if (sent == SOCKET_ERROR || sent == 0) {
                error = WSAGetLastError() == WSAETIMEDOUT
                            ? std::string("The mail server did not take the data in time")
                            : socketError("The connection to the mail server was broken");
                return false;
            }
            bytes += sent;
            size -= static_cast<std::size_t>(sent);
        }
        return true;
    }

    // Appends what the socket has next to `into`, waiting at most the time-out.
    bool receiveInto(SecureBuffer& into, std::string& error) {
        if (into.length() > MAX_PENDING_BYTES) {
            error = "The mail server sent too much at once";
            return false;
        }
        fd_set readable{};
        readable.fd_count = 1;
        readable.fd_array[0] = socket_;
        timeval wait{static_cast<long>(timeout_ / 1000), static_cast<long>(timeout_ % 1000 * 1000)};
        const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
        if (ready == 0) {
            error = "The mail server did not answer in time";
            return false;
        }
        if (ready == SOCKET_ERROR) {
            error = socketError("The connection to the mail server was broken");
            return false;
        }
        char piece[RECEIVE_PIECE];
        const int got = ::recv(socket_, piece, sizeof piece, 0);
        if (got == 0) {
            error = "The mail server closed the connection";
            return false;
        }
        if (got == SOCKET_ERROR) {
            error = WSAGetLastError() == WSAETIMEDOUT
                        ? std::string("The mail server did not answer in time")
                        : socketError("The connection to the mail server was broken");
            return false;
        }
        into.append(piece, static_cast<std::uint32_t>(got));
        SecureZeroMemory(piece, sizeof piece);
        return true;
    }

    bool receivePlain(std::string& error) {
        if (!receiveInto(pending_, error))
            return false;
        plain_.append(pending_.data(), pending_.length());
        pending_.release();
        return true;
    }

    // Keeps the last `count` bytes of pending_ (what SChannel did not consume).
    void keepUnconsumed(std::uint32_t count) {
        if (count == 0 || count > pending_.length())
            pending_.release();
        else if (count < pending_.length())
            pending_.eraseFront(pending_.length() - count);
    }

    // The client's side of the TLS handshake, from the start or (a renegotiation, or TLS 1.3's
    // messages after the handshake) on the established context with what is pending.
    bool handshake(bool initial, std::string& error) {
        bool first = initial;
        bool needInput = !initial && pending_.empty();
        for (int round = 0; round < MAX_HANDSHAKE_ROUNDS; ++round) {
            if (needInput && !receiveInto(pending_, error))
                return false;
            needInput = false;
            SecBuffer input[2] = {{pending_.length(), SECBUFFER_TOKEN, pending_.data()},
                                  {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inputs{SECBUFFER_VERSION, 2, input};
            ContextBuffer output;
            SecBufferDesc outputs{SECBUFFER_VERSION, 1, &output.buffer};
            DWORD attributes = 0;
            const SECURITY_STATUS status = InitializeSecurityContextW(
                &credentials_, first ? nullptr : &context_, const_cast<wchar_t*>(host_.c_str()),
                CONTEXT_FLAGS, 0, 0, first ? nullptr : &inputs, 0, first ? &context_ : nullptr,
                &outputs, &attributes, nullptr);
            if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED ||
                          status == SEC_I_INCOMPLETE_CREDENTIALS))
                haveContext_ = true;
            first = false;
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                needInput = true;
                continue;
            }
            if (output.buffer.cbBuffer != 0 && output.buffer.pvBuffer != nullptr &&
                !sendAll(static_cast<const char*>(output.buffer.pvBuffer), output.buffer.cbBuffer,
                         error))
                return false;
            if (status == SEC_I_INCOMPLETE_CREDENTIALS) // a client certificate is asked for: none
                continue;
            if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
                error = securityError(status, "The TLS handshake with the mail server failed");
                return false;
            }
            keepUnconsumed(input[1].BufferType == SECBUFFER_EXTRA ? input[1].cbBuffer : 0);
            if (status == SEC_E_OK)
                return true; // what is pending is the first of the protected data
            needInput = pending_.empty();
        }
        error = "The TLS handshake with the mail server did not end";
        return false;
    }

    bool verifyServer(std::string& error) {
        CertificateChain checked;
        SECURITY_STATUS status = QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                                         &checked.certificate);
        if (status != SEC_E_OK || checked.certificate == nullptr) {
            error = "The mail server showed no certificate";
            return false;
        }
        LPSTR serverUsage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
        CERT_CHAIN_PARA chainParameters{};
        chainParameters.cbSize = sizeof chainParameters;
        chainParameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
        chainParameters.RequestedUsage.Usage.cUsageIdentifier = 1;
        chainParameters.RequestedUsage.Usage.rgpszUsageIdentifier = serverUsage;
        if (!CertGetCertificateChain(nullptr, checked.certificate, nullptr,
                                     checked.certificate->hCertStore, &chainParameters, 0, nullptr,
                                     &checked.chain)) {
            error = win32::describeError(GetLastError(), nullptr,
                                         "The mail server's certificate could not be checked");
            return false;
        }
        HTTPSPolicyCallbackData server{};
        server.cbStruct = sizeof server;
        server.dwAuthType = AUTHTYPE_SERVER;
        server.pwszServerName = const_cast<wchar_t*>(host_.c_str());
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &server;
        CERT_CHAIN_POLICY_STATUS verdict{};
        verdict.cbSize = sizeof verdict;
        if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, checked.chain, &policy,
                                              &verdict)) {
            error = "The mail server's certificate could not be checked";
            return false;
        }
        if (verdict.dwError != 0) {
            error = std::string(certificateProblem(verdict.dwError)) + " (" +
                    std::to_string(verdict.dwError) + ")";
            return false;
        }
        return true;
    }

    // Decrypts the next record into plain_, receiving until a whole one is there.
    bool receiveDecrypted(std::string& error) {
        for (;;) {
            if (pending_.empty() && !receiveInto(pending_, error))
                return false;
            SecBuffer parts[4] = {{pending_.length(), SECBUFFER_DATA, pending_.data()},
                                  {0, SECBUFFER_EMPTY, nullptr},
                                  {0, SECBUFFER_EMPTY, nullptr},
                                  {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc message{SECBUFFER_VERSION, 4, parts};
            const SECURITY_STATUS status = DecryptMessage(&context_, &message, 0, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                if (!receiveInto(pending_, error))
                    return false;
                continue;
            }
            if (status == SEC_I_CONTEXT_EXPIRED) {
                error = "The mail server ended the TLS connection";
                return false;
            }
            if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) {
                error = securityError(status, "The mail server's data could not be decrypted");
                return false;
            }
            bool gotData = false;
            std::uint32_t unconsumed = 0;
            for (const SecBuffer& part : parts) {
                if (part.BufferType == SECBUFFER_DATA && part.cbBuffer != 0) {
                    plain_.append(part.pvBuffer, part.cbBuffer);
                    gotData = true;
                }
                if (part.BufferType == SECBUFFER_EXTRA)
                    unconsumed = part.cbBuffer;
            }
            keepUnconsumed(unconsumed);
            if (status == SEC_I_RENEGOTIATE && !handshake(false, error))
                return false;
            if (gotData)
                return true;
        }
    }

    void close() noexcept {
        if (haveContext_)
            DeleteSecurityContext(&context_);
        if (haveCredentials_)
            FreeCredentialsHandle(&credentials_);
        haveContext_ = haveCredentials_ = tls_ = false;
        if (socket_ != INVALID_SOCKET)
            ::closesocket(socket_);
        socket_ = INVALID_SOCKET;
        if (started_)
            WSACleanup();
        started_ = false;
        plain_.clear();
        pending_.release();
    }

    SOCKET socket_ = INVALID_SOCKET;
    bool started_ = false;
    std::uint32_t timeout_ = 0;
    std::wstring host_;
    CredHandle credentials_{};
    CtxtHandle context_{};
    bool haveCredentials_ = false;
    bool haveContext_ = false;
    bool tls_ = false;
    SecPkgContext_StreamSizes sizes_{};
    SecureBuffer pending_; // received, not yet decrypted (or handshake bytes)
    LineBuffer plain_;     // received or decrypted, not yet read as lines
};

} // namespace

std::unique_ptr<MailStream> makeSystemMailStream() {
    return std::make_unique<SchannelMailStream>();
}

} // namespace kpv
