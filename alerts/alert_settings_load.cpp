// Kept apart from the rest of the settings: only this part needs the platform's secret store.
#include "alerts/alert_settings.h"
#include "core/secret_store.h"

namespace kpv {

AlertSettings loadAlertSettings(const PolicySource& policy) {
    AlertValues values;
    const bool loaded = loadAlertValues(values);
    SecureBuffer password;
    bool unreadable = false;
    if (!values.protectedPassword.empty() && !unprotectSecret(values.protectedPassword, password))
        unreadable = true;
    AlertSettings settings = resolveAlertSettings(values, password, loaded, policy);
    if (unreadable)
        settings.problems.push_back("Lösenordet för e-post kunde inte läsas och används inte.");
    return settings;
}

} // namespace kpv
