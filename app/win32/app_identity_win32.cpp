#include "app/win32/app_identity_win32.h"

#include <windows.h>

#include <shobjidl.h>

#include "version.h"

namespace kpv {

const wchar_t* appUserModelId() {
    return L"" KPV_APP_USER_MODEL_ID;
}

bool claimAppUserModelId() {
    return SUCCEEDED(SetCurrentProcessExplicitAppUserModelID(appUserModelId()));
}

} // namespace kpv
