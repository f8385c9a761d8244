#include "alerts/alert_settings.h"

#include "core/data_file.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace kpv {
namespace {

constexpr std::uint16_t FILE_VERSION = 1;
constexpr std::uint32_t MAX_VALUES = 64;
constexpr std::size_t MAX_TEXT = 2048;
constexpr std::uint32_t MAX_HOURS = 8760; // a year
constexpr const char* PASSWORD_NAME = "MailPassword";

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Line breaks in a value would let it write its own header or SMTP command.
bool hasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

bool isAddress(const std::string& text) {
    const auto at = text.find('@');
    return at != std::string::npos && at > 0 && at + 1 < text.size() && !hasControl(text) &&
           text.find_first_of(" <>,;\"") == std::string::npos && text.size() <= 254;
}

std::optional<std::uint32_t> decimal(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(text));
}

std::string asText(const SecureBuffer& blob) {
    return std::string(reinterpret_cast<const char*>(blob.data()), blob.length());
}

SecureBuffer asBlob(const std::string& text) {
    return SecureBuffer::ofBytes(text.data(), static_cast<std::uint32_t>(text.size()));
}

// One value as it arrives, from the policy or the user, before it is checked.
struct RawValue {
    std::string text;
    bool fromPolicy = false;
};

class Resolver {
  public:
    Resolver(const AlertValues& values, const PolicySource& policy, AlertSettings& settings)
        : values_(values), policy_(policy), settings_(settings) {}

    // The policy's text when set and usable, else the user's when usable; nothing otherwise.
    template <typename Check>
    std::optional<std::string> text(const char* name, Check usable) {
        if (const auto value = policy_.text(name)) {
            settings_.configured = true;
            if (usable(*value)) {
                settings_.fromPolicy.insert(name);
                return *value;
            }
            reject(name, *value);
        }
        const auto found = values_.texts.find(name);
        if (found == values_.texts.end() || found->second.empty())
            return std::nullopt;
        if (usable(found->second))
            return found->second;
        reject(name, found->second);
        return std::nullopt;
    }

    std::optional<std::uint32_t> number(const char* name, std::uint32_t low, std::uint32_t high) {
        if (const auto value = policy_.number(name)) {
            settings_.configured = true;
            if (*value >= low && *value <= high) {
                settings_.fromPolicy.insert(name);
                return *value;
            }
            reject(name, std::to_string(*value));
        }
        const auto found = values_.texts.find(name);
        if (found == values_.texts.end() || found->second.empty())
            return std::nullopt;
        const auto value = decimal(found->second);
        if (value && *value >= low && *value <= high)
            return value;
        reject(name, found->second);
        return std::nullopt;
    }

  private:
    void reject(const char* name, const std::string& value) {
        std::string line = std::string(name) + ": ogiltigt värde \"";
        for (char c : value.substr(0, 60))
            line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
        settings_.problems.push_back(line + "\", används inte.");
    }

    const AlertValues& values_;
    const PolicySource& policy_;
    AlertSettings& settings_;
};

bool oneOf(const std::string& value, std::initializer_list<const char*> names) {
    const std::string wanted = lower(trimmed(value));
    return std::any_of(names.begin(), names.end(),
                       [&](const char* name) { return wanted == name; });
}

bool usableText(const std::string& value) {
    return !value.empty() && value.size() <= MAX_TEXT && !hasControl(value);
}

std::vector<std::string> addressList(const std::string& value) {
    std::vector<std::string> addresses;
    std::size_t start = 0;
    while (start <= value.size()) {
        const auto end = value.find_first_of(",;", start);
        const std::string part = trimmed(
            value.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (!part.empty())
            addresses.push_back(part);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return addresses;
}

bool usableAddressList(const std::string& value) {
    const auto addresses = addressList(value);
    return !addresses.empty() && std::all_of(addresses.begin(), addresses.end(), isAddress);
}

bool usableHost(const std::string& value) {
    return usableText(value) && value.size() <= 253 &&
           value.find_first_of(" /:@") == std::string::npos;
}

} // namespace

std::uint16_t AlertSettings::effectiveMailPort() const {
    if (mailPort != 0)
        return mailPort;
    switch (mailSecurity) {
    case MailSecurity::Tls:
        return 465;
    case MailSecurity::None:
        return 25;
    case MailSecurity::StartTls:
        break;
    }
    return 587;
}

bool isUsableUrl(const std::string& url) {
    if (url.size() > MAX_TEXT || hasControl(url) || url.find(' ') != std::string::npos)
        return false;
    const std::string start = lower(url.substr(0, 8));
    const std::size_t hostAt =
        start.rfind("https://", 0) == 0 ? 8 : (start.rfind("http://", 0) == 0 ? 7 : 0);
    if (hostAt == 0 || hostAt >= url.size())
        return false;
    const char first = url[hostAt];
    return first != '/' && first != ':' && first != '?' && first != '#';
}

bool readAlertValues(RecordStream& content, AlertValues& values) {
    if (content.readU16() != FILE_VERSION)
        return false;
    const std::uint32_t count = content.readU16();
    if (count > MAX_VALUES)
        return false;
    AlertValues read;
    for (std::uint32_t i = 0; i < count; ++i) {
        const SecureBuffer name = content.readBlob();
        SecureBuffer value = content.readBlob();
        if (name.empty() || name.length() > 64 || value.length() > MAX_TEXT)
            return false;
        if (asText(name) == PASSWORD_NAME)
            read.protectedPassword = std::move(value);
        else
            read.texts[asText(name)] = asText(value);
    }
    if (content.cursor != content.length())
        return false;
    values = std::move(read);
    return true;
}

RecordStream writeAlertValues(const AlertValues& values) {
    RecordStream content;
    content.appendU16(FILE_VERSION);
    content.appendU16(static_cast<std::uint32_t>(values.texts.size()) +
                      (values.protectedPassword.empty() ? 0 : 1));
    for (const auto& [name, value] : values.texts) {
        content.appendBlob(asBlob(name));
        content.appendBlob(asBlob(value));
    }
    if (!values.protectedPassword.empty()) {
        content.appendBlob(asBlob(PASSWORD_NAME));
        content.appendBlob(values.protectedPassword);
    }
    return content;
}

bool loadAlertValues(AlertValues& values) {
    RecordStream content;
    return loadDataFile(ALERTS_FILE, content) && readAlertValues(content, values);
}

bool saveAlertValues(const AlertValues& values) {
    RecordStream content = writeAlertValues(values);
    return saveDataFile(ALERTS_FILE, content);
}

AlertSettings resolveAlertSettings(const AlertValues& values, const SecureBuffer& password,
                                   bool fileLoaded, const PolicySource& policy) {
    AlertSettings settings;
    settings.configured = fileLoaded;
    Resolver resolve(values, policy, settings);

    if (const auto url = resolve.text("WebhookUrl", isUsableUrl))
        settings.webhookUrl = *url;
    if (const auto format = resolve.text("WebhookFormat", [](const std::string& value) {
            return oneOf(value, {"json", "slack", "text"});
        })) {
        const std::string name = lower(trimmed(*format));
        settings.webhookFormat = name == "slack"  ? WebhookFormat::Slack
                                 : name == "text" ? WebhookFormat::Text
                                                  : WebhookFormat::Json;
    }
    if (const auto url = resolve.text("PingUrl", isUsableUrl))
        settings.pingUrl = *url;
    if (const auto server = resolve.text("MailServer", usableHost))
        settings.mailServer = trimmed(*server);
    if (const auto port = resolve.number("MailPort", 1, 65535))
        settings.mailPort = static_cast<std::uint16_t>(*port);
    if (const auto security = resolve.text("MailSecurity", [](const std::string& value) {
            return oneOf(value, {"starttls", "tls", "none"});
        })) {
        const std::string name = lower(trimmed(*security));
        settings.mailSecurity = name == "tls"    ? MailSecurity::Tls
                                : name == "none" ? MailSecurity::None
                                                 : MailSecurity::StartTls;
    }
    if (const auto from = resolve.text(
            "MailFrom", [](const std::string& value) { return isAddress(trimmed(value)); }))
        settings.mailFrom = trimmed(*from);
    if (const auto to = resolve.text("MailTo", usableAddressList))
        settings.mailTo = addressList(*to);
    if (const auto user = resolve.text("MailUser", usableText))
        settings.mailUser = *user;
    if (const auto hours = resolve.number("ReminderHours", 0, MAX_HOURS))
        settings.reminderHours = *hours;
    if (const auto hours = resolve.number("NoContactHours", 1, MAX_HOURS))
        settings.noContactHours = *hours;
    if (const auto on = resolve.number("Notifications", 0, 1))
        settings.notifications = *on == 1;
    settings.mailPassword = password;

    const bool anyMail =
        !settings.mailServer.empty() || !settings.mailFrom.empty() || !settings.mailTo.empty();
    if (anyMail && !settings.mailOn())
        settings.problems.push_back(
            "E-post skickas inte: MailServer, MailFrom och MailTo behövs alla.");
    return settings;
}

} // namespace kpv
