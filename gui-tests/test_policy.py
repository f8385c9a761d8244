"""Group policy on the real client (values set with wine reg add): the server it asks, a fixed
warning period, a locked account list and a preset user list; kopiavakt-check honours the first
two."""

import resource_ids as ids
from conftest import FILES_WIN, rows_by_id
from test_main_window import WARNING
from wine_harness import wait_until, windows_path

POLICY_MACHINE = r"HKLM\Software\Policies\Kopiavakt"
POLICY_USER = r"HKCU\Software\Policies\Kopiavakt"
LOCKED = "Kontolistan är låst av administratören."
DAY = 86400


def set_policy(gui, key, name, value):
    kind, data = ("REG_DWORD", str(value)) if isinstance(value, int) else ("REG_SZ", value)
    assert gui.case.run("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f",
                        name="reg").rc == 0, f"cannot set {name}"


def test_policy_server_and_period(gui, programs):
    """ServerHost names the server (the machine's value wins over the user's); WarningDays 7
    greys the period list, shows 7 dagar, stores nothing and warns of a copy eight days old
    that the user's 15 days would not; kopiavakt-check takes both without --server/--warning."""
    gui.keytool.account("--id", 21, "--name", "Kontoret", "--age", 8 * DAY)
    gui.keytool.user_list(gui.work_folder / "account_list.bin")
    settings = gui.work_folder / "settings.bin"
    settings.write_bytes(b"\x02\x00\x00\x00\x0f\x00")  # the user's own 15 days
    set_policy(gui, POLICY_MACHINE, "ServerHost", "127.0.0.2")
    set_policy(gui, POLICY_USER, "ServerHost", "127.0.0.3")
    set_policy(gui, POLICY_MACHINE, "WarningDays", 7)
    gui.server.start("--address", "127.0.0.2")  # nothing listens on 127.0.0.1
    gui.client.start()
    assert rows_by_id(gui.client_ready(1).out)["21"][1] == "Kontoret", "row from 127.0.0.2"

    gui.must("command", ids.IDM_SETTINGS)
    dialog = gui.must("settings", "--ok").lines()
    assert "* 7 dagar\t7" in dialog and dialog[-1] == "(greyed)", f"settings dialog: {dialog}"
    gui.must("settle")
    assert settings.read_bytes() == b"\x02\x00\x00\x00\x0f\x00", "settings.bin after OK"
    gui.must("timer")
    assert gui.must("msgbox", "--press", "ok").out == WARNING, "warning at seven days"
    gui.exit_client()

    check = gui.case.run(programs["check"], "--accounts",
                         windows_path(gui.work_folder / "account_list.bin"), name="check")
    assert check.out.startswith("KOPIAVAKT WARNING - "), f"check: {check.out}"
    assert check.rc == 1, "check exit code"


def test_policy_locked_preset_list(gui):
    """UserListFile fills a new user's list without a question and is not imported again;
    LockAccounts greys the changing commands, refuses an add and a remove with its message and
    leaves account_list.bin as it was; export still works."""
    gui.keytool.account("--id", 31, "--name", "Ekonomi", "--age", 60)
    gui.keytool.account("--id", 32, "--name", "Lager", "--age", 60)
    preset = gui.files_dir / "kontor.ulf"
    gui.keytool.user_list(preset)
    set_policy(gui, POLICY_MACHINE, "UserListFile", FILES_WIN + "\\kontor.ulf")
    set_policy(gui, POLICY_USER, "LockAccounts", 1)
    gui.server.start()
    gui.client.start()
    gui.client_ready(2)
    account_list = gui.work_folder / "account_list.bin"
    before = account_list.read_bytes()
    assert before == preset.read_bytes(), "account_list.bin is the preset list"

    # Wine lets no other process read the menus (tests/win32 checks them in-process).
    greyed = gui.must("greyed").lines()
    changing = [str(i) for i in (ids.IDM_ADD_ACCOUNT, ids.IDM_REMOVE_SELECTED, ids.IDM_IMPORT_LIST)]
    menus = changing if changing[0] in greyed or not any(
        line.startswith("menu ") for line in greyed) else []
    for item in (*menus, str(ids.IDC_ADD_USER)):
        assert item in greyed, f"{item} not greyed: {greyed}"
    assert str(ids.IDM_EXPORT_LIST) not in greyed, "export greyed"
    gui.must("command", ids.IDM_ADD_ACCOUNT)
    gui.must("msgbox", "--expect", LOCKED, "--press", "ok")
    gui.must("select", "--id", 31)
    gui.must("command", ids.IDM_REMOVE_FROM_LIST)
    gui.must("msgbox", "--expect", LOCKED, "--press", "ok")
    gui.must("settle")
    assert account_list.read_bytes() == before, "account_list.bin after refused changes"
    gui.must("command", ids.IDM_EXPORT_LIST)
    gui.must("file-dialog", "--path", FILES_WIN + "\\export.ulf")
    exported = gui.files_dir / "export.ulf"
    wait_until(exported.exists, 10, "no export")
    gui.must("settle")
    assert exported.read_bytes() == before, "export of a locked list"
    gui.exit_client()

    # A second start, with another preset list: the user's list stays as it is.
    gui.keytool.account("--id", 33, "--name", "Ny", "--age", 60)
    gui.keytool.user_list(preset)
    gui.client.start()
    gui.client_ready(2)
    assert account_list.read_bytes() == before, "the preset list was imported again"
    assert gui.message_boxes() == "0", "message boxes at the second start"
    gui.exit_client()
