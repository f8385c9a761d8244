"""The main window, the tray and updates: start-up, hiding, exiting, a second start, warnings and
the attention marks."""

import time

import resource_ids as ids
from conftest import rows_by_id
from win32_constants import SC_CLOSE, VK_ESCAPE, VK_RETURN, WM_SYSCOMMAND
from wine_harness import START_SECONDS, START_TIMEOUT_MS, hex_of

WARNING = ("Varning! Minst en säkerhetskopia är föråldrad och har inte uppdaterats! Avsluta "
           "programmet för att stäng av automatiska kontroller, eller ändra tiden för varningar.")
EXIT_QUESTION = ("Om programmet avslutas kommer inga varningar visas om föråldrade kopior. Vill "
                 "du ändå avsluta?")


def test_startup_rows(gui):
    """The first update fills the rows from the reference server before the window shows."""
    gui.demo_accounts()
    gui.server.start()
    gui.client.start()

    rows = rows_by_id(gui.must("rows", "--count", 3, "--timeout", START_TIMEOUT_MS).out)
    assert rows["7"][1:] == ["Åsa Öberg", rows["7"][2], "1234", "4 882 KB", "2", "10", "3",
                             "8 789 KB"], "the fresh account's row"
    assert rows["300"][1] == "Bertil", "name of the outdated account"
    assert rows["300"][2] == time.strftime("%Y-%m-%d %H:%M", time.localtime(time.time() - 864000)), \
        "latest copy of the outdated account, in local time"
    # The status that cannot be opened shows zeros and the start of the epoch in local time.
    assert rows["12"][1:] == ["Cesar", "1970-01-01 01:00", "0", "0 bytes", "0", "0", "0",
                              "0 bytes"], "unopenable account's row"
    assert list(rows) == ["7", "300", "12"], "row order by name"

    gui.must("visible")
    texts = gui.must("texts").lines()
    assert "caption\tKopiavakt" in texts
    assert f"{ids.IDC_ADD_USER}\tButton\tLägg till användare..." in texts
    assert f"{ids.IDC_HIDE}\tButton\tStäng" in texts
    assert gui.must("headers").lines() == [
        "Namn", "Senaste kopiering", "Antal filer", "Total storlek", "Antal uteslutna filer",
        "Antal kopieringar utförda", "Antal lagrade kopior", "Diskutrymme"], "column headers"

    assert gui.server.requests() == 1, "status requests at start-up"
    # time_list.bin: three requested accounts, two opened (7 and 300, in list order).
    time_list = (gui.work_folder / "time_list.bin").read_bytes()
    assert hex_of(time_list[:6]) == "0A 00 00 00 03 00", "time_list.bin envelope and count"
    assert hex_of((gui.work_folder / "wnd.bin").read_bytes()[:4]) == "04 00 00 00", "wnd.bin"
    gui.exit_client()


def test_close_hides(gui):
    """The close box, the button "Stäng" and the menu item "Stäng" hide the window; the process
    keeps running; the tray icon's left button and "Öppna " bring it back. Esc and Enter do
    nothing in the main window and the about box."""
    gui.client.start()
    gui.must("wait-visible", "--timeout", START_TIMEOUT_MS)

    for key in (VK_ESCAPE, VK_RETURN):
        gui.must("key", "--vk", key, "--title", "Kopiavakt", "--child", ids.IDC_ACCOUNT_LIST)
        gui.must("wait-visible", "--timeout", 1000)
    # (Enter on the focused OK button would press it, as in every dialog.)
    gui.must("command", ids.IDM_ABOUT)
    gui.must("key", "--vk", VK_ESCAPE, "--title", "Kopiavakt", "--child", ids.IDC_ABOUT_OK)
    gui.must("wait-window", "--title", "Kopiavakt", "--child", ids.IDC_ABOUT_OK, "--timeout", 1000)
    gui.must("about", "--close")

    gui.must("close")
    gui.must("wait-hidden")
    time.sleep(1)
    assert gui.client.running(), "the client ended after the close box"
    gui.must("tray", "lbuttondown")
    gui.must("wait-visible")

    for hide in (ids.IDC_HIDE, ids.IDM_HIDE):
        gui.must("command", hide)
        gui.must("wait-hidden")
        gui.must("command", ids.IDM_OPEN)
        gui.must("wait-visible")

    # The frame's close box arrives as WM_SYSCOMMAND SC_CLOSE, which becomes WM_CLOSE.
    gui.must("post", WM_SYSCOMMAND, SC_CLOSE)
    gui.must("wait-hidden")
    gui.must("tray", "lbuttonup", "--settle")
    assert gui.auto("visible").rc == 4, "visibility after a button release (4 = hidden)"
    gui.must("tray", "lbuttondown")
    gui.must("wait-visible")
    assert gui.message_boxes() == "0"
    gui.exit_client()


def test_exit_ask(gui):
    """"Avsluta" in the menu bar asks first: No keeps the client, Yes ends it with exit code 0."""
    gui.client.start()
    gui.must("wait-visible", "--timeout", START_TIMEOUT_MS)

    gui.must("command", ids.IDM_EXIT_ASK)
    box = gui.must("msgbox", "--buttons", "--owner", "--press", "no").out
    assert box == f"{EXIT_QUESTION}\nbuttons: yes no\nowner: main", "exit question"
    gui.must("settle")
    assert gui.client.running(), "the client ended after No"
    gui.must("visible")

    gui.must("command", ids.IDM_EXIT_ASK)
    gui.must("msgbox", "--press", "yes")
    assert gui.client.wait_exit(20) == 0, "exit code"


def test_exit_tray(gui):
    """"Avsluta" in the tray menu ends the client at once, without a question, with exit code 0,
    also while the window is hidden."""
    gui.client.start()
    gui.must("wait-visible", "--timeout", START_TIMEOUT_MS)
    gui.must("close")
    gui.must("wait-hidden")
    gui.exit_client()


def test_second_instance(gui):
    """A second start while the first window is hidden: the first window comes back, the second
    process ends with exit code 1."""
    gui.demo_accounts()
    gui.server.start()
    first = gui.client.start()
    gui.client_ready(3)

    gui.must("close")
    gui.must("wait-hidden")
    gui.client.start()
    assert gui.client.wait_exit(START_SECONDS) == 1, "exit code of the second instance"
    gui.must("wait-visible", "--foreground")
    assert first.poll() is None, "the first instance ended"
    main_windows = gui.must("count-windows", "--title", "Kopiavakt", "--class", "#32770",
                            "--child", ids.IDC_ACCOUNT_LIST, "--hidden-too").out
    assert main_windows == "1", "main windows"
    assert gui.message_boxes() == "0", "message boxes shown by the second instance"

    gui.client.process = first
    gui.exit_client()


def test_outdated_warning(gui):
    """A timer tick finds an outdated copy: the hidden window comes back with the warning, and a
    tick while the warning is open runs its update but opens no second box."""
    gui.demo_accounts()
    gui.server.start()
    gui.client.start()
    gui.client_ready(3)
    gui.must("close")
    gui.must("wait-hidden")
    requests = gui.server.requests()

    gui.must("timer")
    box = gui.must("msgbox", "--buttons", "--owner").out
    assert box == f"{WARNING}\nbuttons: ok\nowner: main", "warning box"
    gui.must("wait-visible")
    gui.server.wait_for_requests(requests + 1, 10)

    gui.must("timer", "--settle")
    gui.server.wait_for_requests(requests + 2, 10)
    gui.must("settle")
    time.sleep(1)
    assert gui.message_boxes() == "1", "message boxes while the warning is open and a tick came"
    gui.must("rows", "--count", 3)

    gui.must("msgbox", "--press", "ok")
    gui.must("settle")
    assert gui.message_boxes() == "0", "message boxes after the warning was closed"
    gui.exit_client()


def test_refresh_server_down(gui):
    """"Uppdatera" with the server gone: one error box, an empty list, no warning. A timer update
    with the server gone shows no error but still judges the stored times."""
    gui.demo_accounts()
    gui.server.start()
    gui.client.start()
    gui.client_ready(3)
    times_before = (gui.work_folder / "time_list.bin").read_bytes()
    gui.server.stop()

    gui.must("command", ids.IDM_REFRESH)
    box = gui.must("msgbox", "--buttons", "--owner").out
    assert box == "Fel: Fick ingen kontakt med servern.\nbuttons: ok\nowner: main", "error box"
    gui.must("rows", "--count", 0)
    gui.must("msgbox", "--press", "ok")
    gui.must("settle")
    time.sleep(1)
    assert gui.message_boxes() == "0", "message boxes after the error (no warning for a manual update)"
    assert (gui.work_folder / "time_list.bin").read_bytes() == times_before, \
        "time_list.bin changed by a failed update"

    # Timer tick, server still gone: the stored times hold an outdated account, so the warning
    # (not the error) appears.
    gui.must("timer")
    assert gui.must("msgbox").out == WARNING, "box after a failed timer update"
    gui.must("msgbox", "--press", "ok")
    gui.exit_client()


def test_attention_marks(gui):
    """After an update with one outdated and one fresh account the outdated row is drawn in the
    warning colour and the tray tooltip names it, also after a new taskbar; a longer period in
    "Inställningar" marks the rows again without an exchange; a timer update that finds no server
    says so in the tooltip, and one under way says that it runs."""
    gui.keytool.account("--id", 7, "--name", "Färsk", "--age", 3600)
    gui.keytool.account("--id", 300, "--name", "Gammal", "--age", 864000)
    gui.keytool.user_list(gui.work_folder / "account_list.bin")
    gui.server.start()
    gui.client.start()
    gui.client_ready(2)

    gui.must("tray-tip", "--expect", "Kopiavakt\\n1 konto har en föråldrad kopia")
    gui.must("settle")
    assert gui.must("row-colour", "--id", 300).out == "FFC7CE", "colour of the outdated row"
    fresh = gui.must("row-colour", "--id", 7).out
    assert fresh != "FFC7CE", "the fresh row is drawn as outdated"
    gui.must("taskbar-created")
    gui.must("tray-tip", "--expect", "Kopiavakt\\n1 konto har en föråldrad kopia")

    requests = gui.server.requests()
    gui.must("command", ids.IDM_SETTINGS)
    gui.must("settings", "--days", 15, "--ok")
    gui.must("tray-tip", "--expect", "Kopiavakt")
    gui.must("settle")
    assert gui.must("row-colour", "--id", 300).out == fresh, \
        "colour of the 10-day-old row with a 15-day period"
    assert gui.server.requests() == requests, "status requests for a new period"
    gui.must("rows", "--count", 2)

    gui.server.stop()
    gui.must("timer")
    gui.must("tray-tip", "--starts", "Kopiavakt\\nIngen kontakt med servern sedan ")
    assert gui.message_boxes() == "0", "message boxes after a timer update without the server"

    # While a slow reply keeps the window blocked, the tooltip says that an update runs.
    gui.server.start("--fault", "slow", "--delay-ms", 3000)
    gui.must("command", ids.IDM_REFRESH)
    gui.must("tray-tip", "--expect", "Kopiavakt\\nUppdaterar status…")
    gui.must("tray-tip", "--expect", "Kopiavakt", "--timeout", 20000)
    gui.exit_client()
