#pragma once
// The identity Windows files the process under: its AppUserModelID, the same one the
// installers write on their Start-menu shortcut, so that the notification-area balloons show
// as Kopiavakt's notifications and stay in the notification centre.

namespace kpv {

// The ID, KPV_APP_USER_MODEL_ID (version.h): fixed for good, since Windows ties the user's
// notification settings and pinned shortcuts to it.
const wchar_t* appUserModelId();

// Gives the process that ID. Call first, before any window exists. False when the system
// refused it (the client works on without it; only the notifications lose their place).
bool claimAppUserModelId();

} // namespace kpv
