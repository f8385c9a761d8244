// Stand-ins until the mail stream and the secret store of the platform arrive: mail cannot
// be sent and no password can be kept. Remove with their arrival.
#include "core/secret_store.h"
#include "net/mail_stream.h"

namespace kpv {

namespace {

class NoMailStream final : public MailStream {
  public:
    bool open(const std::string&, std::uint16_t, bool, std::uint32_t, std::string& error) override {
        error = "mail is not available in this build";
        return false;
    }
    bool startTls(std::string& error) override {
        error = "mail is not available in this build";
        return false;
    }
    bool write(const char*, std::size_t, std::string& error) override {
        error = "mail is not available in this build";
        return false;
    }
    bool readLine(std::string&, std::string& error) override {
        error = "mail is not available in this build";
        return false;
    }
};

} // namespace

std::unique_ptr<MailStream> makeSystemMailStream() {
    return std::make_unique<NoMailStream>();
}

SecureBuffer protectSecret(const SecureBuffer&) {
    return {};
}

bool unprotectSecret(const SecureBuffer&, SecureBuffer& plain) {
    plain.release();
    return false;
}

} // namespace kpv
