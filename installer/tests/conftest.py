"""Fixtures of the installer tests: the installer, the uninstaller and the portable zip under Xvfb
and Wine, looked at from inside Wine with kpv-auto.

The files come from the environment (ctest sets it): KPV_SETUP, KPV_MSI, KPV_ZIP, KPV_CLIENT_EXE
and KPV_CHECK_EXE (the exes they pack), KPV_AUTO_EXE and KPV_VERSION, by default those of
build/windows-release; logs go to
KPV_INSTALLER_OUT (default build/installer-tests). The run needs a network namespace of its own:
unshare --net /usr/bin/python3 -m pytest installer/tests [-k CASE]
"""

import os
import pathlib
import re
import subprocess
import sys
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "gui-tests"))
from wine_harness import (  # noqa: E402,F401  (fixtures and hooks are found by name)
    START_SECONDS, START_TIMEOUT_MS, AutomationTool, program_from_environment,
    pytest_runtest_makereport, wine_case, wine_session, windows_path)

SETUP_CAPTION = "Kopiavakt Installation"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kopiavakt"
COLUMNS_96_DPI = "140 125 85 95 120 140 140 100"


@pytest.fixture(scope="session")
def wine_settings():
    return {"out": os.environ.get("KPV_INSTALLER_OUT", ROOT / "build" / "installer-tests"),
            "env": {"LANG": "C.UTF-8"}}


@pytest.fixture(scope="session")
def release():
    version = os.environ.get("KPV_VERSION") or re.search(
        r"project\(Kopiavakt VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())[1]
    build = ROOT / "build" / "windows-release"
    release = build / "installer" / f"kopiavakt-{version}"
    return {"version": version,
            "setup": program_from_environment("KPV_SETUP", f"{release}-setup.exe"),
            "zip": program_from_environment("KPV_ZIP", f"{release}-portable.zip"),
            "msi": program_from_environment("KPV_MSI", f"{release}.msi"),
            "check": program_from_environment("KPV_CHECK_EXE",
                                              build / "check" / "kopiavakt-check.exe"),
            "client": program_from_environment("KPV_CLIENT_EXE",
                                               build / "app" / "win32" / "kopiavakt.exe"),
            "auto": program_from_environment("KPV_AUTO_EXE", build / "gui-tests" / "kpv-auto.exe")}


class Installation:
    """One case's view of an install: where its files go, and the steps a user takes."""

    def __init__(self, case, release):
        self.case = case
        self.version = release["version"]
        self.setup = release["setup"]
        self.setup_win = windows_path(self.setup)
        self.zip = release["zip"]
        self.client_exe = release["client"]
        self.auto = AutomationTool(case, release["auto"])
        self.must = self.auto.must
        user_win = f"C:\\users\\{case.user}"
        programs = case.user_dir / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
        self.install_dir = case.local_dir / "Programs" / "Kopiavakt"
        self.install_win = user_win + "\\AppData\\Local\\Programs\\Kopiavakt"
        self.data_dir = case.local_dir / "KPV_wd"
        self.data_win = user_win + "\\AppData\\Local\\KPV_wd"
        self.start_link = programs / "Kopiavakt.lnk"
        # Wine names the Startup folder "StartUp"; Windows compares names without case.
        self.startup_link = programs / "StartUp" / "Kopiavakt.lnk"

    def run(self, *args):
        """A Windows program run to its end; its exit code."""
        return self.case.run(*args, retry=False, seconds=START_SECONDS).rc

    def install_silent(self, *switches):
        """Wine starts every program elevated, as an administrator's "Run as administrator"
        would; the installer is started as a signed-in user starts it, with the linked limited
        token. Its exit code."""
        return self.run(self.auto.exe, "as-user", self.setup_win, "/S", *switches)

    def start_setup(self, *args):
        """The installer (or kpv-auto as-user starting it) in the background."""
        return self.case.start(*args, name="setup")

    @staticmethod
    def setup_exit_code(process):
        try:
            return process.wait(START_SECONDS)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the installer still runs after {START_SECONDS}s") from None

    def wait_uninstalled(self):
        """The uninstaller copies itself to the temporary folder and returns at once; the copy
        does the work. Waits for it and for every other process of the prefix."""
        uninstaller = self.install_dir / "uninstall.exe"
        deadline = time.monotonic() + START_SECONDS
        while uninstaller.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        subprocess.run(["wineserver", "-w"], env=self.case.env, timeout=START_SECONDS, check=False)

    def uninstall_silent(self, *switches):
        self.run(self.install_dir / "uninstall.exe", "/S", *switches)
        self.wait_uninstalled()

    def start_client(self, windows_exe):
        return self.case.start(windows_exe, name="client")

    def uninstall_entry(self):
        """Every value of the uninstall entry as {name: (type, data)}; empty when it is missing."""
        result = self.case.run("reg", "query", UNINSTALL_KEY, name="reg")
        values = {}
        if result.rc != 0:
            return values
        for line in result.lines():
            parts = line.split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
        return values

    def uninstall_entry_exists(self):
        return self.case.run("reg", "query", UNINSTALL_KEY, name="reg", seconds=60,
                             retry=False).rc == 0

    def install_stamp(self):
        """The change times and sizes of the installed files: any write changes them."""
        return sorted((p.name, p.stat().st_ctime_ns, p.stat().st_size)
                      for p in self.install_dir.iterdir())

    def expect_installed(self):
        """Files, shortcuts and the Apps entry of a complete install."""
        exe = self.install_dir / "kopiavakt.exe"
        check = self.install_dir / "kopiavakt-check.exe"
        uninstaller = self.install_dir / "uninstall.exe"
        assert exe.is_file() and check.is_file() and uninstaller.is_file(), "installed files"
        assert exe.read_bytes() == self.client_exe.read_bytes(), "the installed exe differs"
        assert self.start_link.is_file(), f"missing: {self.start_link}"
        link = self.must("shortcut", self.start_link)
        assert link.fact("target") == self.install_win + "\\kopiavakt.exe", "shortcut target"
        assert link.fact("workdir") == self.install_win, "Start-menu shortcut folder"
        assert link.fact("icon") == self.install_win + "\\kopiavakt.exe,0", "shortcut icon"
        entry = self.uninstall_entry()
        quoted = f'"{self.install_win}\\uninstall.exe"'
        for name, wanted in (("DisplayName", ("REG_SZ", "Kopiavakt")),
                             ("DisplayVersion", ("REG_SZ", self.version)),
                             ("InstallLocation", ("REG_SZ", self.install_win)),
                             ("UninstallString", ("REG_SZ", quoted)),
                             ("QuietUninstallString", ("REG_SZ", quoted + " /S")),
                             ("DisplayIcon", ("REG_SZ", self.install_win + "\\kopiavakt.exe,0")),
                             ("NoModify", ("REG_DWORD", "0x1")),
                             ("NoRepair", ("REG_DWORD", "0x1"))):
            assert entry.get(name) == wanted, name
        publisher = entry.get("Publisher", ("", ""))
        assert publisher[0] == "REG_SZ" and publisher[1], "Publisher"
        # Estimated size in KB: the exes and the uninstaller, give or take rounding.
        kb = int(entry.get("EstimatedSize", ("", "0"))[1], 0)
        actual = sum(f.stat().st_size for f in (exe, check, uninstaller)) // 1024
        assert actual - 2 <= kb <= actual + 2, f"EstimatedSize {kb} KB, files {actual} KB"

    def expect_client_window(self, dpi, widths):
        """Starts the installed exe as its shortcut does and checks its main window; leaves it
        running."""
        target = self.must("shortcut", self.start_link).fact("target")
        self.start_client(target)
        window = self.must("main-window", "--timeout", START_TIMEOUT_MS)
        assert window.fact("dpi") == str(dpi), "the window's DPI"
        assert window.fact("columns") == widths, "list column widths"
        # Wine 8 reports the same DPI awareness for every other process's window, so the
        # manifest's awareness is checked in its text (install-silent), not here. Common
        # Controls 6, from the side-by-side store, as the manifest asks.
        comctl32 = window.fact("comctl32")
        assert re.search(r"winsxs\\.*common-controls.*6\.0", comctl32, re.IGNORECASE), \
            f"comctl32 version 6 not loaded: {comctl32}"


@pytest.fixture
def installation(wine_case, release):
    # No warm-up start here (as the GUI cases have): several cases change settings of the
    # prefix, such as its DPI, that the desktop reads only when it starts. The waits that span
    # a start allow for a loaded machine instead.
    return Installation(wine_case, release)
