// Commands about the system and the client's module rather than its live windows.
#include "gui-tests/auto/command_support.h"
#include "gui-tests/auto/commands.h"
#include "gui-tests/auto/text.h"

namespace kpv::automation {

namespace {

// Menus of another process cannot be read from outside under Wine, so their texts are taken
// from the same resources the client loads them from, through the same W calls.
void printMenuItems(HMENU menu, const std::string& path) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        const std::string label = path + escapeControls(toUtf8(text));
        if (HMENU sub = GetSubMenu(menu, i)) {
            out(label + "\n");
            printMenuItems(sub, label + " > ");
        } else if (text[0] != L'\0') {
            out(label + "\t" + std::to_string(GetMenuItemID(menu, i)) + "\n");
        }
    }
}

} // namespace

int commandCodePage(Options& options) {
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
    out("acp " + std::to_string(GetACP()) + "\noem " + std::to_string(GetOEMCP()) + "\nlocale " +
        toUtf8(locale) + "\n");
    return EXIT_DONE;
}

int commandMenus(Options& options) {
    const auto exe = options.text(L"exe");
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    if (!exe || options.positional().empty())
        return fail(EXIT_USAGE, "menus needs --exe PATH and one or more menu resource ids");
    HMODULE module = LoadLibraryExW(exe->c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr)
        return fail(EXIT_FAILED, "cannot load " + toUtf8(*exe));
    int result = EXIT_DONE;
    for (const std::wstring& word : options.positional()) {
        const auto id = parseNumber(word);
        if (!id || *id <= 0 || *id > 0xFFFF) {
            result = fail(EXIT_USAGE, "menu ids are numbers from 1 to 65535");
            break;
        }
        HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(static_cast<WORD>(*id)));
        if (menu == nullptr) {
            result = fail(EXIT_FAILED, "no menu " + std::to_string(*id));
            break;
        }
        printMenuItems(menu, std::to_string(*id) + ": ");
        DestroyMenu(menu);
    }
    FreeLibrary(module);
    return result;
}

} // namespace kpv::automation
