"""Tests of scripts/release.sh on the committed HEAD (uncommitted changes are not in a release):
two releases of one commit, built from temporary folders of different path lengths at different
times, are byte for byte the same (installer, MSI, zip, policy template, winget manifest); the
winget manifest reads as YAML with the fields winget requires and the release's checksums and
product code, and the policy template passes its check; a release signed with a throw-away self-signed certificate
carries valid Authenticode signatures on the installer, the MSI and every exe in it and in the
zip (the uninstaller too), which without their signatures are the unsigned exe; signing with a password
file works and a wrong password fails, leaving the file as it was.

Each release is built once per run (module fixtures). No network, so no time-stamp server.
Files go to KPV_RELEASE_TESTS_OUT (default build/release-tests).
/usr/bin/python3 -m pytest scripts/tests [-k CASE]
"""

import filecmp
import hashlib
import os
import pathlib
import secrets
import shutil
import subprocess
import zipfile

import pytest
import yaml

ROOT = pathlib.Path(__file__).resolve().parents[2]


class Release:
    """One release folder: its installer, zip and checksums, and where they are unpacked."""

    def __init__(self, folder):
        self.folder = folder
        self.setup = only(folder.glob("*-setup.exe"))
        self.zip = only(folder.glob("*.zip"))
        self.msi = only(folder.glob("*.msi"))
        self.sums = folder / "SHA256SUMS"
        self.unpacked = folder / "unpacked"

    def files(self):
        return [self.setup, self.msi, self.zip, self.sums,
                *sorted((self.folder / "admx").rglob("*.adm?")),
                *sorted((self.folder / "winget").glob("*.yaml"))]

    def unpack(self):
        """The installer's payload and uninstaller into unpacked/setup, the zip into
        unpacked/zip."""
        if not self.unpacked.exists():
            run(["7zz", "x", "-y", f"-o{self.unpacked / 'setup'}", str(self.setup)])
            with zipfile.ZipFile(self.zip) as archive:
                archive.extractall(self.unpacked / "zip")
        return self.unpacked


def only(paths):
    paths = list(paths)
    assert len(paths) == 1, f"expected one file, found {paths}"
    return paths[0]


def run(command, **kwargs):
    """Runs a command that must succeed; its output goes into the failure message."""
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            check=False, **kwargs)
    if result.returncode != 0:
        pytest.fail(f"{' '.join(map(str, command))} failed ({result.returncode}):\n"
                    f"{result.stdout[-4000:]}", pytrace=False)
    return result.stdout


@pytest.fixture(scope="module")
def out():
    folder = pathlib.Path(os.environ.get("KPV_RELEASE_TESTS_OUT",
                                         ROOT / "build" / "release-tests")).resolve()
    subprocess.run(["rm", "-rf", str(folder)], check=True)
    folder.mkdir(parents=True)
    return folder


def build_release(out, name, temporary, *args, env=None):
    """scripts/release.sh into OUT/NAME, its temporary work folder under TEMPORARY."""
    temporary.mkdir(exist_ok=True)
    environment = dict(os.environ, TMPDIR=str(temporary), **(env or {}))
    log = out / f"{name}.log"
    with log.open("w") as output:
        result = subprocess.run(["bash", "scripts/release.sh", str(out / name), *args], cwd=ROOT,
                                env=environment, stdout=output, stderr=subprocess.STDOUT,
                                check=False)
    if result.returncode != 0:
        tail = "\n".join(log.read_text(errors="replace").splitlines()[-30:])
        pytest.fail(f"the release \"{name}\" failed:\n{tail}", pytrace=False)
    return Release(out / name)


@pytest.fixture(scope="module")
def first(out):
    return build_release(out, "first", out / "tmp")


@pytest.fixture(scope="module")
def second(out, first):  # after first, so the two are built at different times
    return build_release(out, "second", out / "tmp-in-a-longer-folder")


@pytest.fixture(scope="module")
def certificate(out):
    """A throw-away self-signed code-signing certificate: cert.pem, cert.pfx, the password."""
    folder = out / "cert"
    folder.mkdir()
    password = f"throw-away-{secrets.token_hex(8)}"
    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "key.pem",
         "-out", "cert.pem", "-days", "2", "-subj", "/CN=Kopiavakt test signing",
         "-addext", "extendedKeyUsage=codeSigning"], cwd=folder)
    run(["openssl", "pkcs12", "-export", "-inkey", "key.pem", "-in", "cert.pem", "-out",
         "cert.pfx", "-passout", f"pass:{password}"], cwd=folder)
    (folder / "password").write_text(password + "\n")
    return {"folder": folder, "pem": folder / "cert.pem", "pfx": folder / "cert.pfx",
            "password": password, "password_file": folder / "password"}


@pytest.fixture(scope="module")
def signed(out, certificate):
    return build_release(out, "signed", out / "tmp", "--sign", str(certificate["pfx"]),
                         env={"KPV_SIGN_PASSWORD": certificate["password"]})


@pytest.fixture(scope="module")
def verify(certificate):
    """verify(FILE) -> osslsigncode's report, or None when FILE's signature is valid."""
    def check(path):
        result = subprocess.run(["osslsigncode", "verify", "-CAfile", str(certificate["pem"]),
                                 "-in", str(path)], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, check=False)
        ok = result.returncode == 0 and any(
            line.startswith("Signature verification: ok") for line in result.stdout.splitlines())
        return None if ok else result.stdout
    return check


def same(a, b):
    return filecmp.cmp(a, b, shallow=False)


def test_two_builds_of_one_commit_are_identical(first, second):
    names = [path.relative_to(first.folder) for path in first.files()]
    differing = [str(name) for name in names if not same(first.folder / name, second.folder / name)]
    assert not differing, f"differ between two builds of one commit: {differing}"


def test_winget_manifest_and_policy_template(first):
    manifests = {document["ManifestType"]: document for document in (
        yaml.safe_load(path.read_text(encoding="utf-8"))
        for path in sorted((first.folder / "winget").glob("*.yaml")))}
    assert sorted(manifests) == ["defaultLocale", "installer", "version"], "manifest files"
    required = {"version": ["DefaultLocale"],
                "installer": ["Installers"],
                "defaultLocale": ["PackageLocale", "Publisher", "PackageName", "License",
                                  "ShortDescription"]}
    version = manifests["version"]["PackageVersion"]
    for kind, document in manifests.items():
        for field in ["PackageIdentifier", "PackageVersion", "ManifestVersion", *required[kind]]:
            assert document.get(field), f"{kind} manifest lacks {field}"
        assert document["ManifestVersion"] == "1.6.0", f"{kind} manifest schema"
        assert document["PackageIdentifier"] == manifests["version"]["PackageIdentifier"]
        assert document["PackageVersion"] == version, f"{kind} manifest version"
    installers = {entry["InstallerType"]: entry for entry in manifests["installer"]["Installers"]}
    assert sorted(installers) == ["msi", "nullsoft"], "installer types"
    for entry, path, scope in ((installers["msi"], first.msi, "machine"),
                               (installers["nullsoft"], first.setup, "user")):
        assert entry["InstallerSha256"] == hashlib.sha256(path.read_bytes()).hexdigest().upper()
        assert entry["InstallerUrl"].startswith("https://") and \
            entry["InstallerUrl"].endswith("/" + path.name), "installer address"
        assert entry["Architecture"] == "x64" and entry["Scope"] == scope
    properties = dict(line.split("\t", 1) for line in
                      run(["msiinfo", "export", str(first.msi), "Property"]).splitlines()
                      if "\t" in line)
    assert installers["msi"]["ProductCode"] == properties["ProductCode"], "product code"
    assert properties["ProductVersion"] == version, "the MSI's version"
    run(["/usr/bin/python3", str(ROOT / "scripts" / "check-admx.py"), str(first.folder / "admx")])


def test_every_exe_of_a_signed_release_verifies(signed, verify):
    # The installer and the MSI, and the uninstaller and programs packed in the installer and
    # the zip.
    exes = [signed.setup, signed.msi] + sorted(signed.unpack().rglob("*.exe"))
    assert len(exes) >= 5, f"only {len(exes)} exes found: {exes}"
    unsigned = {str(exe.relative_to(signed.folder)): report
                for exe in exes if (report := verify(exe)) is not None}
    assert not unsigned, f"no valid signature: {unsigned}"


def test_signing_changes_nothing_but_the_signature(first, signed):
    exe = signed.unpack() / "setup" / "kopiavakt.exe"
    zipped = list((signed.unpacked / "zip").glob("*/kopiavakt.exe"))
    assert len(zipped) == 1 and same(exe, zipped[0]), \
        "the installer and the zip hold different exes"
    stripped = signed.folder / "unsigned.exe"
    stripped.unlink(missing_ok=True)
    run(["osslsigncode", "remove-signature", "-in", str(exe), "-out", str(stripped)])
    assert same(stripped, first.unpack() / "setup" / "kopiavakt.exe"), \
        "the signed exe without its signature differs from the unsigned build's"


def sign_file(path, certificate, password_file):
    environment = dict(os.environ, KPV_SIGN_CERT=str(certificate["pfx"]),
                       KPV_SIGN_PASSWORD_FILE=str(password_file))
    environment.pop("KPV_SIGN_PASSWORD", None)
    return subprocess.run(["bash", str(ROOT / "scripts" / "sign-file.sh"), str(path)],
                          env=environment, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, check=False)


def test_password_file_signs_and_a_wrong_password_fails_cleanly(first, certificate, verify):
    exe = first.unpack() / "setup" / "kopiavakt.exe"
    folder = certificate["folder"]

    by_file = shutil.copy(exe, folder / "by-file.exe")
    result = sign_file(by_file, certificate, certificate["password_file"])
    assert result.returncode == 0, f"signing with a password file failed:\n{result.stdout}"
    assert verify(by_file) is None, "signing with a password file gave no valid signature"

    wrong = shutil.copy(exe, folder / "wrong.exe")
    wrong_password = folder / "wrong-password"
    wrong_password.write_text("wrong\n")
    result = sign_file(wrong, certificate, wrong_password)
    assert result.returncode != 0, "a wrong password signed"
    assert same(wrong, exe), "a failed signing changed the file"
    left = sorted(path.name for path in folder.glob("wrong.exe.*"))
    assert not left, f"a failed signing left parts behind: {left}"
