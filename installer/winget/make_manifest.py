#!/usr/bin/env python3
"""Writes the winget manifest of a release: the version, installer and default-locale files of
manifest schema 1.6.0, for the per-machine MSI and the per-user setup.exe.

    make_manifest.py --version 1.0.0 --publisher NAME --msi FILE --product-code {GUID}
                     --setup FILE --url-base URL --out FOLDER

URL is where the release's files will be downloadable (the installers' names are appended);
the manifest's checksums are those of the files given, so it belongs to exactly those bytes.
The files go to FOLDER/<Publisher>.Kopiavakt.*.yaml, ready for a winget source or a pull
request to one.
"""

import argparse
import hashlib
import pathlib
import re

MANIFEST_VERSION = "1.6.0"
UPGRADE_CODE = "{6F1D7B52-3C8E-4E4B-9A51-0B5C2F1E7D11}"  # installer/msi/kopiavakt.wxs
SCHEMA = "# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.{version}.schema.json"


def quoted(text):
    """A YAML single-quoted scalar: nothing in it is read as syntax."""
    return "'" + str(text).replace("'", "''") + "'"


def sha256(path):
    return hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest().upper()


def document(kind, lines):
    return "\n".join([SCHEMA.format(kind=kind, version=MANIFEST_VERSION), *lines,
                      f"ManifestType: {kind}", f"ManifestVersion: {MANIFEST_VERSION}", ""])


def main():
    parser = argparse.ArgumentParser()
    for name in ("version", "publisher", "msi", "product-code", "setup", "url-base", "out"):
        parser.add_argument("--" + name, required=True)
    options = parser.parse_args()

    # Publisher.Package, both without spaces or dots, as winget's identifiers are.
    publisher_id = re.sub(r"[^A-Za-z0-9-]", "", options.publisher) or "Kopiavakt"
    identifier = f"{publisher_id}.Kopiavakt"
    base = options.url_base.rstrip("/")
    msi, setup = pathlib.Path(options.msi), pathlib.Path(options.setup)
    head = [f"PackageIdentifier: {quoted(identifier)}",
            f"PackageVersion: {quoted(options.version)}"]

    files = {
        "": document("version", [*head, "DefaultLocale: sv-SE"]),
        ".installer": document("installer", [
            *head,
            "MinimumOSVersion: 10.0.0.0",
            "Installers:",
            "- Architecture: x64",
            "  InstallerType: msi",
            "  Scope: machine",
            f"  InstallerUrl: {quoted(base + '/' + msi.name)}",
            f"  InstallerSha256: {sha256(msi)}",
            f"  ProductCode: {quoted(options.product_code)}",
            "  UpgradeBehavior: install",
            "  AppsAndFeaturesEntries:",
            f"  - UpgradeCode: {quoted(UPGRADE_CODE)}",
            "- Architecture: x64",
            "  InstallerType: nullsoft",
            "  Scope: user",
            f"  InstallerUrl: {quoted(base + '/' + setup.name)}",
            f"  InstallerSha256: {sha256(setup)}",
            "  UpgradeBehavior: install",
        ]),
        ".locale.sv-SE": document("defaultLocale", [
            *head,
            "PackageLocale: sv-SE",
            f"Publisher: {quoted(options.publisher)}",
            "PackageName: Kopiavakt",
            "License: Proprietär",
            "ShortDescription: Bevakar säkerhetskopiornas status och varnar när en kopia är "
            "föråldrad.",
            "Moniker: kopiavakt",
            "Tags:",
            "- backup",
            "- monitoring",
        ]),
    }
    out = pathlib.Path(options.out)
    out.mkdir(parents=True, exist_ok=True)
    for suffix, text in files.items():
        (out / f"{identifier}{suffix}.yaml").write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
