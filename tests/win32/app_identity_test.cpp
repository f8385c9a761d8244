#include "app/win32/app_identity_win32.h"

#include <doctest/doctest.h>

#include <string>

using namespace kpv;

TEST_CASE("the process takes the AppUserModelID that the shortcuts carry") {
    // Fixed for good: the installers write the same value, and users' settings hang on it.
    CHECK(std::wstring(appUserModelId()) == L"Kopiavakt.Kopiavakt");
    CHECK(claimAppUserModelId()); // the shell accepts its form
}
