"""The installer, the uninstaller and the portable zip as a user meets them: silent and interactive
installs, upgrades over a running client, uninstalls that keep the user's data, the installed exe
starting and showing its window (also at 144 DPI)."""

import hashlib
import os
import zipfile

from conftest import COLUMNS_96_DPI, SETUP_CAPTION
from wine_harness import START_TIMEOUT_MS, wait_until

SETTINGS_3_DAYS = b"\x04\x00\x00\x00\x03\x00\x00\x00"


def test_install_silent(installation):
    i = installation
    assert i.install_silent() == 0, "silent install exit code"
    i.expect_installed()
    assert i.startup_link.is_file(), f"missing: {i.startup_link}"
    assert i.must("shortcut", i.startup_link).fact("target") == \
        i.install_win + "\\kopiavakt.exe", "Startup shortcut target"

    version = i.must("version", i.install_win + "\\kopiavakt.exe")
    assert version.fact("file-version") == i.version + ".0", "file version"
    assert version.fact("product-version") == i.version + ".0", "product version"
    lines = version.lines()
    assert "string ProductName Kopiavakt" in lines, "product name"
    assert f"string ProductVersion {i.version}" in lines, "product version text"
    assert "string FileDescription Kopiavakt" in lines, "description"
    assert any(line.startswith("string CompanyName ") and len(line) > 19 for line in lines), \
        "no CompanyName"
    manifest = i.must("manifest", i.install_win + "\\kopiavakt.exe").out
    for wanted in ('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                   'level="asInvoker"', "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                   ">true/pm</dpiAware>", ">PerMonitorV2, PerMonitor</dpiAwareness>",
                   f'version="{i.version}.0"'):
        assert wanted in manifest, f"manifest lacks {wanted}"

    i.expect_client_window(96, COLUMNS_96_DPI)
    assert i.must("exit-client").fact("client-ended") == "0", "client exit code"


def test_dpi_144(installation):
    i = installation
    assert i.run("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t",
                 "REG_DWORD", "/d", "144", "/f") == 0, "cannot set 144 DPI"
    assert i.install_silent() == 0, "silent install exit code"
    # Every column 1.5 times as wide, rounded as MulDiv rounds.
    i.expect_client_window(144, "210 188 128 143 180 210 210 150")
    i.must("exit-client")


def test_upgrade_running_silent(installation):
    i = installation
    assert i.install_silent() == 0, "first install"
    i.expect_client_window(96, COLUMNS_96_DPI)
    # Hidden in the tray it still counts as running.
    i.must("hide-client")
    before = i.install_stamp()
    assert i.install_silent() == 3, "silent install over a running client"
    assert i.install_stamp() == before, "installed files after the refused install"
    assert i.run(i.install_dir / "uninstall.exe", "/S", f"_?={i.install_win}") == 3, \
        "silent uninstall of a running client"
    assert i.install_stamp() == before, "installed files after the refused uninstall"
    assert i.start_link.is_file(), f"missing: {i.start_link}"
    assert i.uninstall_entry_exists(), "the refused uninstall removed the Apps entry"
    # The client was left alone and still runs; once it ends the upgrade goes through.
    i.must("exit-client")
    assert i.install_silent() == 0, "silent install after the client ended"
    i.expect_installed()


def test_lock_held(installation):
    i = installation
    assert i.install_silent() == 0, "first install"
    # A client still starting holds its lock but has no window yet.
    i.data_dir.mkdir(parents=True, exist_ok=True)
    holder = i.case.start(i.auto.exe, "hold-lock", i.data_win + "\\file_mutex", "--until",
                          i.data_win + "\\stop", "--timeout", 60000, name="hold")
    wait_until(lambda: b"holding" in holder.out_path.read_bytes(), 20,
               "could not hold the lock file")
    assert i.install_silent() == 3, "silent install while the lock is held"
    (i.data_dir / "stop").touch()
    assert holder.wait(60) == 0, "the lock holder ended with an error"
    (i.data_dir / "stop").unlink()
    assert i.install_silent() == 0, "silent install once the lock is free (the file stays behind)"
    assert (i.data_dir / "file_mutex").is_file()


def test_upgrade_interactive(installation):
    i = installation
    assert i.install_silent() == 0, "first install"
    i.expect_client_window(96, COLUMNS_96_DPI)
    setup = i.start_setup(i.auto.exe, "as-user", i.setup_win)
    # Next, Install: then the installer finds the client and asks.
    i.must("box", "--caption", SETUP_CAPTION, "--contains", "Kopiavakt körs", "--next", "--press",
           "none", "--timeout", START_TIMEOUT_MS)
    # The user closes the client from its tray menu and retries.
    i.must("exit-client")
    i.must("box", "--caption", SETUP_CAPTION, "--contains", "Kopiavakt körs", "--press", "retry")
    i.must("finish", "--caption", SETUP_CAPTION, "--run", "yes", "--timeout", START_TIMEOUT_MS)
    assert i.setup_exit_code(setup) == 0, "interactive installer exit code"
    i.expect_installed()
    # "Starta Kopiavakt nu" on the finish page started the new client.
    i.must("main-window", "--timeout", START_TIMEOUT_MS)
    i.must("exit-client")


def test_keep_startup_choice(installation):
    i = installation
    assert i.install_silent() == 0, "first install"
    assert i.startup_link.is_file()
    # The user takes Kopiavakt out of the Startup folder; an upgrade leaves it out.
    i.startup_link.unlink()
    assert i.install_silent() == 0, "upgrade"
    assert not i.startup_link.exists(), "the upgrade put the Startup shortcut back"
    assert i.start_link.is_file()


def data_digests(folder):
    return {p.name: hashlib.sha256(p.read_bytes()).hexdigest() for p in folder.iterdir()}


def test_uninstall_keeps_data(installation):
    i = installation
    assert i.install_silent() == 0, "install"
    i.expect_client_window(96, COLUMNS_96_DPI)
    i.must("exit-client")
    # The user's data, as the client leaves it, plus files it would keep there.
    assert (i.data_dir / "wnd.bin").is_file() and (i.data_dir / "file_mutex").is_file()
    (i.data_dir / "account_list.bin").write_bytes(os.urandom(300))
    (i.data_dir / "settings.bin").write_bytes(SETTINGS_3_DAYS)
    before = data_digests(i.data_dir)
    i.uninstall_silent()
    assert not i.install_dir.exists(), "the install folder is still there"
    assert not i.start_link.exists() and not i.startup_link.exists(), "shortcuts left behind"
    assert not i.uninstall_entry_exists(), "the Apps entry is still there"
    assert data_digests(i.data_dir) == before, "the data folder"
    # Installing again finds the data where it was.
    assert i.install_silent() == 0, "install after uninstall"
    i.expect_installed()


def test_portable_zip(installation):
    i = installation
    folder = f"Kopiavakt-{i.version}/"
    archive = zipfile.ZipFile(i.zip)
    files = sorted(n for n in archive.namelist() if not n.endswith("/"))
    assert files == sorted(folder + n for n in ("kopiavakt.exe", "kopiavakt-check.exe",
                                                "README.md", "INSTALL.md", "LASMIG.txt")), \
        "files of the zip"
    text = archive.read(folder + "LASMIG.txt")
    assert text.startswith(b"\xef\xbb\xbf") and b"\n" not in text.replace(b"\r\n", b""), \
        "LASMIG.txt is not UTF-8 with CRLF line ends"
    assert i.version.encode() in text, "LASMIG.txt does not name the version"
    unpacked = i.case.prefix / "drive_c" / "portable"
    archive.extractall(unpacked)
    exe = unpacked / folder / "kopiavakt.exe"
    assert exe.read_bytes() == i.client_exe.read_bytes(), "the zip's exe differs from the built one"
    i.start_client(f"C:\\portable\\Kopiavakt-{i.version}\\kopiavakt.exe")
    i.must("main-window", "--timeout", START_TIMEOUT_MS)
    i.must("exit-client")
    assert not i.install_dir.exists()


def test_elevated_start(installation):
    """Started elevated (Wine's own start): silent mode stops with 4 unless /ELEVATED is given;
    interactively it asks, No ends it, Yes installs but starts no client, even with the finish
    page's hidden "start now" box ticked."""
    i = installation
    assert i.run(i.setup, "/S") == 4, "silent elevated install"
    assert not i.install_dir.exists()
    setup = i.start_setup(i.setup)
    i.must("box", "--caption", SETUP_CAPTION, "--contains", "körs som administratör", "--press",
           "no", "--timeout", START_TIMEOUT_MS)
    assert i.setup_exit_code(setup) == 1, "elevated install declined"
    assert not i.install_dir.exists()
    assert not i.uninstall_entry_exists(), "the declined install made an Apps entry"
    setup = i.start_setup(i.setup)
    i.must("box", "--caption", SETUP_CAPTION, "--contains", "körs som administratör", "--press",
           "yes", "--timeout", START_TIMEOUT_MS)
    i.must("finish", "--caption", SETUP_CAPTION, "--run", "yes", "--next",
           "--timeout", START_TIMEOUT_MS)
    assert i.setup_exit_code(setup) == 0, "elevated install accepted"
    i.expect_installed()
    assert i.auto("main-window", "--timeout", 5000).rc != 0, \
        "the elevated installer started the client"
    assert i.run(i.setup, "/S", "/ELEVATED") == 0, "silent elevated install with /ELEVATED"
    i.expect_installed()


def make_data(i):
    """Data in KPV_wd, with a hard link to the account list outside it that shows whether the
    file was overwritten before it was deleted."""
    i.data_dir.mkdir(parents=True, exist_ok=True)
    accounts = i.data_dir / "account_list.bin"
    accounts.write_bytes(os.urandom(10000))
    (i.data_dir / "settings.bin").write_bytes(SETTINGS_3_DAYS)
    link = i.case.folder / "accounts.link"
    link.unlink(missing_ok=True)
    os.link(accounts, link)
    return link


def expect_wiped(i, link, how):
    assert not i.data_dir.exists(), f"still there: {i.data_dir} ({how})"
    data = link.read_bytes()
    assert data.count(0) == len(data), f"account list bytes left ({how})"
    assert len(data) == 10000, f"account list size ({how})"


def test_uninstall_removes_data(installation):
    """The uninstaller's "remove the data" box is unticked by default; ticked, or /REMOVEDATA in
    silent mode, it overwrites and deletes KPV_wd."""
    i = installation
    box = "Ta även bort kontolistan och inställningarna"
    assert i.install_silent() == 0, "install"
    link = make_data(i)
    i.run(i.install_dir / "uninstall.exe")
    i.must("click-through", "--caption", "Kopiavakt", "--timeout", START_TIMEOUT_MS)
    i.wait_uninstalled()
    assert not i.install_dir.exists()
    assert (i.data_dir / "account_list.bin").read_bytes() == link.read_bytes(), "data changed"

    assert i.install_silent() == 0, "second install"
    i.run(i.install_dir / "uninstall.exe")
    i.must("click-through", "--caption", "Kopiavakt", "--tick", box, "--timeout", START_TIMEOUT_MS)
    i.wait_uninstalled()
    expect_wiped(i, link, "ticked")

    assert i.install_silent() == 0, "third install"
    link = make_data(i)
    i.uninstall_silent("/REMOVEDATA")
    assert not i.install_dir.exists()
    expect_wiped(i, link, "/REMOVEDATA")

