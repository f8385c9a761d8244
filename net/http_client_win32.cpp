// WinHTTP for the alert channels: the system's proxy settings, its certificate store and its
// TLS, with every wait bounded.
#include "net/http_client.h"

#include <windows.h>
#include <winhttp.h>

#include "net/system_text_win32.h"

namespace kpv {
namespace {

const wchar_t* const WINHTTP_MODULE = L"winhttp.dll";
constexpr std::size_t MAX_REASON_UNITS = 200;

// One WinHTTP handle; closing twice cannot happen.
class InternetHandle {
  public:
    explicit InternetHandle(HINTERNET handle = nullptr) noexcept : handle_(handle) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() {
        if (handle_ != nullptr)
            WinHttpCloseHandle(handle_);
    }
    HINTERNET get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

  private:
    HINTERNET handle_;
};

const char* fallbackText(DWORD code) {
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
        return "The server did not answer in time";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "The server's name could not be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "Could not connect to the server";
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "The connection to the server was broken";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "The server's answer was not HTTP";
    case ERROR_WINHTTP_SECURE_FAILURE:
        return "The server's certificate was not accepted";
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
        return "The address is not a valid http:// or https:// URL";
    case ERROR_WINHTTP_REDIRECT_FAILED:
        return "The server's redirection was not followed";
    default:
        return "The request failed";
    }
}

// Why the certificate was refused, from the flags WinHTTP reports before failing.
const char* certificateProblem(DWORD flags) {
    if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA) != 0)
        return "The server's certificate is not issued by a trusted authority";
    if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID) != 0)
        return "The server's certificate is issued for another name";
    if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID) != 0)
        return "The server's certificate has expired or is not yet valid";
    if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED) != 0)
        return "The server's certificate has been revoked";
    if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE) != 0)
        return "The server's certificate is not meant for a web server";
    if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CERT) != 0)
        return "The server's certificate is not valid";
    return nullptr;
}

struct RequestContext {
    DWORD certificateFlags = 0;
};

void CALLBACK noteSecureFailure(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                                DWORD length) {
    if (status != WINHTTP_CALLBACK_STATUS_SECURE_FAILURE || context == 0 ||
        information == nullptr || length < sizeof(DWORD))
        return;
    DWORD flags = 0;
    CopyMemory(&flags, information, sizeof flags);
    reinterpret_cast<RequestContext*>(context)->certificateFlags = flags;
}

HttpResult failure(DWORD code, const RequestContext* context = nullptr) {
    HttpResult result;
    const char* problem = context != nullptr && code == ERROR_WINHTTP_SECURE_FAILURE
                              ? certificateProblem(context->certificateFlags)
                              : nullptr;
    if (problem != nullptr)
        result.detail = std::string(problem) + " (" + std::to_string(code) + ")";
    else
        result.detail = win32::describeError(code, WINHTTP_MODULE, fallbackText(code));
    return result;
}

HttpResult failure(const char* text) {
    HttpResult result;
    result.detail = text;
    return result;
}

bool isTokenCharacter(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    for (const char* t = "!#$%&'*+-.^_`|~"; *t != '\0'; ++t)
        if (c == *t)
            return true;
    return false;
}

// A header the caller gives can never end the header block or start another one.
bool isSafeHeader(const std::string& name, const std::string& value) {
    if (name.empty())
        return false;
    for (char c : name)
        if (!isTokenCharacter(c))
            return false;
    for (char c : value)
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    return true;
}

// The server's reason phrase on one line of printable text, bounded.
std::string reasonPhrase(HINTERNET request) {
    wchar_t text[MAX_REASON_UNITS + 1] = {};
    DWORD bytes = sizeof text - sizeof text[0];
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_TEXT, WINHTTP_HEADER_NAME_BY_INDEX, text,
                             &bytes, WINHTTP_NO_HEADER_INDEX))
        return {};
    std::size_t units = bytes / sizeof text[0];
    if (units > MAX_REASON_UNITS)
        units = MAX_REASON_UNITS;
    for (std::size_t i = 0; i < units; ++i)
        if (text[i] < L' ' || text[i] == 0x7F)
            text[i] = L' ';
    return win32::utf8FromWide(text, units);
}

class WinHttpClient final : public HttpClient {
  public:
    WinHttpClient() {
        // The automatic proxy (the system's and the user's settings, with discovery) exists
        // from Windows 8.1; before that the machine's WinHTTP proxy setting is the system's.
        session_ = open(WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY);
        if (session_ == nullptr)
            session_ = open(WINHTTP_ACCESS_TYPE_DEFAULT_PROXY);
        if (session_ == nullptr)
            sessionError_ = GetLastError();
    }
    WinHttpClient(const WinHttpClient&) = delete;
    WinHttpClient& operator=(const WinHttpClient&) = delete;
    ~WinHttpClient() override {
        if (session_ != nullptr)
            WinHttpCloseHandle(session_);
    }

    HttpResult send(const HttpRequest& request) override {
        if (session_ == nullptr)
            return failure(sessionError_);
        for (const auto& [name, value] : request.headers)
            if (!isSafeHeader(name, value))
                return failure("A request header is not valid");
        if (request.body.size() > 0x7FFFFFFF)
            return failure("The request is too large");

        std::wstring url = win32::wideFromUtf8(request.url);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        parts.dwSchemeLength = static_cast<DWORD>(-1);
        if (url.empty() || !WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
            return failure(ERROR_WINHTTP_INVALID_URL);
        const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
        if ((!secure && parts.nScheme != INTERNET_SCHEME_HTTP) || parts.dwHostNameLength == 0)
            return failure(ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring target;
        if (parts.dwUrlPathLength != 0)
            target.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
        if (parts.dwExtraInfoLength != 0)
            target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        const std::size_t fragment = target.find(L'#'); // never sent to the server
        if (fragment != std::wstring::npos)
            target.erase(fragment);
        if (target.empty() || target.front() != L'/')
            target.insert(target.begin(), L'/');

        const InternetHandle connection(WinHttpConnect(session_, host.c_str(), parts.nPort, 0));
        if (!connection)
            return failure(GetLastError());
        const std::wstring method = win32::wideFromUtf8(request.method);
        const InternetHandle handle(WinHttpOpenRequest(
            connection.get(), method.empty() ? L"GET" : method.c_str(), target.c_str(), nullptr,
            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
        if (!handle)
            return failure(GetLastError());

        const int timeout = request.timeoutMilliseconds > 0x7FFFFFFFu
                                ? 0x7FFFFFFF
                                : static_cast<int>(request.timeoutMilliseconds);
        if (!WinHttpSetTimeouts(handle.get(), timeout, timeout, timeout, timeout))
            return failure(GetLastError());
        // The wait for the response headers has a bound of its own, not the receive time-out.
        DWORD headersWait = static_cast<DWORD>(timeout);
        WinHttpSetOption(handle.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersWait,
                         sizeof headersWait);
        // A redirected POST would arrive as a GET without its body, or not at all, while the
        // final 200 claimed delivery: only GET follows redirections, and never from https to
        // http.
        DWORD redirects = method == L"GET" ? WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP
                                           : WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        WinHttpSetOption(handle.get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirects,
                         sizeof redirects);
        DWORD features = WINHTTP_DISABLE_COOKIES;
        WinHttpSetOption(handle.get(), WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features);

        std::wstring headers;
        for (const auto& [name, value] : request.headers)
            headers += win32::wideFromUtf8(name) + L": " + win32::wideFromUtf8(value) + L"\r\n";
        if (!headers.empty() &&
            !WinHttpAddRequestHeaders(handle.get(), headers.c_str(),
                                      static_cast<DWORD>(headers.size()),
                                      WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
            return failure(GetLastError());

        RequestContext context;
        WinHttpSetStatusCallback(handle.get(), noteSecureFailure,
                                 WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);
        const DWORD size = static_cast<DWORD>(request.body.size());
        void* body = size != 0 ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA;
        if (!WinHttpSendRequest(handle.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, body, size, size,
                                reinterpret_cast<DWORD_PTR>(&context)) ||
            !WinHttpReceiveResponse(handle.get(), nullptr))
            return failure(GetLastError(), &context);

        DWORD status = 0;
        DWORD statusBytes = sizeof status;
        if (!WinHttpQueryHeaders(
                handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusBytes, WINHTTP_NO_HEADER_INDEX))
            return failure(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
        HttpResult result;
        result.answered = true;
        result.status = static_cast<int>(status);
        result.detail = reasonPhrase(handle.get());
        return result;
    }

  private:
    static HINTERNET open(DWORD access) {
        return WinHttpOpen(L"Kopiavakt", access, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    }

    HINTERNET session_ = nullptr;
    DWORD sessionError_ = 0;
};

} // namespace

std::unique_ptr<HttpClient> makeSystemHttpClient() {
    return std::make_unique<WinHttpClient>();
}

} // namespace kpv
