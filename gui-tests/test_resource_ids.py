"""The names the GUI tests give the client's ids: resource_ids.py reads the shared header."""

import re

import pytest

import resource_ids as ids


def test_header_names_and_expressions():
    """Every #define of the header is read with its number; the C forms an id may take later
    (hexadecimal, suffixes, names defined before, Win32 bases, operators, comments and line
    continuations) come out as the compiler reads them; a name not defined before fails."""
    header = ids.HEADER.read_text(encoding="utf-8")
    defined = re.findall(r"^#define (\w+) (\d+)$", header, re.MULTILINE)
    assert defined and {name: int(value) for name, value in defined} == ids.read_ids(header)
    assert ids.IDM_REMOVE_SELECTED == 40023 and ids.KPV_TRAY_CALLBACK == 1084

    assert ids.read_ids("#define A 0x10u /* sixteen */\n"
                        "#define B (A + 2) // eighteen\n"
                        "#define C (WM_USER + 60)\n"
                        "#define D ~0 & 0xFF\n"
                        "#define E -7 / 2\n"
                        "#define F (B << 1) | \\\n    1\n"
                        "#pragma once\n#define GUARD\n") == \
        {"A": 16, "B": 18, "C": 1084, "D": 255, "E": -3, "F": 37}
    with pytest.raises(ValueError, match="Y, which is not defined"):
        ids.read_ids("#define X Y\n")
