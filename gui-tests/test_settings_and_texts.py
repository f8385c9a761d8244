"""The settings dialog and the client's own texts under another ANSI code page."""

import resource_ids as ids
from wine_harness import START_TIMEOUT_MS, hex_of, wait_until

PERIODS = ["  1 dag\t1", "  2 dagar\t2", "  3 dagar\t3", "  5 dagar\t5", "  7 dagar\t7",
           "  10 dagar\t10", "  15 dagar\t15"]


def test_settings(gui):
    """Default "3 dagar"; "15 dagar" + OK writes 02 00 00 00 0F 00 and shows again; Avbryt and
    the close box write nothing; an odd stored value shows "3 dagar"."""
    gui.client.start()
    gui.must("wait-visible", "--timeout", START_TIMEOUT_MS)
    settings = gui.work_folder / "settings.bin"
    assert not settings.exists(), "settings.bin exists before any choice"

    gui.must("command", ids.IDM_SETTINGS)
    dialog = gui.must("settings", "--days", 15, "--ok").lines()
    assert dialog == ["Inställningar"] + [p.replace("  3 dagar", "* 3 dagar") for p in PERIODS], \
        "dialog at first"
    wait_until(settings.exists, 5, f"no file {settings}")
    assert hex_of(settings.read_bytes()) == "02 00 00 00 0F 00", "settings.bin after 15 dagar"

    gui.must("command", ids.IDM_SETTINGS)
    reopened = gui.must("settings", "--days", 1, "--cancel").lines()
    assert "* 15 dagar\t15" in reopened, "selection after reopening"
    gui.must("command", ids.IDM_SETTINGS)
    gui.must("settings", "--days", 2, "--close")
    gui.must("settle")
    assert hex_of(settings.read_bytes()) == "02 00 00 00 0F 00", "settings.bin after Avbryt and close"

    settings.write_bytes(b"\x02\x00\x00\x00\x04\x00")
    gui.must("command", ids.IDM_SETTINGS)
    assert "* 3 dagar\t3" in gui.must("settings", "--cancel").lines(), "selection for a stored 4"
    assert hex_of(settings.read_bytes()) == "02 00 00 00 04 00", "settings.bin kept by Avbryt"
    gui.exit_client()


def test_locale_ru(gui, ru_locale):
    """Under a Russian system locale (ANSI code page 1251, not 1252) the client's own texts still
    read back right through the W calls: captions, buttons, headers, dialogs, boxes, menus. Every
    text is compared before the case fails, so one run lists every wrong one."""
    gui.case.env.update(LOCPATH=str(ru_locale), LANG="ru_RU.UTF-8")
    gui.keytool.account("--id", 7, "--name", "Anna", "--age", 3600, "--exclude", "fil.doc")
    gui.keytool.account("--id", 8, "--name", "Boris", "--age", 60)
    gui.keytool.user_list(gui.work_folder / "account_list.bin")
    gui.server.start()
    gui.client.start()
    gui.client_ready(2)
    differences = []

    def line(text, wanted, what):
        if wanted not in text.split("\n"):
            differences.append(f"{what}: no line [{wanted}]")

    def equal(actual, wanted, what):
        if actual != wanted:
            differences.append(f"{what}: got [{actual}], wanted [{wanted}]")

    def third_fields(output):  # the third field of each line, as cut -f3 gives it
        fields = [row.split("\t") for row in output.lines()]
        return "\n".join(f[2] if len(f) > 2 else "" if len(f) == 2 else f[0] for f in fields)

    assert "acp 1251" in gui.must("codepage").lines(), "ANSI code page under ru_RU"

    texts = gui.must("texts").out
    line(texts, "caption\tKopiavakt", "main window caption")
    line(texts, f"{ids.IDC_ADD_USER}\tButton\tLägg till användare...", "add button")
    line(texts, f"{ids.IDC_HIDE}\tButton\tStäng", "hide button")
    line(texts, "header\tAntal kopieringar utförda", "column header")
    rows = gui.must("rows", "--count", 2).lines()
    equal(" ".join(row.split("\t")[1] for row in rows), "Anna Boris", "names")

    main, listed, tray = ids.IDR_MAIN_MENU, ids.IDR_LIST_MENU, ids.IDR_TRAY_MENU
    menus = gui.must("menus", "--exe", gui.client_exe_windows_path(), main, listed, tray).out
    for item in (f"{main}: Arkiv > Inställningar...\t{ids.IDM_SETTINGS}",
                 f"{main}: Konton > Lägg till konto...\t{ids.IDM_ADD_ACCOUNT}",
                 f"{main}: Hjälp > Om...\t{ids.IDM_ABOUT}",
                 f"{listed}: Lista > Ta bort från listan\t{ids.IDM_REMOVE_FROM_LIST}",
                 f"{tray}: Ikon > Öppna \t{ids.IDM_OPEN}",
                 f"{tray}: Ikon > Avsluta\t{ids.IDM_EXIT_NOW}"):
        line(menus, item, "menu item")

    gui.must("command", ids.IDM_SETTINGS)
    labels = third_fields(gui.must("texts", "--child", ids.IDC_SETTINGS_PERIOD))
    line(labels, "Föråldrade kopior:", "settings group box")
    line(labels, "Tid för varning:", "settings label")
    line(labels, "Avbryt", "settings button")
    dialog = gui.must("settings", "--cancel").out
    line(dialog, "Inställningar", "settings caption")
    line(dialog, "* 3 dagar\t3", "settings selection")

    gui.must("select", "--id", 7)
    gui.must("command", ids.IDM_RENAME)
    line(third_fields(gui.must("texts", "--child", ids.IDC_NAME_EDIT)), "Namn för detta konto:",
         "name dialog label")
    equal(gui.must("name-dialog", "--cancel").out, "Välj namn\nAnna", "name dialog")

    gui.must("command", ids.IDM_SHOW_EXCLUDED)
    equal(gui.must("excluded", "--close").out, "Utesluta filer\nfil.doc", "excluded-files dialog")

    gui.must("command", ids.IDM_ABOUT)
    line(gui.must("about", "--close").out, "Kopiavakt v1.0", "about box")

    gui.must("command", ids.IDM_ADD_ACCOUNT)
    equal(gui.must("file-dialog", "--cancel").out, "Välj fjärr-logg fil...", "file dialog title")

    gui.must("select", "--none")
    gui.must("command", ids.IDM_REMOVE_SELECTED)
    equal(gui.must("msgbox", "--press", "ok").out, "Fel: Inget konto är markerat i listan.",
          "error box")

    gui.must("command", ids.IDM_EXIT_ASK)
    equal(gui.must("msgbox", "--press", "no").out,
          "Om programmet avslutas kommer inga varningar visas om föråldrade kopior. Vill du ändå "
          "avsluta?", "exit question")

    gui.exit_client()
    assert not differences, "\n".join(differences)
