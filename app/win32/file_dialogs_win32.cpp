// The three file choosers of the account commands. They run the wide-character dialogs so
// that their Swedish titles and filters read correctly under any ANSI code page, and hand
// back the chosen path in the ANSI code page, as the rest of the client opens files.
#include "app/user_list_commands.h"
#include "app/win32/text_win32.h"
#include "app/win32/win32_user_interface.h"
#include "core/secure_memory.h"

#include <commdlg.h>

#include <string>

namespace kpv {

namespace {

// The dialog's file name field, in characters; the ANSI path handed back fits the same count
// of bytes.
constexpr std::uint32_t PATH_FIELD = 260;

struct FileDialogKind {
    const char* utf8Title;
    const char* utf8Description;
    const wchar_t* pattern;
    const wchar_t* defaultExtension;
    bool save;
};

constexpr FileDialogKind LOG_FILE{"Välj fjärr-logg fil...", "Fjärr-logg fil (*.rlf)", L"*.rlf",
                                  L"rlf", false};
constexpr FileDialogKind USER_LIST_OPEN{"Användarlista...", "Användarlista (*.ulf)", L"*.ulf",
                                        L"ulf", false};
// "Avändarlista" is the text users have always seen in this dialog.
constexpr FileDialogKind USER_LIST_SAVE{"Välj plats för filen...", "Avändarlista (*.ulf)", L"*.ulf",
                                        L"ulf", true};

// One description and pattern, each zero-terminated, and the empty entry that ends the list.
std::wstring filterOf(const FileDialogKind& kind) {
    std::wstring filter = widenUtf8(kind.utf8Description);
    filter.push_back(L'\0');
    filter += kind.pattern;
    filter.push_back(L'\0');
    return filter; // the string's own terminator is the list's final zero
}

// Wipes the field however the dialog ends.
struct PathField {
    wchar_t chars[PATH_FIELD] = {};
    ~PathField() { secureWipe(chars, sizeof chars); }
};

bool runFileDialog(HWND owner, const FileDialogKind& kind, const char* initialUtf8Name,
                   SecureBuffer& path) {
    PathField field;
    if (initialUtf8Name != nullptr) {
        std::wstring initial = widenUtf8(initialUtf8Name);
        initial.copy(field.chars, PATH_FIELD - 1);
        secureWipe(initial.data(), initial.size() * sizeof(wchar_t));
    }
    std::wstring title = widenUtf8(kind.utf8Title);
    std::wstring filter = filterOf(kind);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = field.chars;
    dialog.nMaxFile = PATH_FIELD;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = kind.defaultExtension;
    // The client opens its data files by bare name, so the dialog must not move the current
    // directory away from the working folder.
    if (kind.save) {
        dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT |
                       OFN_NOCHANGEDIR;
    } else {
        dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    }
    BOOL chosen = kind.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen)
        return false;
    // A path the ANSI code page cannot spell could not be opened as chosen; it counts as no
    // choice rather than a look-alike that might name another file.
    SecureBuffer ansiPath = narrowToAnsi(field.chars, PATH_FIELD);
    if (ansiPath.empty())
        return false;
    path = pathFromDialogBuffer(ansiPath);
    return true;
}

} // namespace

bool Win32UserInterface::chooseLogFile(SecureBuffer& path) {
    return runFileDialog(mainWindow_, LOG_FILE, nullptr, path);
}

bool Win32UserInterface::chooseUserListToOpen(SecureBuffer& path) {
    return runFileDialog(mainWindow_, USER_LIST_OPEN, nullptr, path);
}

bool Win32UserInterface::chooseUserListToSave(SecureBuffer& path, const char* initialUtf8Name) {
    return runFileDialog(mainWindow_, USER_LIST_SAVE, initialUtf8Name, path);
}

} // namespace kpv
