// The resources as compiled: every id, position, style and text that the user and the GUI
// automation rely on, read back from the templates in this executable.
#include "app/win32/resource_ids.h"

#include <doctest/doctest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A DIALOGEX template, read field by field. Strings are UTF-16; a class or menu may instead be
// an ordinal, marked by 0xFFFF.
class TemplateReader {
  public:
    TemplateReader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    std::uint16_t u16() {
        if (2 > size_ - std::min(pos_, size_)) {
            failed = true;
            return 0;
        }
        std::uint16_t value = static_cast<std::uint16_t>(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
        pos_ += 2;
        return value;
    }
    std::uint32_t u32() {
        std::uint32_t low = u16();
        return low | (std::uint32_t{u16()} << 16);
    }
    std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
    std::wstring text() {
        std::wstring out;
        while (!failed) {
            std::uint16_t c = u16();
            if (c == 0)
                break;
            out.push_back(static_cast<wchar_t>(c));
        }
        return out;
    }
    // An ordinal comes back as "#<number>".
    std::wstring textOrOrdinal() {
        std::size_t start = pos_;
        if (u16() == 0xFFFF)
            return L"#" + std::to_wstring(u16());
        pos_ = start;
        return text();
    }
    void skip(std::size_t n) { pos_ += n; }
    void alignTo4() { pos_ = (pos_ + 3) & ~std::size_t{3}; }

    bool failed = false;

  private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

struct Control {
    std::uint32_t id;
    std::uint32_t style;
    int x, y, cx, cy;
    std::wstring windowClass; // "#128" button, "#129" edit, "#130" static, "#133" combo box
    std::wstring title;
};

struct Dialog {
    std::uint32_t style;
    int cx, cy;
    std::wstring menu;
    std::wstring title;
    int pointSize;
    std::wstring font;
    std::vector<Control> controls;
};

Dialog loadDialog(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)); // RT_DIALOG
    REQUIRE(found != nullptr);
    auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    REQUIRE(bytes != nullptr);
    TemplateReader in(bytes, SizeofResource(module, found));

    Dialog dialog{};
    REQUIRE(in.u16() == 1);      // dlgVer
    REQUIRE(in.u16() == 0xFFFF); // signature of DIALOGEX
    in.u32();                    // help id
    in.u32();                    // extended style
    dialog.style = in.u32();
    std::uint16_t count = in.u16();
    in.s16(); // x
    in.s16(); // y
    dialog.cx = in.s16();
    dialog.cy = in.s16();
    dialog.menu = in.textOrOrdinal();
    in.textOrOrdinal(); // class
    dialog.title = in.text();
    REQUIRE((dialog.style & DS_SETFONT) != 0);
    dialog.pointSize = in.u16();
    in.u16();   // weight
    in.skip(2); // italic, character set
    dialog.font = in.text();
    for (std::uint16_t i = 0; i < count; ++i) {
        in.alignTo4();
        Control control{};
        in.u32(); // help id
        in.u32(); // extended style
        control.style = in.u32();
        control.x = in.s16();
        control.y = in.s16();
        control.cx = in.s16();
        control.cy = in.s16();
        control.id = in.u32();
        control.windowClass = in.textOrOrdinal();
        control.title = in.textOrOrdinal();
        in.skip(in.u16()); // creation data
        dialog.controls.push_back(control);
    }
    REQUIRE_FALSE(in.failed);
    return dialog;
}

const Control& controlWithId(const Dialog& dialog, std::uint32_t id) {
    for (const Control& control : dialog.controls)
        if (control.id == id)
            return control;
    FAIL("no control with id " << id);
    return dialog.controls.front();
}

void checkPlace(const Control& control, int x, int y, int cx, int cy) {
    CHECK(control.x == x);
    CHECK(control.y == y);
    CHECK(control.cx == cx);
    CHECK(control.cy == cy);
}

bool has(std::uint32_t style, std::uint32_t bits) {
    return (style & bits) == bits;
}

constexpr std::uint32_t NO_ID = 0xFFFFFFFF;
constexpr std::uint32_t BUTTON_KIND = 0x0F; // BS_TYPEMASK

// Each entry of one menu level: its id (0 for a separator or a submenu) and its text.
struct Item {
    UINT id;
    std::wstring text;
};

std::vector<Item> itemsOf(HMENU menu) {
    std::vector<Item> items;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        UINT id = GetMenuItemID(menu, i);
        items.push_back(Item{id == static_cast<UINT>(-1) ? 0 : id, text});
    }
    return items;
}

void checkItems(HMENU menu, const std::vector<Item>& expected) {
    std::vector<Item> actual = itemsOf(menu);
    REQUIRE(actual.size() == expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        CAPTURE(i);
        CHECK(actual[i].id == expected[i].id);
        CHECK(actual[i].text == expected[i].text);
    }
}

} // namespace

TEST_CASE("main window 101") {
    Dialog dialog = loadDialog(IDD_MAIN_WINDOW);
    CHECK(dialog.title == L"Kopiavakt");
    CHECK(dialog.cx == 405);
    CHECK(dialog.cy == 232);
    CHECK(dialog.menu == L"#102");
    CHECK(dialog.pointSize == 8);
    CHECK(dialog.font == L"MS Shell Dlg");
    CHECK(has(dialog.style, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    CHECK((dialog.style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) == 0);
    REQUIRE(dialog.controls.size() == 3);

    const Control& list = controlWithId(dialog, IDC_ACCOUNT_LIST);
    // Class names are matched without regard to case; the resource compiler stores capitals.
    CHECK(_wcsicmp(list.windowClass.c_str(), L"SysListView32") == 0);
    checkPlace(list, 4, 3, 396, 201);
    CHECK(has(list.style, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SORTASCENDING |
                              WS_BORDER | WS_TABSTOP));

    const Control& add = controlWithId(dialog, IDC_ADD_USER);
    CHECK(add.windowClass == L"#128");
    CHECK(add.title == L"L\u00e4gg till anv\u00e4ndare...");
    checkPlace(add, 220, 209, 94, 18);

    const Control& hide = controlWithId(dialog, IDC_HIDE);
    CHECK(hide.title == L"St\u00e4ng");
    checkPlace(hide, 321, 209, 79, 18);
}

TEST_CASE("name dialog 103: controls in tab order, no default button") {
    Dialog dialog = loadDialog(IDD_NAME);
    CHECK(dialog.title == L"V\u00e4lj namn");
    CHECK(dialog.cx == 248);
    CHECK(dialog.cy == 62);
    CHECK(dialog.font == L"MS Shell Dlg");
    CHECK(has(dialog.style, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    REQUIRE(dialog.controls.size() == 4);

    const Control& edit = dialog.controls[0];
    CHECK(edit.id == IDC_NAME_EDIT);
    CHECK(edit.windowClass == L"#129");
    CHECK(has(edit.style, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP));
    checkPlace(edit, 98, 13, 144, 14);

    const Control& label = dialog.controls[1];
    CHECK(label.id == NO_ID);
    CHECK(label.title == L"Namn f\u00f6r detta konto:");
    checkPlace(label, 13, 15, 72, 8);

    const Control& cancel = dialog.controls[2];
    CHECK(cancel.id == IDC_NAME_CANCEL);
    CHECK(cancel.title == L"Avbryt");
    checkPlace(cancel, 180, 42, 60, 12);

    const Control& ok = dialog.controls[3];
    CHECK(ok.id == IDC_NAME_OK);
    CHECK(ok.title == L"OK");
    checkPlace(ok, 114, 42, 60, 12);

    for (const Control* button : {&cancel, &ok}) {
        CHECK((button->style & BUTTON_KIND) == BS_PUSHBUTTON);
        CHECK(has(button->style, WS_TABSTOP));
    }
}

TEST_CASE("about dialog 105, excluded files 108 and settings 109") {
    Dialog about = loadDialog(IDD_ABOUT);
    CHECK(about.title == L"Kopiavakt");
    CHECK(about.cx == 160);
    CHECK(about.cy == 104);
    REQUIRE(about.controls.size() == 3);
    CHECK(about.controls[0].title == L"Kopiavakt v1.0");
    checkPlace(about.controls[0], 42, 18, 101, 8);
    checkPlace(about.controls[1], 54, 36, 60, 8);
    CHECK_FALSE(about.controls[1].title.empty());
    const Control& aboutOk = controlWithId(about, IDC_ABOUT_OK);
    CHECK(aboutOk.title == L"OK");
    checkPlace(aboutOk, 60, 72, 50, 14);

    Dialog excluded = loadDialog(IDD_EXCLUDED_FILES);
    CHECK(excluded.title == L"Utesluta filer");
    CHECK(excluded.cx == 280);
    CHECK(excluded.cy == 152);
    const Control& text = controlWithId(excluded, IDC_EXCLUDED_TEXT);
    CHECK(text.windowClass == L"#129");
    CHECK(has(text.style, ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOHSCROLL | WS_BORDER));
    CHECK((text.style & WS_TABSTOP) == 0); // the focus starts on "Stäng"
    checkPlace(text, 6, 6, 264, 120);
    const Control& close = controlWithId(excluded, IDC_EXCLUDED_CLOSE);
    CHECK(close.title == L"St\u00e4ng");
    checkPlace(close, 222, 132, 50, 14);

    Dialog settings = loadDialog(IDD_SETTINGS);
    CHECK(settings.title == L"Inst\u00e4llningar");
    std::vector<std::wstring> titles;
    for (const Control& control : settings.controls)
        titles.push_back(control.title);
    CHECK(titles == std::vector<std::wstring>{L"F\u00f6r\u00e5ldrade kopior:",
                                              L"Tid f\u00f6r varning:", L"", L"OK", L"Avbryt"});
    const Control& period = controlWithId(settings, IDC_SETTINGS_PERIOD);
    CHECK(period.windowClass == L"#133");
    CHECK((period.style & 0x3) == CBS_DROPDOWNLIST);
    CHECK((period.style & CBS_SORT) == 0);
    CHECK(controlWithId(settings, IDC_SETTINGS_OK).title == L"OK");
    CHECK(controlWithId(settings, IDC_SETTINGS_CANCEL).title == L"Avbryt");
}

TEST_CASE("menus 102, 104 and 106 carry every command with its text") {
    HMODULE module = GetModuleHandleW(nullptr);
    HMENU bar = LoadMenuW(module, MAKEINTRESOURCEW(IDR_MAIN_MENU));
    REQUIRE(bar != nullptr);
    checkItems(bar, {{0, L"Arkiv"}, {0, L"Konton"}, {0, L"Hj\u00e4lp"}});
    checkItems(GetSubMenu(bar, 0), {{IDM_REFRESH, L"Uppdatera"},
                                    {0, L""},
                                    {IDM_SETTINGS, L"Inst\u00e4llningar..."},
                                    {0, L""},
                                    {IDM_HIDE, L"St\u00e4ng"},
                                    {IDM_EXIT_ASK, L"Avsluta"}});
    checkItems(GetSubMenu(bar, 1), {{IDM_ADD_ACCOUNT, L"L\u00e4gg till konto..."},
                                    {IDM_REMOVE_SELECTED, L"Ta bort markerat konto"},
                                    {0, L""},
                                    {IDM_EXPORT_LIST, L"Exportera lista..."},
                                    {IDM_IMPORT_LIST, L"Importera lista..."}});
    checkItems(GetSubMenu(bar, 2), {{IDM_ABOUT, L"Om..."}});
    DestroyMenu(bar);

    HMENU list = LoadMenuW(module, MAKEINTRESOURCEW(IDR_LIST_MENU));
    REQUIRE(list != nullptr);
    checkItems(GetSubMenu(list, 0), {{IDM_SHOW_EXCLUDED, L"Visa utesluta filer"},
                                     {0, L""},
                                     {IDM_RENAME, L"Byt namn..."},
                                     {IDM_REMOVE_FROM_LIST, L"Ta bort fr\u00e5n listan"}});
    DestroyMenu(list);

    HMENU tray = LoadMenuW(module, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    REQUIRE(tray != nullptr);
    checkItems(GetSubMenu(tray, 0),
               {{IDM_OPEN, L"\u00d6ppna "}, {0, L""}, {IDM_EXIT_NOW, L"Avsluta"}});
    DestroyMenu(tray);
}

TEST_CASE("icon 107 and the tray's two other states hold every size the shell asks for") {
    HMODULE module = GetModuleHandleW(nullptr);
    for (int id : {IDI_KOPIAVAKT, IDI_KOPIAVAKT_ATTENTION, IDI_KOPIAVAKT_NO_CONTACT}) {
        CAPTURE(id);
        // RT_GROUP_ICON: a directory of the icon's images, 14 bytes per entry after 6.
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14));
        REQUIRE(found != nullptr);
        auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
        REQUIRE(SizeofResource(module, found) >= 6);
        int count = bytes[4] | (bytes[5] << 8);
        REQUIRE(SizeofResource(module, found) >= static_cast<DWORD>(6 + 14 * count));
        std::vector<int> widths;
        for (int i = 0; i < count; ++i) {
            int width = bytes[6 + 14 * i];
            widths.push_back(width == 0 ? 256 : width);
            CHECK((bytes[6 + 14 * i + 6] | (bytes[6 + 14 * i + 7] << 8)) == 32); // bits per pixel
        }
        CHECK(widths == std::vector<int>{16, 20, 24, 32, 48, 256});
        for (int size : {16, 32}) {
            HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0);
            CHECK(icon != nullptr);
            DestroyIcon(static_cast<HICON>(icon));
        }
    }
}

TEST_CASE("menu 132 with the rules, pause and history items; dialogs 130 and 131; state icons") {
    HMODULE module = GetModuleHandleW(nullptr);
    HMENU items = LoadMenuW(module, MAKEINTRESOURCEW(IDR_RULES_MENU));
    REQUIRE(items != nullptr);
    HMENU account = GetSubMenu(items, 0);
    checkItems(account, {{IDM_ACCOUNT_RULES, L"Regler f\u00f6r kontot..."},
                         {0, L"Pausa varningar"},
                         {IDM_HISTORY, L"Historik..."}});
    checkItems(GetSubMenu(account, 1), {{IDM_SNOOZE_NEXT_COPY, L"Till n\u00e4sta nya kopia"},
                                        {IDM_SNOOZE_1_DAY, L"1 dag"},
                                        {IDM_SNOOZE_3_DAYS, L"3 dagar"},
                                        {IDM_SNOOZE_7_DAYS, L"7 dagar"},
                                        {0, L""},
                                        {IDM_SNOOZE_END, L"\u00c5teruppta varningar"}});
    DestroyMenu(items);

    CHECK(loadDialog(IDD_ACCOUNT_RULES).title == L"Regler f\u00f6r kontot");
    CHECK(loadDialog(IDD_HISTORY).title == L"Historik");
    for (int id : {IDI_STATE_FRESH, IDI_STATE_OUTDATED, IDI_STATE_UNOPENED, IDI_STATE_ANOMALY,
                   IDI_STATE_PAUSED}) {
        CAPTURE(id);
        for (int size : {16, 24, 32}) {
            HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0);
            CHECK(icon != nullptr);
            DestroyIcon(static_cast<HICON>(icon));
        }
    }
}
