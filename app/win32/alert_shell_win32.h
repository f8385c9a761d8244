#pragma once
// The alerts in the running client: judges every finished update, hands the message to the
// delivery worker, shows the balloon, and pings after an update in which all is well. Inert,
// with no file written and no thread started, until alerts.bin or a policy value exists.
#include "alerts/alert_judge.h"
#include "alerts/alert_settings.h"
#include "alerts/alert_worker.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

namespace kpv {

// Posted to the main window (from the worker's thread) whenever a delivery has ended.
inline constexpr UINT KPV_ALERTS_CHANGED = WM_APP + 20;

class AlertShell {
  public:
    // Reads the settings and, when alerts are configured, starts the worker.
    void attach(HWND mainWindow);

    void clearRows();
    void addRow(std::uint32_t accountId, const SecureBuffer& ansiName, const RowStatus& status);
    void updateStarting();
    void exchangeFailed();
    // Judges the update (when its exchange ran). summary: the tray tooltip's second line.
    // Returns the message for a balloon, when one is due and balloons are on.
    // periodSeconds: the global warning period that the row marks use too.
    std::optional<AlertMessage> updateFinished(bool exchangeRan, const std::string& summary,
                                               std::uint32_t periodSeconds);

    // The settings changed (the dialog saved, or the policy is read again).
    void reload();
    // Sends the test message on every channel `with` configures (starting the worker if need
    // be); the results arrive in status().
    void sendTest(const AlertSettings& with);

    bool active() const { return settings_.configured; }
    const AlertSettings& settings() const { return settings_; }
    // Nothing while inert.
    std::optional<AlertWorkerStatus> status() const;

  private:
    void startWorker();

    HWND window_ = nullptr;
    AlertSettings settings_;
    std::unique_ptr<AlertJudge> judge_;
    std::unique_ptr<AlertWorker> worker_;
    std::vector<AlertRow> rows_;
    std::vector<bool> failedDuring_; // one entry per update under way, the innermost last
};

// The computer's and the user's names and the client's version.
AlertOrigin alertOrigin();

} // namespace kpv
