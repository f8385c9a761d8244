"""Fixtures of the GUI tests: the real client under Xvfb and Wine, driven by kpv-auto, against the
reference server with accounts made by kpv-keytool.

The programs come from the environment (ctest sets it): KPV_CLIENT_EXE, KPV_CHECK_EXE, KPV_AUTO_EXE (Windows),
KPV_SERVER, KPV_KEYTOOL (Linux), by default those of build/windows and build/native; logs go to
KPV_GUI_OUT (default build/gui-tests). The run needs a network namespace of its own (port
55502): unshare --net /usr/bin/python3 -m pytest gui-tests [-k CASE]
"""

import json
import os
import pathlib
import struct
import subprocess
import sys
import time

import pytest

sys.path.insert(0, os.path.dirname(__file__))
import resource_ids as ids  # noqa: E402
from wine_harness import (  # noqa: E402,F401  (fixtures and hooks are found by name)
    START_TIMEOUT_MS, AutomationTool, program_from_environment, pytest_runtest_makereport,
    wait_until, wine_case, wine_session, windows_path)

ROOT = pathlib.Path(__file__).resolve().parent.parent

# A POSIX rule: Wine's C runtime, its Win32 time calls and Linux all read it alike.
TIME_ZONE = "CET-1CEST,M3.5.0,M10.5.0/3"
FILES_WIN = "C:\\kpv-files"  # the folder FILES_DIR in the client's eyes
MESSAGE_BOX_QUERY = ("count-windows", "--title", "Kopiavakt", "--class", "#32770",
                     "--no-child", ids.IDC_ACCOUNT_LIST, "--no-child", ids.IDC_ABOUT_OK)


@pytest.fixture(scope="session")
def wine_settings():
    os.environ["TZ"] = TIME_ZONE
    time.tzset()
    return {"out": os.environ.get("KPV_GUI_OUT", ROOT / "build" / "gui-tests"),
            "env": {"TZ": TIME_ZONE, "LANG": "C.UTF-8"}}


@pytest.fixture(scope="session")
def programs():
    windows, native = ROOT / "build" / "windows", ROOT / "build" / "native" / "tools"
    return {name: program_from_environment(variable, default) for name, variable, default in
            (("client", "KPV_CLIENT_EXE", windows / "app" / "win32" / "kopiavakt.exe"),
             ("check", "KPV_CHECK_EXE", windows / "check" / "kopiavakt-check.exe"),
             ("auto", "KPV_AUTO_EXE", windows / "gui-tests" / "kpv-auto.exe"),
             ("server", "KPV_SERVER", native / "kpv-server"),
             ("keytool", "KPV_KEYTOOL", native / "kpv-keytool"))}


@pytest.fixture(scope="session")
def ru_locale(wine_session):
    """A Russian locale built into a folder of the run's own (the system's stay as they are)."""
    folder = wine_session.out / "locale"
    folder.mkdir()
    with open(wine_session.out / "localedef.log", "wb") as log:
        built = subprocess.run(["localedef", "-i", "ru_RU", "-f", "UTF-8",
                                str(folder / "ru_RU.UTF-8")], stdout=log, stderr=log).returncode
    assert built == 0, "no ru_RU.UTF-8 locale could be built (localedef)"
    return folder


class Keytool:
    def __init__(self, exe, case):
        self.exe = exe
        self.case = case
        self.accounts = case.folder / "accounts.json"

    def __call__(self, *args):
        with open(self.case.folder / "keytool.log", "ab") as log:
            rc = subprocess.run([str(self.exe), *map(str, args)], stdout=log, stderr=log).returncode
        assert rc == 0, f"kpv-keytool {' '.join(map(str, args))} failed"

    def account(self, *args):
        self("account", "--accounts", self.accounts, *args)

    def user_list(self, path):
        path.parent.mkdir(parents=True, exist_ok=True)
        self("userlist", "--out", path, "--from-accounts", self.accounts)


class ReferenceServer:
    def __init__(self, exe, case, accounts):
        self.exe = exe
        self.case = case
        self.accounts = accounts
        self.process = None

    def start(self, *args):
        out = self.case.folder / "server.out"
        with open(out, "wb") as stdout, open(self.case.folder / "server.log", "ab") as stderr:
            self.process = subprocess.Popen(
                [str(self.exe), "--accounts", str(self.accounts), *map(str, args)],
                stdout=stdout, stderr=stderr, stdin=subprocess.DEVNULL)

        def listening():
            assert self.process.poll() is None, "kpv-server did not start"
            return out.read_text().startswith("listening on")
        wait_until(listening, 5, "kpv-server did not report listening")

    def stop(self):
        if self.process is not None:
            self.process.terminate()
            self.process.wait()
            self.process = None

    def requests(self):
        """Status requests the server has answered so far."""
        log = self.case.folder / "server.log"
        return log.read_text(errors="replace").count("request for") if log.exists() else 0

    def wait_for_requests(self, count, seconds):
        wait_until(lambda: self.requests() >= count, seconds,
                   f"the server answered {self.requests()} requests, not {count},")


class Client:
    def __init__(self, exe, case):
        self.exe = exe
        self.case = case
        self.process = None

    def start(self):
        self.process = self.case.start(self.exe, name="client")
        return self.process

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, seconds):
        """The exit code of the client, which must end within seconds."""
        try:
            rc = self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the client still runs after {seconds}s") from None
        self.case.log(f"client ended with {rc}")
        return rc


class Gui:
    """Everything one GUI case works with."""

    def __init__(self, case, programs):
        self.case = case
        self.folder = case.folder
        self.work_folder = case.local_dir / "KPV_wd"
        self.files_dir = case.prefix / "drive_c" / "kpv-files"  # C:\kpv-files
        self.files_dir.mkdir()
        self.client_exe = programs["client"]
        self.auto = AutomationTool(case, programs["auto"])
        self.must = self.auto.must
        self.keytool = Keytool(programs["keytool"], case)
        self.server = ReferenceServer(programs["server"], case, self.keytool.accounts)
        self.client = Client(programs["client"], case)

    def demo_accounts(self):
        """Three accounts: 7 fresh (with excluded files), 300 outdated (ten days), 12 whose status
        the client cannot open (its user list holds other key material)."""
        self.keytool.account("--id", 7, "--name", "Åsa Öberg", "--age", 3600, "--files", 1234,
                             "--total-size", 5000000, "--exclude", "hemligt.doc", "--exclude",
                             "bild på älg.jpg", "--copies-made", 10, "--stored-copies", 3,
                             "--disk-space", 9000000)
        self.keytool.account("--id", 300, "--name", "Bertil", "--age", 864000, "--files", 5)
        self.keytool.account("--id", 12, "--name", "Cesar", "--age", 60, "--client-secret",
                             "00112233445566778899aabbccddeeff")
        self.keytool.user_list(self.work_folder / "account_list.bin")

    def client_ready(self, rows):
        """The client has started and shown its window with that many rows: a start-up, which
        a loaded machine slows most."""
        return self.must("rows", "--count", rows, "--timeout", START_TIMEOUT_MS)

    def message_boxes(self):
        """The number of the client's message boxes on screen."""
        return self.must(*MESSAGE_BOX_QUERY).out

    def exit_client(self):
        """"Avsluta" in the tray menu: the client ends with exit code 0."""
        self.must("command", ids.IDM_EXIT_NOW)
        assert self.client.wait_exit(20) == 0, "exit code"

    def list_accounts(self):
        return list_accounts(self.work_folder / "account_list.bin")

    def client_exe_windows_path(self):
        return windows_path(self.client_exe)


@pytest.fixture
def gui(wine_case, programs):
    gui = Gui(wine_case, programs)
    gui.case.warm_up(gui.auto.exe, "count-windows", "--title", "Kopiavakt")
    yield gui
    gui.server.stop()


def rows_by_id(text):
    """kpv-auto's rows (account id, then every column, tab-separated) by account id."""
    return {fields[0]: fields for fields in (line.split("\t") for line in text.split("\n"))
            if fields[0]}


def list_accounts(path):
    """(id, name) of every account in an account list file, in file order (names Windows-1252)."""
    data = pathlib.Path(path).read_bytes()
    (length,) = struct.unpack_from("<I", data, 0)
    content = data[4:4 + length]
    pos = 0

    def u32():
        nonlocal pos
        value = struct.unpack_from("<I", content, pos)[0] if pos + 4 <= len(content) else 0
        pos += 4
        return value

    def blob():
        nonlocal pos
        size = u32()
        value = content[pos:pos + size]
        pos += size
        return value

    accounts = []
    for _ in range(u32()):
        account = u32()
        blob()
        accounts.append((account, blob().rstrip(b"\0").decode("cp1252")))
    return accounts


def write_accounts(path, accounts):
    path.write_text(json.dumps({"accounts": accounts}))
