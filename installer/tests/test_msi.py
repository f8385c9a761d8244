"""The per-machine package as an administrator deploys it: a silent install into Program Files
with the all-users shortcut and start at login, a major upgrade from an older version that keeps
a user's data, the installed client starting, a silent uninstall that keeps the data, and the
per-user installer and the MSI each refusing to install over the other."""

import subprocess

import pytest

from conftest import ROOT, SETUP_CAPTION
from wine_harness import windows_path

UPGRADE_CODE = "{6F1D7B52-3C8E-4E4B-9A51-0B5C2F1E7D11}"
RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
ARP_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
EMPTY_LIST = b"\x04\x00\x00\x00\x00\x00\x00\x00"


def msi_table(package, table):
    return subprocess.run(["msiinfo", "export", str(package), table], capture_output=True,
                          text=True, check=True).stdout


class Machine:
    """One case's machine-wide install."""

    def __init__(self, installation, release):
        self.i = installation
        self.case = installation.case
        self.release = release
        drive = self.case.prefix / "drive_c"
        self.program_dir = drive / "Program Files" / "Kopiavakt"
        self.program_win = r"C:\Program Files\Kopiavakt"
        self.link = drive / "ProgramData/Microsoft/Windows/Start Menu/Programs/Kopiavakt.lnk"

    def msiexec(self, *args):
        return self.i.run("msiexec", *args, "/qn")

    def older_package(self, version):
        """The same programs packed as an older version."""
        out = self.case.folder / f"kopiavakt-{version}.msi"
        subprocess.run(["/usr/bin/python3", str(ROOT / "installer/msi/build_msi.py"),
                        "--version", version, "--publisher", "Driftgruppen",
                        "--app-user-model-id", "Kopiavakt.Kopiavakt",
                        "--client-exe", str(self.release["client"]),
                        "--check-exe", str(self.release["check"]),
                        "--icon", str(ROOT / "app/resources/kopiavakt.ico"),
                        "--epoch", "946684800", "--out", str(out)],
                       check=True, stdout=subprocess.DEVNULL)
        return out

    def reg_values(self, key):
        result = self.case.run("reg", "query", key, "/s", name="reg", retry=False)
        return result.out if result.rc == 0 else ""

    def installed_versions(self):
        """DisplayVersion of every uninstall entry named Kopiavakt under HKLM."""
        versions, name = [], None
        for line in self.reg_values(ARP_KEY).split("\n"):
            parts = line.split(None, 2)
            if line.startswith("HKEY_"):
                name = None
            elif len(parts) == 3 and parts[0] == "DisplayName":
                name = parts[2]
            elif len(parts) == 3 and parts[0] == "DisplayVersion" and name == "Kopiavakt":
                versions.append(parts[2])
        return versions

    def expect_installed(self, version):
        assert (self.program_dir / "kopiavakt.exe").read_bytes() == \
            self.release["client"].read_bytes(), "installed kopiavakt.exe"
        assert (self.program_dir / "kopiavakt-check.exe").read_bytes() == \
            self.release["check"].read_bytes(), "installed kopiavakt-check.exe"
        link = self.i.must("shortcut", self.link)
        assert link.fact("target") == self.program_win + "\\kopiavakt.exe", "shortcut target"
        assert link.fact("workdir").rstrip("\\") == self.program_win, "shortcut folder"
        run = self.reg_values(RUN_KEY)
        assert f'"{self.program_win}\\kopiavakt.exe"' in run, f"Run value: {run}"
        assert self.installed_versions() == [version], "uninstall entries"


@pytest.fixture
def machine(installation, release):
    return Machine(installation, release)


def test_msi_install_upgrade_uninstall(machine):
    m, i = machine, machine.i
    table = msi_table(m.release["msi"], "MsiShortcutProperty")
    assert "MenuShortcut\t{9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3}, 5\tKopiavakt.Kopiavakt" in \
        table, "the shortcut's AppUserModelID"

    assert m.msiexec("/i", windows_path(m.older_package("0.9.0"))) == 0, "older install"
    m.expect_installed("0.9.0")
    i.data_dir.mkdir(parents=True)
    (i.data_dir / "account_list.bin").write_bytes(EMPTY_LIST)

    assert m.msiexec("/i", windows_path(m.release["msi"])) == 0, "upgrade"
    m.expect_installed(i.version)
    assert (i.data_dir / "account_list.bin").read_bytes() == EMPTY_LIST, "data after upgrade"
    # The installed client starts as the shortcut starts it.
    i.start_client(m.program_win + "\\kopiavakt.exe")
    i.must("main-window")
    i.must("exit-client")

    assert m.msiexec("/x", windows_path(m.release["msi"])) == 0, "uninstall"
    assert not m.program_dir.exists(), "program folder after uninstall"
    assert not m.link.exists(), "shortcut after uninstall"
    assert "Kopiavakt" not in m.reg_values(RUN_KEY), "Run value after uninstall"
    assert m.installed_versions() == [], "uninstall entry after uninstall"
    assert (i.data_dir / "account_list.bin").read_bytes() == EMPTY_LIST, "data after uninstall"


def test_msi_and_setup_detect_each_other(machine):
    m, i = machine, machine.i
    assert i.install_silent() == 0, "per-user install"
    # A launch condition fails the silent install (1603, of which a Linux exit status keeps the
    # low byte) before anything is installed. Wine logs no text of it: the table has it.
    assert m.msiexec("/i", windows_path(m.release["msi"])) == 1603 % 256, \
        "MSI over a per-user install"
    assert not m.program_dir.exists() and m.installed_versions() == [], "MSI installed anyway"
    conditions = msi_table(m.release["msi"], "LaunchCondition")
    assert "Installed OR NOT KPV_PER_USER_INSTALL\tKopiavakt är redan installerat för den här " \
        "användaren (i [KPV_PER_USER_INSTALL])." in conditions, "the launch condition"

    i.uninstall_silent()
    assert m.msiexec("/i", windows_path(m.release["msi"])) == 0, "MSI install"
    assert i.install_silent() == 5, "per-user install over the MSI"
    assert not i.install_dir.exists(), "per-user files over the MSI"
    # Interactively it says so, in one box.
    setup = i.start_setup(i.auto.exe, "as-user", i.setup_win)
    i.must("box", "--caption", SETUP_CAPTION, "--contains",
           "redan installerat för alla användare", "--press", "ok")
    assert i.setup_exit_code(setup) == 5, "interactive install over the MSI"
