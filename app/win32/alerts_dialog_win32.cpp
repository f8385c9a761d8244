#include "app/win32/alerts_dialog_win32.h"

#include "app/win32/procedure_guard_win32.h"
#include "app/win32/resource_ids.h"
#include "app/win32/text_win32.h"
#include "app/win32/window_placement_win32.h"
#include "core/secret_store.h"
#include "core/secure_memory.h"
#include "status/column_text.h"

#include <set>
#include <string>
#include <vector>

namespace kpv {

namespace {

constexpr UINT_PTR REFRESH_TIMER = 1;
constexpr UINT REFRESH_INTERVAL_MS = 500;
// Stands in the password field for a stored password, which is never read back into it.
constexpr wchar_t KEPT_PASSWORD[] = L"\x25CF\x25CF\x25CF\x25CF\x25CF\x25CF\x25CF\x25CF";

struct TextField {
    int control;
    const char* name;
};

constexpr TextField TEXT_FIELDS[] = {
    {IDC_ALERT_WEBHOOK_URL, "WebhookUrl"},
    {IDC_ALERT_PING_URL, "PingUrl"},
    {IDC_ALERT_MAIL_SERVER, "MailServer"},
    {IDC_ALERT_MAIL_PORT, "MailPort"},
    {IDC_ALERT_MAIL_FROM, "MailFrom"},
    {IDC_ALERT_MAIL_TO, "MailTo"},
    {IDC_ALERT_MAIL_USER, "MailUser"},
    {IDC_ALERT_REMINDER_HOURS, "ReminderHours"},
    {IDC_ALERT_NO_CONTACT_HOURS, "NoContactHours"},
};

struct Choice {
    const char* utf8Text;
    const char* value;
};

constexpr Choice FORMATS[] = {{"JSON", "json"}, {"Slack", "slack"}, {"Text (ntfy)", "text"}};
constexpr Choice SECURITIES[] = {{"STARTTLS", "starttls"}, {"TLS", "tls"}, {"Ingen", "none"}};

// What the dialog works with, owned by the caller for the dialog's whole run.
struct AlertsDialogState {
    HWND mainWindow;
    AlertShell* alerts;
    AlertValues values;
    bool passwordEdited = false;
    std::set<std::string> fromPolicy; // the names whose usable value the policy sets
};

std::string controlText(HWND dialog, int control) {
    HWND field = GetDlgItem(dialog, control);
    const int length = GetWindowTextLengthW(field);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(field, text.data(), length + 1);
    std::string utf8 = utf8Of(text.c_str());
    secureWipe(text.data(), text.size() * sizeof(wchar_t));
    return utf8;
}

void setControlText(HWND dialog, int control, const std::string& utf8) {
    SetDlgItemTextW(dialog, control, widenUtf8(utf8.c_str()).c_str());
}

template <std::size_t N>
void fillChoices(HWND dialog, int control, const Choice (&choices)[N], const std::string& value) {
    int selected = 0;
    for (std::size_t i = 0; i < N; ++i) {
        const std::wstring text = widenUtf8(choices[i].utf8Text);
        SendDlgItemMessageW(dialog, control, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(text.c_str()));
        if (value == choices[i].value)
            selected = static_cast<int>(i);
    }
    SendDlgItemMessageW(dialog, control, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

template <std::size_t N>
std::string chosen(HWND dialog, int control, const Choice (&choices)[N]) {
    const LRESULT index = SendDlgItemMessageW(dialog, control, CB_GETCURSEL, 0, 0);
    return index >= 0 && static_cast<std::size_t>(index) < N
               ? choices[static_cast<std::size_t>(index)].value
               : choices[0].value;
}

// The value the dialog shows: the policy's, which greys the field, else the user's. A policy
// value that cannot be used counts as none (and has its line among the problems).
std::string shownValue(const AlertsDialogState& state, const PolicySource& policy, const char* name,
                       bool number, bool& locked) {
    locked = state.fromPolicy.count(name) != 0;
    if (locked && number) {
        if (const auto value = policy.number(name))
            return std::to_string(*value);
    } else if (locked) {
        if (const auto value = policy.text(name))
            return *value;
    }
    const auto found = state.values.texts.find(name);
    return found != state.values.texts.end() ? found->second : std::string();
}

bool isNumber(const char* name) {
    const std::string text = name;
    return text == "MailPort" || text == "ReminderHours" || text == "NoContactHours";
}

std::string localTime(std::int64_t seconds) {
    if (seconds <= 0 || seconds > std::int64_t(UINT32_MAX))
        return {};
    const SecureBuffer text = formatDateTime(static_cast<std::uint32_t>(seconds));
    return text.empty() ? std::string() : std::string(text.text());
}

std::string reportLine(const ChannelReport& report) {
    return report.channel + (report.delivered ? ": levererad" : ": inte levererad") +
           (report.detail.empty() ? "" : " (" + report.detail + ")");
}

void refreshStatus(HWND dialog, const AlertsDialogState& state) {
    const auto status = state.alerts->status();
    std::string last = "Ingen avisering har skickats ännu.";
    if (status && status->last.time != 0)
        last =
            "Senaste avisering " + localTime(status->last.time) + ": " + reportLine(status->last);
    if (status && status->pending > 0)
        last += "; " + std::to_string(status->pending) + " väntar";
    setControlText(dialog, IDC_ALERT_LAST, last);
    if (!status)
        return;
    std::string test;
    if (status->testRunning)
        test = "Skickar test…";
    for (const ChannelReport& report : status->test)
        test += (test.empty() ? "" : "\r\n") + reportLine(report);
    setControlText(dialog, IDC_ALERT_TEST_RESULT, test);
}

void showProblems(HWND dialog, const AlertSettings& settings) {
    std::string text;
    for (const std::string& line : settings.problems)
        text += (text.empty() ? "" : "\r\n") + line;
    if (!settings.fromPolicy.empty())
        text +=
            std::string(text.empty() ? "" : "\r\n") + "Gråa fält är inställda av administratören.";
    setControlText(dialog, IDC_ALERT_PROBLEMS, text);
}

void initialise(HWND dialog, AlertsDialogState& state) {
    centreOnMainWindow(dialog, state.mainWindow);
    const bool loaded = loadAlertValues(state.values); // missing or damaged: empty fields
    const PolicySource& policy = systemPolicy();
    const AlertSettings current = resolveAlertSettings(state.values, {}, loaded, policy);
    state.fromPolicy = current.fromPolicy;
    for (const TextField& field : TEXT_FIELDS) {
        bool locked = false;
        std::string value = shownValue(state, policy, field.name, isNumber(field.name), locked);
        if (value.empty() && std::string(field.name) == "ReminderHours")
            value = "24";
        if (value.empty() && std::string(field.name) == "NoContactHours")
            value = "24";
        setControlText(dialog, field.control, value);
        EnableWindow(GetDlgItem(dialog, field.control), locked ? FALSE : TRUE);
    }
    bool locked = false;
    fillChoices(dialog, IDC_ALERT_WEBHOOK_FORMAT, FORMATS,
                shownValue(state, policy, "WebhookFormat", false, locked));
    EnableWindow(GetDlgItem(dialog, IDC_ALERT_WEBHOOK_FORMAT), locked ? FALSE : TRUE);
    fillChoices(dialog, IDC_ALERT_MAIL_SECURITY, SECURITIES,
                shownValue(state, policy, "MailSecurity", false, locked));
    EnableWindow(GetDlgItem(dialog, IDC_ALERT_MAIL_SECURITY), locked ? FALSE : TRUE);
    const std::string notifications = shownValue(state, policy, "Notifications", true, locked);
    CheckDlgButton(dialog, IDC_ALERT_NOTIFICATIONS,
                   notifications == "0" ? BST_UNCHECKED : BST_CHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_ALERT_NOTIFICATIONS), locked ? FALSE : TRUE);
    if (!state.values.protectedPassword.empty())
        SetDlgItemTextW(dialog, IDC_ALERT_MAIL_PASSWORD, KEPT_PASSWORD);
    state.passwordEdited = false;
    showProblems(dialog, current);
    refreshStatus(dialog, state);
    SetTimer(dialog, REFRESH_TIMER, REFRESH_INTERVAL_MS, nullptr);
}

// The user's values as the fields hold them; fields the policy sets keep the stored value.
AlertValues enteredValues(HWND dialog, const AlertsDialogState& state) {
    AlertValues values = state.values;
    for (const TextField& field : TEXT_FIELDS) {
        if (!IsWindowEnabled(GetDlgItem(dialog, field.control)))
            continue;
        const std::string text = controlText(dialog, field.control);
        if (text.empty())
            values.texts.erase(field.name);
        else
            values.texts[field.name] = text;
    }
    if (IsWindowEnabled(GetDlgItem(dialog, IDC_ALERT_WEBHOOK_FORMAT)))
        values.texts["WebhookFormat"] = chosen(dialog, IDC_ALERT_WEBHOOK_FORMAT, FORMATS);
    if (IsWindowEnabled(GetDlgItem(dialog, IDC_ALERT_MAIL_SECURITY)))
        values.texts["MailSecurity"] = chosen(dialog, IDC_ALERT_MAIL_SECURITY, SECURITIES);
    if (IsWindowEnabled(GetDlgItem(dialog, IDC_ALERT_NOTIFICATIONS)))
        values.texts["Notifications"] =
            IsDlgButtonChecked(dialog, IDC_ALERT_NOTIFICATIONS) == BST_CHECKED ? "1" : "0";
    return values;
}

// The password in the field, or the stored one while the field was not edited.
SecureBuffer enteredPassword(HWND dialog, const AlertsDialogState& state) {
    if (!state.passwordEdited) {
        SecureBuffer plain;
        if (!state.values.protectedPassword.empty())
            (void)unprotectSecret(state.values.protectedPassword, plain);
        return plain;
    }
    std::string text = controlText(dialog, IDC_ALERT_MAIL_PASSWORD);
    SecureBuffer plain =
        SecureBuffer::ofBytes(text.data(), static_cast<std::uint32_t>(text.size()));
    secureWipe(text.data(), text.size());
    return plain;
}

void sendTest(HWND dialog, AlertsDialogState& state) {
    const AlertValues values = enteredValues(dialog, state);
    const AlertSettings settings =
        resolveAlertSettings(values, enteredPassword(dialog, state), true, systemPolicy());
    showProblems(dialog, settings);
    if (!settings.webhookOn() && !settings.mailOn() && !settings.pingOn()) {
        setControlText(dialog, IDC_ALERT_TEST_RESULT, "Ingen kanal är inställd.");
        return;
    }
    state.alerts->sendTest(settings);
    refreshStatus(dialog, state);
}

bool save(HWND dialog, AlertsDialogState& state) {
    AlertValues values = enteredValues(dialog, state);
    if (state.passwordEdited) {
        const SecureBuffer plain = enteredPassword(dialog, state);
        values.protectedPassword = plain.empty() ? SecureBuffer() : protectSecret(plain);
        if (!plain.empty() && values.protectedPassword.empty()) {
            MessageBoxW(dialog, widenUtf8("Lösenordet kunde inte sparas.").c_str(), L"Kopiavakt",
                        MB_OK);
            return false;
        }
    }
    if (!saveAlertValues(values)) {
        MessageBoxW(dialog, widenUtf8("Aviseringarna kunde inte sparas.").c_str(), L"Kopiavakt",
                    MB_OK);
        return false;
    }
    return true;
}

INT_PTR CALLBACK alertsProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardProcedure([&]() -> INT_PTR {
        auto* state = reinterpret_cast<AlertsDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
        switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            initialise(dialog, *reinterpret_cast<AlertsDialogState*>(lParam));
            return TRUE;
        case WM_TIMER:
            if (state != nullptr)
                refreshStatus(dialog, *state);
            return TRUE;
        case WM_COMMAND:
            if (state == nullptr)
                return FALSE;
            switch (LOWORD(wParam)) {
            case IDC_ALERT_MAIL_PASSWORD:
                if (HIWORD(wParam) == EN_CHANGE)
                    state->passwordEdited = true;
                break;
            case IDC_ALERT_TEST:
                sendTest(dialog, *state);
                break;
            case IDC_ALERT_OK:
                if (save(dialog, *state)) {
                    KillTimer(dialog, REFRESH_TIMER);
                    EndDialog(dialog, 1);
                }
                break;
            case IDC_ALERT_CANCEL:
                KillTimer(dialog, REFRESH_TIMER);
                EndDialog(dialog, 0);
                break;
            default:
                break; // Enter and Esc (ids 1 and 2) included
            }
            return TRUE;
        case WM_CLOSE:
            KillTimer(dialog, REFRESH_TIMER);
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    });
}

} // namespace

void showAlertsDialog(HINSTANCE instance, HWND mainWindow, AlertShell& alerts) {
    AlertsDialogState state{mainWindow, &alerts, {}, false, {}};
    if (DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ALERTS), mainWindow, alertsProcedure,
                        reinterpret_cast<LPARAM>(&state)) == 1)
        alerts.reload();
}

} // namespace kpv
