#!/usr/bin/env python3
"""Builds the per-machine package kopiavakt-<version>.msi with Debian's wixl (msitools).

    build_msi.py --version 1.0.0 --publisher NAME --client-exe kopiavakt.exe
                 --check-exe kopiavakt-check.exe --icon kopiavakt.ico --epoch SECONDS
                 --out kopiavakt-1.0.0.msi [--sign-command COMMAND]

The same inputs give the same bytes. wixl alone would not: it draws a fresh package code and
stamps the summary information with the time of the build, and its cabinet keeps each file's
modification time. So the files are packed from copies dated --epoch, the product code comes
from the version and the package code from everything packed (both name-based UUIDs), and the
two summary-information times are set to --epoch afterwards.

wixl has no element for a shortcut's properties: the AppUserModelID of the Start-menu shortcut
goes into the MsiShortcutProperty table with msibuild. With --sign-command the finished package
is signed in place by that command (scripts/sign-file.sh); a signature holds its own time.
"""

import argparse
import hashlib
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import uuid

HERE = pathlib.Path(__file__).resolve().parent
# The namespace of every name-based UUID of the package; never change it (the product codes of
# released versions come from it).
NAMESPACE = uuid.UUID("3B0F6C2E-61A4-4F38-9D3E-6A0C1F5B7E20")
# System.AppUserModel.ID
APP_USER_MODEL_ID_KEY = "{9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3}, 5"
FILETIME_EPOCH_OFFSET = 11644473600  # seconds from 1601-01-01 to 1970-01-01
VT_FILETIME = 64


def product_code(version):
    """Every version its own product code (a major upgrade), the same one in every build."""
    return str(uuid.uuid5(NAMESPACE, f"Kopiavakt product {version}")).upper()


def package_code(version, files):
    digest = hashlib.sha256(version.encode())
    for path in files:
        digest.update(pathlib.Path(path).read_bytes())
    return str(uuid.uuid5(NAMESPACE, "Kopiavakt package " + digest.hexdigest())).upper()


def run(args, cwd=None):
    result = subprocess.run([str(a) for a in args], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, cwd=cwd)
    if result.returncode != 0:
        sys.stderr.write(result.stdout.decode(errors="replace"))
        raise SystemExit(f"build_msi: {args[0]} failed")
    return result.stdout.decode(errors="replace")


def pin_summary_times(path, epoch, built_at):
    """Replaces the summary information's two FILETIMEs (created, last saved), which wixl takes
    from the clock, by epoch. They are found as typed values (VT_FILETIME) within a day of the
    build's own time; anything else found would be a fault of this script, so exactly two must
    match."""
    data = bytearray(path.read_bytes())
    pinned = struct.pack("<Q", (epoch + FILETIME_EPOCH_OFFSET) * 10000000)
    low = (built_at - 86400 + FILETIME_EPOCH_OFFSET) * 10000000
    high = (built_at + 86400 + FILETIME_EPOCH_OFFSET) * 10000000
    marker = struct.pack("<I", VT_FILETIME)
    found = []
    at = data.find(marker)
    while at != -1:
        (value,) = struct.unpack_from("<Q", data, at + 4) if at + 12 <= len(data) else (0,)
        if low <= value <= high:
            found.append(at + 4)
        at = data.find(marker, at + 1)
    if len(found) != 2:
        raise SystemExit(f"build_msi: found {len(found)} summary times in {path}, not 2")
    for offset in found:
        data[offset:offset + 8] = pinned
    path.write_bytes(bytes(data))


def add_shortcut_property(path, app_user_model_id):
    run(["msibuild", path, "-q",
         "CREATE TABLE `MsiShortcutProperty` (`MsiShortcutProperty` CHAR(72) NOT NULL, "
         "`Shortcut_` CHAR(72) NOT NULL, `PropertyKey` CHAR(0) NOT NULL, "
         "`PropVariantValue` CHAR(0) NOT NULL PRIMARY KEY `MsiShortcutProperty`)"])
    run(["msibuild", path, "-q",
         "INSERT INTO `MsiShortcutProperty` (`MsiShortcutProperty`, `Shortcut_`, "
         "`PropertyKey`, `PropVariantValue`) VALUES ('MenuShortcutAppId', 'MenuShortcut', "
         f"'{APP_USER_MODEL_ID_KEY}', '{app_user_model_id}')"])


def main():
    parser = argparse.ArgumentParser()
    for name in ("version", "publisher", "app-user-model-id", "client-exe", "check-exe", "icon", "out"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--epoch", type=int, required=True)
    parser.add_argument("--sign-command", default="")
    options = parser.parse_args()

    out = pathlib.Path(options.out).resolve()
    with tempfile.TemporaryDirectory(prefix="kopiavakt-msi.") as folder:
        stage = pathlib.Path(folder)
        staged = {}
        for key, source, name in (("ClientExe", options.client_exe, "kopiavakt.exe"),
                                  ("CheckExe", options.check_exe, "kopiavakt-check.exe"),
                                  ("Icon", options.icon, "kopiavakt.ico")):
            target = stage / name
            shutil.copyfile(source, target)
            target.chmod(0o644)
            os.utime(target, (options.epoch, options.epoch))
            staged[key] = target
        # wixl finds sources relative to the .wxs: it is packed from beside them, by bare names.
        wxs = stage / "kopiavakt.wxs"
        shutil.copyfile(HERE / "kopiavakt.wxs", wxs)
        code = package_code(options.version, [wxs, *staged.values()])
        built = stage / "kopiavakt.msi"
        built_at = int(time.time())
        defines = {"Version": options.version, "Publisher": options.publisher,
                   "ProductCode": product_code(options.version), "PackageCode": code,
                   **{key: path.name for key, path in staged.items()}}
        args = ["wixl", "-a", "x64", "-o", built.name]
        for name, value in defines.items():
            args += ["-D", f"{name}={value}"]
        run([*args, wxs.name], cwd=stage)
        # wixl leaves the package code (and the template's language) to chance: set them.
        run(["msibuild", built, "-s", f"Kopiavakt {options.version}", options.publisher,
             "x64;1053", "{" + code + "}"])
        add_shortcut_property(built, options.app_user_model_id)
        pin_summary_times(built, options.epoch, built_at)
        if options.sign_command:
            run([options.sign_command, built])
        shutil.copyfile(built, out)
    print(f"build_msi: {out.name} (product code {{{product_code(options.version)}}})")


if __name__ == "__main__":
    main()
