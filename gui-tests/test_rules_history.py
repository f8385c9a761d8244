"""Rules per account, pauses, anomalies and the history window, on the real client."""

import csv
import io
import os
import subprocess
import time

import resource_ids as ids
from wine_harness import wait_until

DAY = 86400
OUTDATED_BACK = "FFC7CE"
ANOMALY_BACK = "E6D9F5"
PAUSED_BACK = "E3E3E3"
FRESH, OUTDATED, ANOMALY, PAUSED = "0", "1", "3", "4"  # the rows' state icons


def icons(gui):
    return dict(line.split("\t") for line in gui.must("row-icons").lines())


def test_anomaly_mark(gui):
    """A new copy 90 % smaller than the one before: the anomaly's colour, icon and tray line,
    and no warning box after the timer's update."""
    gui.keytool.account("--id", 7, "--name", "Kontoret", "--age", 7200, "--files", 1000,
                        "--total-size", 10000000)
    gui.keytool.account("--id", 8, "--name", "Hemma", "--age", 600, "--files", 50,
                        "--total-size", 2000)
    gui.keytool.user_list(gui.work_folder / "account_list.bin")
    gui.server.start()
    gui.client.start()
    gui.client_ready(2)
    gui.must("tray-tip", "--expect", "Kopiavakt")
    assert icons(gui) == {"7": FRESH, "8": FRESH}, "icons of two fresh accounts"

    gui.keytool.account("--id", 7, "--name", "Kontoret", "--keep-secret", "--age", 60,
                        "--files", 1000, "--total-size", 1000000)
    gui.must("timer")
    gui.must("tray-tip", "--expect", "Kopiavakt\\n1 konto har en avvikande kopia")
    gui.must("settle")
    assert gui.must("row-colour", "--id", 7).out == ANOMALY_BACK, "colour of the shrunk copy"
    assert icons(gui) == {"7": ANOMALY, "8": FRESH}, "icons after the shrunk copy"
    time.sleep(1)
    assert gui.message_boxes() == "0", "a warning box for an anomaly"
    assert (gui.work_folder / "history.bin").exists(), "no history.bin"
    gui.exit_client()


def test_own_period_and_pause(gui):
    """Two ten-day-old copies: the laptop's own 14 days (set in "Regler för kontot...")
    silence it while the office on the global 3 days still warns; "Pausa varningar" for a day
    greys the office and the timer's warning stays away."""
    gui.keytool.account("--id", 7, "--name", "Laptop", "--age", 10 * DAY)
    gui.keytool.account("--id", 8, "--name", "Kontor", "--age", 10 * DAY)
    gui.keytool.user_list(gui.work_folder / "account_list.bin")
    gui.server.start()
    gui.client.start()
    gui.client_ready(2)
    gui.must("tray-tip", "--expect", "Kopiavakt\\n2 konton har föråldrade kopior")

    gui.must("select", "--id", 7)
    gui.must("command", ids.IDM_ACCOUNT_RULES)
    fields = gui.must("rules-dialog", "--own-days", 14, "--ok").lines()
    assert fields == ["Regler för kontot", "own-period\toff\t3", "size\ton\t50",
                      "files\ton\t50", "copies\ton\t50"], "the rules dialog at first"
    wait_until((gui.work_folder / "rules.bin").exists, 5, "no rules.bin")
    gui.must("tray-tip", "--expect", "Kopiavakt\\n1 konto har en föråldrad kopia")
    gui.must("select", "--none")  # a selected row shows the selection's colours
    gui.must("settle")
    assert gui.must("row-colour", "--id", 7).out != OUTDATED_BACK, "the laptop drawn outdated"
    assert gui.must("row-colour", "--id", 8).out == OUTDATED_BACK, "the office not outdated"
    assert icons(gui) == {"7": FRESH, "8": OUTDATED}, "icons with the laptop's own period"

    gui.must("close")
    gui.must("wait-hidden")
    gui.must("timer")
    gui.must("msgbox", "--press", "ok")  # the office still warns
    gui.must("settle")

    gui.must("select", "--id", 7)
    gui.must("command", ids.IDM_ACCOUNT_RULES)
    assert "own-period\ton\t14" in gui.must("rules-dialog", "--cancel").lines(), \
        "the stored period on reopening"

    gui.must("select", "--id", 8)
    gui.must("command", ids.IDM_SNOOZE_1_DAY)  # "Pausa varningar" > "1 dag"
    gui.must("tray-tip", "--expect", "Kopiavakt")
    gui.must("select", "--none")
    gui.must("settle")
    assert gui.must("row-colour", "--id", 8).out == PAUSED_BACK, "the paused row's grey"
    assert icons(gui) == {"7": FRESH, "8": PAUSED}, "icons with the office paused"
    gui.must("timer")
    gui.must("settle")
    time.sleep(1)
    assert gui.message_boxes() == "0", "a warning box while the only outdated account is paused"
    gui.exit_client()


def test_history_window(gui):
    """"Historik..." shows the account's records with the shrunk copy marked, and "Exportera
    CSV..." writes them as UTF-8 with a header line and ISO 8601 times."""
    gui.keytool.account("--id", 7, "--name", "Kontoret", "--age", 2 * DAY, "--files", 1200,
                        "--total-size", 50000000, "--stored-copies", 30)
    gui.keytool.user_list(gui.work_folder / "account_list.bin")
    gui.server.start()
    gui.client.start()
    gui.client_ready(1)
    for age, files, size, stored in ((DAY, 1250, 52000000, 30), (60, 1250, 5000000, 31)):
        gui.keytool.account("--id", 7, "--name", "Kontoret", "--keep-secret", "--age", age,
                            "--files", files, "--total-size", size, "--stored-copies", stored)
        gui.must("command", ids.IDM_REFRESH)  # "Uppdatera"
        gui.must("settle")
    gui.must("tray-tip", "--expect", "Kopiavakt\\n1 konto har en avvikande kopia")

    gui.must("select", "--id", 7)
    gui.must("command", ids.IDM_HISTORY)
    shown = gui.must("history").lines()
    assert shown[0] == "Historik – Kontoret", "the history window's caption"
    assert len(shown) == 4, f"three records, newest first: {shown}"
    assert shown[1].split("\t")[2] == "1250" and shown[1].endswith("\tstorlek"), \
        f"the shrunk copy: {shown[1]}"
    assert not shown[2].endswith("storlek") and not shown[3].endswith("storlek"), \
        "a copy marked that raised no rule"
    if os.environ.get("KPV_HISTORY_SCREENSHOT"):
        time.sleep(1)
        subprocess.run(["import", "-display", gui.case.env["DISPLAY"], "-window", "root",
                        os.environ["KPV_HISTORY_SCREENSHOT"]], check=False)

    gui.must("history", "--export")
    gui.must("file-dialog", "--path", "C:\\kpv-files\\historik.csv")
    exported = gui.files_dir / "historik.csv"
    wait_until(exported.exists, 10, "no CSV written")
    wait_until(lambda: exported.read_bytes().count(b"\n") == 4, 10, "the CSV is not whole")
    rows = list(csv.reader(io.StringIO(exported.read_bytes().decode("utf-8"))))
    assert rows[0] == ["Sedd", "Senaste kopiering", "Antal filer", "Total storlek",
                       "Antal uteslutna filer", "Antal kopieringar utförda",
                       "Antal lagrade kopior", "Diskutrymme", "Avvikelse"], "CSV header"
    assert [r[2:4] for r in rows[1:]] == [["1200", "50000000"], ["1250", "52000000"],
                                          ["1250", "5000000"]], "CSV records, oldest first"
    assert [r[8] for r in rows[1:]] == ["", "", "size"], "CSV anomaly column"
    assert all(len(r[0]) == 20 and r[0][10] == "T" and r[0].endswith("Z") for r in rows[1:]), \
        "ISO 8601 times"
    gui.must("history", "--close")
    gui.exit_client()
