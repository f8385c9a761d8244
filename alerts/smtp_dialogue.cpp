#include "alerts/smtp_dialogue.h"

#include "core/calendar_time.h"

#include <cctype>

namespace kpv {
namespace {

constexpr int MAX_REPLY_LINES = 100;
constexpr char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Base64 of n bytes into wiping storage: it carries the password during AUTH.
SecureBuffer base64(const std::uint8_t* bytes, std::uint32_t n) {
    SecureBuffer out;
    for (std::uint32_t i = 0; i < n; i += 3) {
        const std::uint32_t rest = n - i;
        const std::uint32_t group = (std::uint32_t(bytes[i]) << 16) |
                                    (rest > 1 ? std::uint32_t(bytes[i + 1]) << 8 : 0) |
                                    (rest > 2 ? std::uint32_t(bytes[i + 2]) : 0);
        const char quad[4] = {BASE64[(group >> 18) & 63], BASE64[(group >> 12) & 63],
                              rest > 1 ? BASE64[(group >> 6) & 63] : '=',
                              rest > 2 ? BASE64[group & 63] : '='};
        out.append(quad, 4);
    }
    return out;
}

struct Reply {
    int code = 0;      // 0: no reply could be read
    std::string lines; // all lines, joined by a space
    std::string last;
};

class Dialogue {
  public:
    Dialogue(MailStream& stream, MailResult& result) : stream_(stream), result_(result) {}

    Reply reply() {
        Reply answer;
        for (int i = 0; i < MAX_REPLY_LINES; ++i) {
            std::string line;
            std::string error;
            if (!stream_.readLine(line, error)) {
                result_.detail = error.empty() ? "no answer" : error;
                return Reply{};
            }
            if (line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[0])) ||
                !std::isdigit(static_cast<unsigned char>(line[1])) ||
                !std::isdigit(static_cast<unsigned char>(line[2]))) {
                result_.detail = "not an SMTP answer: " + printable(line);
                return Reply{};
            }
            answer.code = std::stoi(line.substr(0, 3));
            answer.last = printable(line);
            // Appended piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) on
            // `const char* + std::string&&` here.
            if (!answer.lines.empty())
                answer.lines += ' ';
            answer.lines += printable(line.substr(3));
            if (line.size() == 3 || line[3] != '-')
                return answer;
        }
        result_.detail = "endless SMTP answer";
        return Reply{};
    }

    bool send(const char* bytes, std::size_t size) {
        std::string error;
        if (stream_.write(bytes, size, error))
            return true;
        result_.detail = error.empty() ? "could not send" : error;
        return false;
    }
    bool send(const std::string& line) { return send(line.data(), line.size()); }

    // Sends a command line and wants an answer of the given class (2 for 2xx, 3 for 3xx).
    // Otherwise the result names the step and the server's answer; a 5xx refuses for good.
    bool command(const std::string& line, int wanted, const char* step, Reply* answer = nullptr) {
        if (!line.empty() && !send(line + "\r\n"))
            return false;
        return expect(wanted, step, answer);
    }

    bool expect(int wanted, const char* step, Reply* answer = nullptr) {
        Reply got = reply();
        if (answer != nullptr)
            *answer = got;
        if (got.code == 0)
            return false;
        if (got.code / 100 == wanted)
            return true;
        result_.detail = std::string(step) + ": " + got.last;
        result_.outcome = got.code / 100 == 5 ? Delivery::Refused : Delivery::RetryLater;
        return false;
    }

  private:
    static std::string printable(const std::string& text) {
        std::string out;
        for (char c : text.substr(0, 200))
            out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
        return out;
    }

    MailStream& stream_;
    MailResult& result_;
};

bool offers(const Reply& ehlo, const char* word) {
    std::string upper;
    for (char c : ehlo.lines)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find(word) != std::string::npos;
}

bool authenticate(Dialogue& dialogue, const Reply& ehlo, const AlertSettings& settings) {
    const std::string& user = settings.mailUser;
    const SecureBuffer& password = settings.mailPassword;
    if (!offers(ehlo, "PLAIN") && offers(ehlo, "LOGIN")) {
        if (!dialogue.command("AUTH LOGIN", 3, "AUTH"))
            return false;
        SecureBuffer name =
            base64(reinterpret_cast<const std::uint8_t*>(user.data()), std::uint32_t(user.size()));
        name.append("\r\n", 2);
        if (!dialogue.send(reinterpret_cast<const char*>(name.data()), name.length()) ||
            !dialogue.command("", 3, "AUTH"))
            return false;
        SecureBuffer secret = base64(password.data(), password.length());
        secret.append("\r\n", 2);
        return dialogue.send(reinterpret_cast<const char*>(secret.data()), secret.length()) &&
               dialogue.command("", 2, "AUTH");
    }
    SecureBuffer plain;
    plain.appendZeros(1);
    plain.append(user.data(), static_cast<std::uint32_t>(user.size()));
    plain.appendZeros(1);
    plain.append(password);
    SecureBuffer line = SecureBuffer::ofBytes("AUTH PLAIN ", 11);
    line.append(base64(plain.data(), plain.length()));
    line.append("\r\n", 2);
    return dialogue.send(reinterpret_cast<const char*>(line.data()), line.length()) &&
           dialogue.command("", 2, "AUTH");
}

std::size_t characterLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

} // namespace

std::string encodedHeaderWord(const std::string& utf8, const char* separator) {
    bool plain = true;
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        plain = plain && byte >= 0x20 && byte < 0x7F;
    }
    if (plain && utf8.find("=?") == std::string::npos)
        return utf8;
    // 45 bytes make 60 base64 characters: with "=?UTF-8?B?" and "?=" a word stays within 75.
    constexpr std::size_t WORD_BYTES = 45;
    std::string out;
    std::size_t at = 0;
    while (at < utf8.size()) {
        std::size_t end = at;
        while (end < utf8.size()) {
            const std::size_t next = end + characterLength(static_cast<unsigned char>(utf8[end]));
            if (next - at > WORD_BYTES)
                break;
            end = std::min(next, utf8.size());
        }
        if (end == at)
            end = std::min(at + WORD_BYTES, utf8.size());
        const SecureBuffer word = base64(reinterpret_cast<const std::uint8_t*>(utf8.data() + at),
                                         std::uint32_t(end - at));
        out += (out.empty() ? "" : separator) + std::string("=?UTF-8?B?") +
               std::string(word.text(), word.length()) + "?=";
        at = end;
    }
    return out;
}

WipingString dotStuffed(const WipingString& text) {
    WipingString out;
    bool lineStart = true;
    for (char c : text) {
        if (c == '\r')
            continue;
        if (lineStart && c == '.')
            out += '.';
        if (c == '\n') {
            out += "\r\n";
            lineStart = true;
            continue;
        }
        out += c;
        lineStart = false;
    }
    if (!lineStart)
        out += "\r\n";
    return out;
}

std::string mailDate(std::int64_t seconds) {
    static const char* const DAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const CalendarTime time =
        utcCalendarTime(seconds < 0 ? 0 : static_cast<std::uint32_t>(seconds));
    ShortText text; // Tue, 08 Dec 2026 01:44:32 +0000
    text.literal(DAYS[time.weekday]).literal(", ").number(time.day, 2).literal(" ");
    text.literal(MONTHS[time.month - 1]).literal(" ").number(time.year, 4).literal(" ");
    text.number(time.hour, 2).literal(":").number(time.minute, 2).literal(":");
    text.number(time.second, 2).literal(" +0000");
    return std::string(text.view());
}

MailResult sendMail(MailStream& stream, const AlertSettings& settings, const MailContent& content,
                    std::uint32_t timeoutMilliseconds) {
    MailResult result;
    std::string error;
    if (!stream.open(settings.mailServer, settings.effectiveMailPort(),
                     settings.mailSecurity == MailSecurity::Tls, timeoutMilliseconds, error)) {
        result.detail = error.empty() ? "could not connect" : error;
        return result;
    }
    Dialogue dialogue(stream, result);
    Reply ehlo;
    if (!dialogue.expect(2, "greeting") || !dialogue.command("EHLO localhost", 2, "EHLO", &ehlo))
        return result;
    if (settings.mailSecurity == MailSecurity::StartTls) {
        if (!dialogue.command("STARTTLS", 2, "STARTTLS"))
            return result;
        if (!stream.startTls(error)) {
            result.detail = error.empty() ? "TLS failed" : error;
            return result;
        }
        if (!dialogue.command("EHLO localhost", 2, "EHLO", &ehlo))
            return result;
    }
    if (!settings.mailUser.empty() && !authenticate(dialogue, ehlo, settings))
        return result;
    if (!dialogue.command("MAIL FROM:<" + settings.mailFrom + ">", 2, "MAIL FROM"))
        return result;
    for (const std::string& to : settings.mailTo)
        if (!dialogue.command("RCPT TO:<" + to + ">", 2, "RCPT TO"))
            return result;
    if (!dialogue.command("DATA", 3, "DATA"))
        return result;

    std::string to;
    for (const std::string& address : settings.mailTo)
        to += (to.empty() ? "" : ", ") + address;
    WipingString message;
    const std::string headers =
        "Date: " + mailDate(content.date) + "\nFrom: Kopiavakt <" + settings.mailFrom +
        ">\nTo: " + to + "\nSubject: " + encodedHeaderWord(content.subject, "\r\n ") +
        "\nMessage-ID: <" + content.messageId +
        "@kopiavakt>\nMIME-Version: 1.0\n"
        "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n";
    message.assign(headers.begin(), headers.end());
    message += content.body;
    WipingString data = dotStuffed(message);
    data += ".\r\n";
    Reply accepted;
    if (!dialogue.send(data.data(), data.size()) || !dialogue.expect(2, "DATA", &accepted))
        return result;
    (void)dialogue.command("QUIT", 2, "QUIT"); // the mail is accepted whatever QUIT gets
    result.outcome = Delivery::Delivered;
    result.detail = accepted.last;
    return result;
}

} // namespace kpv
