"""The settings dialog and the client's own texts under another ANSI code page."""

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

    gui.must("command", 40021)
    dialog = gui.must("settings", "--days", 15, "--ok").lines()
    assert dialog == ["Inställningar"] + [p.replace("  3 dagar", "* 3 dagar") for p in PERIODS], \
        "dialog at first"
    wait_until(settings.exists, 5, f"no file {settings}")
    assert hex_of(settings.read_bytes()) == "02 00 00 00 0F 00", "settings.bin after 15 dagar"

    gui.must("command", 40021)
    reopened = gui.must("settings", "--days", 1, "--cancel").lines()
    assert "* 15 dagar\t15" in reopened, "selection after reopening"
    gui.must("command", 40021)
    gui.must("settings", "--days", 2, "--close")
    gui.must("settle")
    assert hex_of(settings.read_bytes()) == "02 00 00 00 0F 00", "settings.bin after Avbryt and close"

    settings.write_bytes(b"\x02\x00\x00\x00\x04\x00")
    gui.must("command", 40021)
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
    line(texts, "1004\tButton\tLägg till användare...", "add button")
    line(texts, "1005\tButton\tStäng", "hide button")
    line(texts, "header\tAntal kopieringar utförda", "column header")
    rows = gui.must("rows", "--count", 2).lines()
    equal(" ".join(row.split("\t")[1] for row in rows), "Anna Boris", "names")

    menus = gui.must("menus", "--exe", gui.client_exe_windows_path(), 102, 104, 106).out
    for item in ("102: Arkiv > Inställningar...\t40021", "102: Konton > Lägg till konto...\t40022",
                 "102: Hjälp > Om...\t40013", "104: Lista > Ta bort från listan\t40011",
                 "106: Ikon > Öppna \t40033", "106: Ikon > Avsluta\t40034"):
        line(menus, item, "menu item")

    gui.must("command", 40021)
    labels = third_fields(gui.must("texts", "--child", 1014))
    line(labels, "Föråldrade kopior:", "settings group box")
    line(labels, "Tid för varning:", "settings label")
    line(labels, "Avbryt", "settings button")
    dialog = gui.must("settings", "--cancel").out
    line(dialog, "Inställningar", "settings caption")
    line(dialog, "* 3 dagar\t3", "settings selection")

    gui.must("select", "--id", 7)
    gui.must("command", 40030)
    line(third_fields(gui.must("texts", "--child", 1006)), "Namn för detta konto:",
         "name dialog label")
    equal(gui.must("name-dialog", "--cancel").out, "Välj namn\nAnna", "name dialog")

    gui.must("command", 40012)
    equal(gui.must("excluded", "--close").out, "Utesluta filer\nfil.doc", "excluded-files dialog")

    gui.must("command", 40013)
    line(gui.must("about", "--close").out, "Kopiavakt v1.0", "about box")

    gui.must("command", 40022)
    equal(gui.must("file-dialog", "--cancel").out, "Välj fjärr-logg fil...", "file dialog title")

    gui.must("select", "--none")
    gui.must("command", 40023)
    equal(gui.must("msgbox", "--press", "ok").out, "Fel: Inget konto är markerat i listan.",
          "error box")

    gui.must("command", 40002)
    equal(gui.must("msgbox", "--press", "no").out,
          "Om programmet avslutas kommer inga varningar visas om föråldrade kopior. Vill du ändå "
          "avsluta?", "exit question")

    gui.exit_client()
    assert not differences, "\n".join(differences)
