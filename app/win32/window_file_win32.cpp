#include "app/win32/window_file_win32.h"

#include "core/data_file.h"

#include <cstring>

namespace kpv {

void writeWindowFile(HWND mainWindow) {
    RecordStream stream;
    stream.appendU32(windowFileValue(mainWindow));
    saveDataFile("wnd.bin", stream);
}

bool looksLikeMainWindow(HWND window) noexcept {
    if (window == nullptr || !IsWindow(window))
        return false;
    char className[16] = {};
    char caption[16] = {};
    // "#32770" is the system's class of every dialog.
    return GetClassNameA(window, className, sizeof className) > 0 &&
           std::strcmp(className, "#32770") == 0 &&
           GetWindowTextA(window, caption, sizeof caption) > 0 &&
           std::strcmp(caption, "Kopiavakt") == 0;
}

} // namespace kpv
