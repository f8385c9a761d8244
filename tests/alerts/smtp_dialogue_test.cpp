// The SMTP dialogue against a scripted server: what goes on the wire, and what a refusal at
// each step leaves (no mail in the clear, the server's answer, retry or not).
#include "alerts/smtp_dialogue.h"

#include <doctest/doctest.h>

#include <deque>
#include <map>

namespace kpv {
namespace {

// A mail server that answers each command line by its rules and keeps what it was sent.
class ScriptedMailServer final : public MailStream {
  public:
    bool offerStartTls = true;
    bool refuseStartTls = false;
    std::string authMechanisms = "PLAIN LOGIN";
    bool refuseAuth = false;
    std::map<std::string, std::string> rcptAnswers; // address -> answer, else 250

    std::vector<std::string> commands; // as received, before TLS marked "clear: "
    std::string data;                  // the DATA section as received, final dot included
    bool tls = false;
    bool implicitTls = false;
    std::uint16_t port = 0;

    bool open(const std::string&, std::uint16_t atPort, bool withTls, std::uint32_t,
              std::string&) override {
        port = atPort;
        implicitTls = tls = withTls;
        replies_.push_back("220 scripted ESMTP");
        return true;
    }
    bool startTls(std::string&) override {
        tls = true;
        return true;
    }
    bool write(const char* bytes, std::size_t size, std::string&) override {
        pending_.append(bytes, size);
        std::size_t end;
        while ((end = pending_.find("\r\n")) != std::string::npos) {
            const std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 2);
            inData_ ? dataLine(line) : command(line);
        }
        return true;
    }
    bool readLine(std::string& line, std::string& error) override {
        if (replies_.empty()) {
            error = "timed out";
            return false;
        }
        line = replies_.front();
        replies_.pop_front();
        return true;
    }

  private:
    void dataLine(const std::string& line) {
        data += line + "\r\n";
        if (line == ".") {
            inData_ = false;
            replies_.push_back("250 2.0.0 queued as 42");
        }
    }

    void command(const std::string& line) {
        commands.push_back((tls ? "" : "clear: ") + line);
        const std::string verb = line.substr(0, line.find_first_of(" :"));
        if (awaitingLogin_ > 0) {
            --awaitingLogin_;
            replies_.push_back(awaitingLogin_ > 0 ? "334 UGFzc3dvcmQ6"
                                                  : (refuseAuth ? "535 5.7.8 no" : "235 ok"));
        } else if (verb == "EHLO") {
            replies_.push_back("250-scripted");
            if (offerStartTls && !tls)
                replies_.push_back("250-STARTTLS");
            replies_.push_back("250 AUTH " + authMechanisms);
        } else if (verb == "STARTTLS") {
            replies_.push_back(refuseStartTls ? "454 4.7.0 TLS not available" : "220 go ahead");
        } else if (verb == "AUTH") {
            if (line.rfind("AUTH LOGIN", 0) == 0) {
                awaitingLogin_ = 2;
                replies_.push_back("334 VXNlcm5hbWU6");
            } else {
                replies_.push_back(refuseAuth ? "535 5.7.8 Authentication credentials invalid"
                                              : "235 2.7.0 ok");
            }
        } else if (verb == "RCPT") {
            const std::string address =
                line.substr(line.find('<') + 1, line.find('>') - line.find('<') - 1);
            const auto found = rcptAnswers.find(address);
            replies_.push_back(found != rcptAnswers.end() ? found->second : "250 ok");
        } else if (verb == "DATA") {
            inData_ = true;
            replies_.push_back("354 go on");
        } else if (verb == "QUIT") {
            replies_.push_back("221 bye");
        } else {
            replies_.push_back("250 ok");
        }
    }

    std::deque<std::string> replies_;
    std::string pending_;
    bool inData_ = false;
    int awaitingLogin_ = 0;
};

AlertSettings mailSettings() {
    AlertSettings settings;
    settings.mailServer = "mail.example.org";
    settings.mailFrom = "kopiavakt@example.org";
    settings.mailTo = {"anna@example.org", "it@example.org"};
    return settings;
}

MailContent content() {
    return MailContent{"Kopiavakt: säkerhetskopior behöver åtgärdas",
                       "Rad ett\n.dold rad\n.\nSlut\n", "abc-1", 1800000000};
}

} // namespace

TEST_CASE("a mail goes through STARTTLS, AUTH and one RCPT per address, dot-stuffed") {
    ScriptedMailServer server;
    AlertSettings settings = mailSettings();
    settings.mailUser = "anna";
    settings.mailPassword = SecureBuffer::ofBytes("hemligt", 7);
    const MailResult result = sendMail(server, settings, content(), 1000);
    CHECK(result.outcome == Delivery::Delivered);
    CHECK(result.detail == "250 2.0.0 queued as 42");
    CHECK(server.port == 587);
    CHECK(server.commands ==
          std::vector<std::string>{
              "clear: EHLO localhost", "clear: STARTTLS", "EHLO localhost",
              "AUTH PLAIN AGFubmEAaGVtbGlndA==", "MAIL FROM:<kopiavakt@example.org>",
              "RCPT TO:<anna@example.org>", "RCPT TO:<it@example.org>", "DATA", "QUIT"});
    CHECK(server.data.find("Subject: =?UTF-8?B?") != std::string::npos);
    CHECK(server.data.find("Date: Fri, 15 Jan 2027 08:00:00 +0000\r\n") != std::string::npos);
    CHECK(server.data.find("Message-ID: <abc-1@kopiavakt>\r\n") != std::string::npos);
    CHECK(server.data.find("To: anna@example.org, it@example.org\r\n") != std::string::npos);
    CHECK(server.data.find("\r\n\r\nRad ett\r\n..dold rad\r\n..\r\nSlut\r\n.\r\n") !=
          std::string::npos);

    ScriptedMailServer loginOnly;
    loginOnly.authMechanisms = "LOGIN";
    settings.mailSecurity = MailSecurity::Tls;
    REQUIRE(sendMail(loginOnly, settings, content(), 1000).outcome == Delivery::Delivered);
    REQUIRE(loginOnly.commands.size() > 3);
    CHECK(loginOnly.implicitTls);
    CHECK(loginOnly.port == 465);
    CHECK(loginOnly.commands[1] == "AUTH LOGIN");
    CHECK(loginOnly.commands[2] == "YW5uYQ==");
    CHECK(loginOnly.commands[3] == "aGVtbGlndA==");
}

TEST_CASE("a refused STARTTLS, a failed AUTH and a 4xx on RCPT stop the mail with the answer") {
    SUBCASE("STARTTLS refused: nothing more in the clear, retried later") {
        ScriptedMailServer server;
        server.refuseStartTls = true;
        const MailResult result = sendMail(server, mailSettings(), content(), 1000);
        CHECK(result.outcome == Delivery::RetryLater);
        CHECK(result.detail == "STARTTLS: 454 4.7.0 TLS not available");
        CHECK(server.commands.back() == "clear: STARTTLS");
        CHECK(server.data.empty());
    }
    SUBCASE("AUTH refused: refused for good") {
        ScriptedMailServer server;
        AlertSettings settings = mailSettings();
        settings.mailUser = "anna";
        settings.mailPassword = SecureBuffer::ofBytes("fel", 3);
        server.refuseAuth = true;
        const MailResult result = sendMail(server, settings, content(), 1000);
        CHECK(result.outcome == Delivery::Refused);
        CHECK(result.detail == "AUTH: 535 5.7.8 Authentication credentials invalid");
        CHECK(server.data.empty());
    }
    SUBCASE("4xx on the second RCPT: no DATA, retried later") {
        ScriptedMailServer server;
        server.rcptAnswers["it@example.org"] = "451 4.3.0 try again later";
        const MailResult result = sendMail(server, mailSettings(), content(), 1000);
        CHECK(result.outcome == Delivery::RetryLater);
        CHECK(result.detail == "RCPT TO: 451 4.3.0 try again later");
        CHECK(server.data.empty());
    }
    SUBCASE("security none: plain dialogue on port 25, no STARTTLS") {
        ScriptedMailServer server;
        AlertSettings settings = mailSettings();
        settings.mailSecurity = MailSecurity::None;
        CHECK(sendMail(server, settings, content(), 1000).outcome == Delivery::Delivered);
        CHECK(server.port == 25);
        CHECK(server.commands[1] == "clear: MAIL FROM:<kopiavakt@example.org>");
    }
}

TEST_CASE("a long UTF-8 subject becomes encoded words that never split a character") {
    CHECK(encodedHeaderWord("Plain subject", "\r\n ") == "Plain subject");
    // The 45th byte would be the first of "ö": the first word ends before it. (Python's
    // base64 of the two parts.)
    CHECK(encodedHeaderWord("Kopiavakt: påminnelse, säkerhetskopior behöver åtgärdas öööö",
                            "\r\n ") ==
          "=?UTF-8?B?S29waWF2YWt0OiBww6VtaW5uZWxzZSwgc8Oka2VyaGV0c2tvcGlvciBiZWg=?=\r\n "
          "=?UTF-8?B?w7Z2ZXIgw6V0Z8OkcmRhcyDDtsO2w7bDtg==?=");
}

} // namespace kpv
