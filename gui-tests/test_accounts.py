"""Accounts through the real dialogs: adding, removing, renaming, export and import, and the
excluded files of one account."""

import resource_ids as ids
from conftest import FILES_WIN, rows_by_id
from win32_constants import VK_ESCAPE, VK_RETURN
from wine_harness import wait_until


def test_add_account(gui):
    """Adding an account through the real file dialog and name dialog; the same file again is
    refused before the name dialog; cancelling the name dialog changes nothing."""
    gui.demo_accounts()
    gui.keytool.account("--id", 55, "--rlf", gui.files_dir / "nytt konto å.rlf", "--age", 120,
                        "--files", 9)
    gui.keytool.account("--id", 56, "--rlf", gui.files_dir / "56.rlf", "--age", 5)
    gui.server.start()
    gui.client.start()
    gui.client_ready(3)

    gui.must("command", ids.IDM_ADD_ACCOUNT)
    title = gui.must("file-dialog", "--path", FILES_WIN + "\\nytt konto å.rlf").out
    assert title == "Välj fjärr-logg fil...", "file dialog title"
    name_dialog = gui.must("name-dialog", "--text", "Nytt åäö", "--ok").out
    assert name_dialog == "Välj namn", "name dialog title and empty field"
    row = rows_by_id(gui.must("rows", "--count", 4, "--contains", "Nytt åäö").out)["55"]
    assert row[1] == "Nytt åäö", "name of the added account"
    assert row[3] == "9", "files of the added account (status opened)"
    assert gui.list_accounts()[-1] == (55, "Nytt åäö"), "last account of account_list.bin"

    # The button does the same; the second time the id is already there.
    gui.must("command", ids.IDC_ADD_USER)
    gui.must("file-dialog", "--path", FILES_WIN + "\\nytt konto å.rlf")
    gui.must("msgbox", "--expect", "Fel: Detta kontot är redan tillagt i klienten.", "--press", "ok")
    assert gui.must("count-windows", "--child", ids.IDC_NAME_EDIT).out == "0", \
        "name dialogs after the duplicate"

    before = (gui.work_folder / "account_list.bin").read_bytes()
    gui.must("command", ids.IDM_ADD_ACCOUNT)
    gui.must("file-dialog", "--path", FILES_WIN + "\\56.rlf")
    gui.must("name-dialog", "--text", "Ångrad", "--cancel")
    gui.must("command", ids.IDM_ADD_ACCOUNT)
    gui.must("file-dialog", "--cancel")
    gui.must("settle")
    assert (gui.work_folder / "account_list.bin").read_bytes() == before, \
        "account_list.bin changed by a cancelled add"
    gui.must("rows", "--count", 4)
    assert gui.message_boxes() == "0", "message boxes after cancelling"
    gui.exit_client()


def test_remove(gui):
    """No selection is an error; the Yes/No question; No keeps the account, Yes (from the list's
    context menu item) removes it and keeps the others in order."""
    gui.demo_accounts()
    gui.server.start()
    gui.client.start()
    gui.client_ready(3)
    before = (gui.work_folder / "account_list.bin").read_bytes()

    gui.must("select", "--none")
    gui.must("command", ids.IDM_REMOVE_SELECTED)
    error = gui.must("msgbox", "--buttons", "--expect", "Fel: Inget konto är markerat i listan.",
                     "--press", "ok")
    assert "buttons: ok" in error.lines(), "buttons of the error"

    gui.must("select", "--id", 300)
    gui.must("command", ids.IDM_REMOVE_SELECTED)
    question = gui.must("msgbox", "--buttons", "--owner", "--expect",
                        "Vill du verkligen ta bort det markerade kontot från Kopiavakt?",
                        "--press", "no")
    assert "buttons: yes no" in question.lines(), "buttons of the question"
    assert "owner: main" in question.lines(), "owner of the question"
    gui.must("settle")
    assert (gui.work_folder / "account_list.bin").read_bytes() == before, \
        "account_list.bin changed after No"
    gui.must("rows", "--count", 3)

    gui.must("select", "--id", 300)
    gui.must("command", ids.IDM_REMOVE_FROM_LIST)
    gui.must("msgbox", "--press", "yes")
    gui.must("rows", "--count", 2, "--lacks", "Bertil")
    assert gui.list_accounts() == [(7, "Åsa Öberg"), (12, "Cesar")], \
        "account_list.bin after removing"
    gui.exit_client()


def test_rename(gui):
    """Renaming the selected account through the name dialog, which opens with the current name;
    Avbryt and the close box change nothing."""
    gui.demo_accounts()
    gui.server.start()
    gui.client.start()
    gui.client_ready(3)

    gui.must("select", "--id", 300)
    gui.must("command", ids.IDM_RENAME)
    dialog = gui.must("name-dialog", "--text", "Bertil Ärlig", "--ok").out
    assert dialog == "Välj namn\nBertil", "name dialog with the current name"
    rows = rows_by_id(gui.must("rows", "--count", 3, "--contains", "Bertil Ärlig").out)
    assert rows["300"][1] == "Bertil Ärlig", "row after renaming"
    assert gui.list_accounts() == [(7, "Åsa Öberg"), (300, "Bertil Ärlig"), (12, "Cesar")], \
        "account_list.bin after renaming (same place)"

    before = (gui.work_folder / "account_list.bin").read_bytes()
    gui.must("select", "--id", 300)
    gui.must("command", ids.IDM_RENAME)
    dialog = gui.must("name-dialog", "--text", "Något annat", "--cancel")
    assert "Bertil Ärlig" in dialog.lines(), "name dialog shows the new name"
    gui.must("select", "--id", 300)
    gui.must("command", ids.IDM_RENAME)
    gui.must("name-dialog", "--text", "Något annat", "--close")
    gui.must("settle")
    assert (gui.work_folder / "account_list.bin").read_bytes() == before, \
        "account_list.bin changed by a cancelled rename"
    gui.must("rows", "--count", 3, "--contains", "Bertil Ärlig")
    gui.exit_client()


def test_export_import(gui):
    """Export through the save dialog copies account_list.bin; importing that file back (after a
    change) through the open dialog and the question restores it byte for byte."""
    gui.demo_accounts()
    gui.server.start()
    gui.client.start()
    gui.client_ready(3)
    original = (gui.work_folder / "account_list.bin").read_bytes()
    exported = gui.files_dir / "export åäö.ulf"

    gui.must("command", ids.IDM_EXPORT_LIST)
    dialog = gui.must("file-dialog", "--print-name", "--path", FILES_WIN + "\\export åäö.ulf").out
    assert dialog == "Välj plats för filen...\nAnvändarlista.ulf", \
        "save dialog title and initial name"
    wait_until(exported.exists, 5, f"no file {exported}")
    gui.must("settle")
    assert exported.read_bytes() == original, "the exported file differs from account_list.bin"
    assert gui.message_boxes() == "0", "message boxes after exporting"

    gui.must("select", "--id", 300)
    gui.must("command", ids.IDM_REMOVE_SELECTED)
    gui.must("msgbox", "--press", "yes")
    gui.must("rows", "--count", 2, "--lacks", "Bertil")

    # No to the question keeps the list.
    gui.must("command", ids.IDM_IMPORT_LIST)
    title = gui.must("file-dialog", "--path", FILES_WIN + "\\export åäö.ulf").out
    assert title == "Användarlista...", "open dialog title"
    question = gui.must("msgbox", "--buttons", "--expect",
                        "VARNING! De användare som lagras i programmet kommer att skrivas över! "
                        "Vill du fortsätta?", "--press", "no")
    assert "buttons: yes no" in question.lines(), "buttons of the import question"
    gui.must("settle")
    gui.must("rows", "--count", 2)

    gui.must("command", ids.IDM_IMPORT_LIST)
    gui.must("file-dialog", "--path", FILES_WIN + "\\export åäö.ulf")
    gui.must("msgbox", "--press", "yes")
    message = gui.must("msgbox", "--buttons", "--expect", "Användarlistan importerad från fil!",
                       "--press", "ok")
    assert "buttons: ok" in message.lines(), "buttons of the import message"
    gui.must("rows", "--count", 3, "--contains", "Bertil")
    assert (gui.work_folder / "account_list.bin").read_bytes() == original, \
        "account_list.bin after export and import differs from the original"
    gui.exit_client()


def test_excluded_files(gui):
    """The excluded-files dialog shows the selected account's names, one a line, and ignores Esc
    and Enter; nothing for an account whose status was not opened; no dialog without a
    selection."""
    gui.demo_accounts()
    gui.server.start()
    gui.client.start()
    gui.client_ready(3)

    gui.must("select", "--id", 7)
    gui.must("command", ids.IDM_SHOW_EXCLUDED)
    # Esc does nothing where the focus starts (on "Stäng", where Enter would press it); Esc and
    # Enter do nothing in the text.
    text = ids.IDC_EXCLUDED_TEXT
    for key in ([VK_ESCAPE], [VK_ESCAPE, "--to", text], [VK_RETURN, "--to", text]):
        gui.must("key", "--vk", *key, "--title", "Utesluta filer", "--child", text)
        gui.must("wait-window", "--title", "Utesluta filer", "--child", text, "--timeout", 1000)
    dialog = gui.must("excluded", "--close").out
    assert dialog == "Utesluta filer\nhemligt.doc\nbild på älg.jpg", "excluded files of 7"

    gui.must("select", "--id", 12)
    gui.must("command", ids.IDM_SHOW_EXCLUDED)
    assert gui.must("excluded", "--close").out == "Utesluta filer", \
        "excluded files of the unopened account"

    gui.must("select", "--none")
    gui.must("command", ids.IDM_SHOW_EXCLUDED, "--settle")
    assert gui.auto("wait-window", "--child", ids.IDC_EXCLUDED_TEXT, "--timeout", 1000).rc == 1, \
        "dialog without a selection (1 = none appeared)"
    gui.exit_client()
