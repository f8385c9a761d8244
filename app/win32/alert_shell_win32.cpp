#include "app/win32/alert_shell_win32.h"

#include "app/settings.h"
#include "app/win32/text_win32.h"
#include "core/clock.h"
#include "status/account_rules.h"

#include <lmcons.h>

namespace kpv {

AlertOrigin alertOrigin() {
    AlertOrigin origin;
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(computer, &size))
        origin.computer = utf8Of(computer);
    wchar_t user[UNLEN + 1] = {};
    size = UNLEN + 1;
    if (GetUserNameW(user, &size))
        origin.user = utf8Of(user);
    origin.version = KPV_VERSION;
    return origin;
}

void AlertShell::attach(HWND mainWindow) {
    window_ = mainWindow;
    settings_ = loadAlertSettings(systemPolicy());
    if (settings_.configured)
        startWorker();
}

void AlertShell::startWorker() {
    AlertMemory memory;
    (void)loadAlertMemory(memory); // none: the first start reports what needs attention
    judge_ = std::make_unique<AlertJudge>(std::move(memory));
    HWND window = window_;
    worker_ = std::make_unique<AlertWorker>(
        makeSystemHttpClient(), [] { return makeSystemMailStream(); }, systemClock(), alertOrigin(),
        [window] { PostMessageW(window, KPV_ALERTS_CHANGED, 0, 0); });
    worker_->start(settings_);
}

void AlertShell::clearRows() {
    rows_.clear();
}

void AlertShell::addRow(std::uint32_t accountId, const SecureBuffer& ansiName,
                        const RowStatus& status) {
    if (active())
        rows_.push_back(AlertRow{accountId, ansiName, status});
}

void AlertShell::updateStarting() {
    failedDuring_.push_back(false);
}

void AlertShell::exchangeFailed() {
    if (!failedDuring_.empty())
        failedDuring_.back() = true;
}

std::optional<AlertMessage> AlertShell::updateFinished(bool exchangeRan, const std::string& summary,
                                                       std::uint32_t periodSeconds) {
    bool failed = false;
    if (!failedDuring_.empty()) {
        failed = failedDuring_.back();
        failedDuring_.pop_back();
    }
    if (!active() || !judge_ || !exchangeRan)
        return std::nullopt;
    UpdateFacts facts;
    facts.rows = rows_;
    facts.exchangeFailed = failed;
    facts.now = systemClock().now();
    facts.periodSeconds = periodSeconds;
    facts.rules = loadRules();
    facts.summary = summary;
    std::optional<AlertMessage> message =
        judge_->judge(facts, AlertTiming{settings_.reminderHours, settings_.noContactHours});
    if (judge_->changed())
        (void)saveAlertMemory(judge_->memory()); // unsaved, the next start may repeat a message
    if (message)
        worker_->submit(*message);
    if (judge_->allWell())
        worker_->ping();
    if (!message || !settings_.notifications)
        return std::nullopt;
    return message;
}

void AlertShell::reload() {
    settings_ = loadAlertSettings(systemPolicy());
    if (!settings_.configured)
        return; // a worker already running keeps going with what it has until the end
    if (worker_)
        worker_->setSettings(settings_);
    else
        startWorker();
}

void AlertShell::sendTest(const AlertSettings& with) {
    if (!worker_)
        startWorker();
    AlertMessage test;
    test.id = makeAlertId(systemClock().now());
    test.event = AlertEvent::Test;
    test.time = systemClock().now();
    test.summary = "Detta är ett testmeddelande från Kopiavakt.";
    worker_->test(test, with);
}

std::optional<AlertWorkerStatus> AlertShell::status() const {
    if (!worker_)
        return std::nullopt;
    return worker_->status();
}

} // namespace kpv
