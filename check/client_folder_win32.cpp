#include "check/client_files.h"

#include <windows.h>

#include <shlobj.h>

#include <cstring>

namespace kpv::check {

// The folder the client makes at start-up; the check only looks, and creates nothing.
bool clientWorkingFolder(std::string& folder) {
    char path[MAX_PATH + 1] = {};
    // S_FALSE (the folder does not exist) is no success either.
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, path) != S_OK)
        return false;
    folder.assign(path, strnlen(path, sizeof path));
    folder += "\\KPV_wd\\";
    return true;
}

} // namespace kpv::check
