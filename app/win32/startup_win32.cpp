#include "app/win32/startup_win32.h"

#include "app/win32/win32_user_interface.h"
#include "app/win32/window_file_win32.h"
#include "core/data_file.h"
#include "core/secure_buffer.h"

#include <shlobj.h>

#include <cstring>

namespace kpv {

namespace {

// Room for the longest folder the shell reports (MAX_PATH) and the suffix.
constexpr std::uint32_t FOLDER_FIELD = 270;
constexpr char FOLDER_SUFFIX[] = "\\KPV_wd";

[[noreturn]] void failStartup(const char* utf8Text, SecureBuffer& path) {
    showStartupMessage(utf8Text);
    path.release(); // ExitProcess runs no destructors
    ExitProcess(1);
}

} // namespace

void enterWorkingFolder() {
    SecureBuffer path = SecureBuffer::zeros(FOLDER_FIELD);
    char* text = reinterpret_cast<char*>(path.data());
    // S_FALSE (the folder does not exist) is no success either.
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, text) != S_OK)
        failStartup("Kunde inte hämta arbetsmappen!", path);
    std::size_t used = strnlen(text, FOLDER_FIELD);
    if (used > FOLDER_FIELD - sizeof FOLDER_SUFFIX)
        failStartup("Kunde inte välja aktuell mapp för programmet!", path);
    std::memcpy(text + used, FOLDER_SUFFIX, sizeof FOLDER_SUFFIX);
    // Usually the folder exists already; whether it does shows in the next step.
    CreateDirectoryA(text, nullptr);
    if (!SetCurrentDirectoryA(text))
        failStartup("Kunde inte välja aktuell mapp för programmet!", path);
}

bool claimSingleInstance(UniqueNativeHandle& lock) {
    lock.reset(CreateFileA("file_mutex", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (lock.valid())
        return true;
    RecordStream stream;
    if (!loadDataFile("wnd.bin", stream)) {
        showStartupMessage("Fel: Kunde inte läsa global fönster-fil.");
        return false;
    }
    if (stream.length() >= 4) {
        HWND first = windowFromFileValue(stream.readU32());
        if (looksLikeMainWindow(first)) {
            ShowWindow(first, SW_SHOWNORMAL);
            SetForegroundWindow(first);
        }
    }
    return false;
}

} // namespace kpv
