#!/usr/bin/python3
"""Checks that the product's includes run one way: each folder includes only itself and the
layers below it (the table, bottom-up, as in docs/architecture.md), no file includes itself
through a chain of others, and only platform files (*_win32.*) and the Win32 shell include
Windows headers. Prints every offending include and exits 1; prints nothing and exits
0 when the graph is clean."""
import pathlib
import re
import sys

# Folder: the folders it may include besides itself.
LAYERS = {
    "core": [],
    "crypto": ["core"],
    "net": ["core"],
    "accounts": ["core"],
    "status": ["core", "crypto", "net", "accounts"],
    "alerts": ["core", "crypto", "net", "accounts", "status"],
    "app": ["core", "crypto", "net", "accounts", "status", "alerts"],
    "check": ["core", "crypto", "net", "accounts", "status"],
    "app/win32": ["core", "crypto", "net", "accounts", "status", "alerts", "app"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
# Windows headers belong to the platform files (*_win32.*) and the Win32 shell only.
WINDOWS_HEADER = re.compile(r'^\s*#\s*include\s+<(windows|winsock2|ws2tcpip|shlobj|commctrl)\.h>',
                            re.MULTILINE | re.IGNORECASE)


def folder_of(path):
    """The layer a repository path belongs to: its longest matching folder in LAYERS."""
    parent = str(pathlib.PurePosixPath(path).parent)
    while parent not in LAYERS and "/" in parent:
        parent = parent.rsplit("/", 1)[0]
    return parent if parent in LAYERS else None


def main(root):
    root = pathlib.Path(root)
    edges = {}
    problems = []
    for folder in LAYERS:
        for source in sorted((root / folder).glob("*")):
            if source.suffix not in (".h", ".cpp"):
                continue
            name = source.relative_to(root).as_posix()
            edges[name] = []
            text = source.read_text(encoding="utf-8")
            if folder != "app/win32" and "_win32" not in source.stem and WINDOWS_HEADER.search(text):
                problems.append(f"{name}: portable code includes a Windows header")
            for target in INCLUDE.findall(text):
                if not (root / target).is_file():
                    continue  # a generated header (version.h) or one beside the file
                edges[name].append(target)
                to = folder_of(target)
                if to is None or (to != folder and to not in LAYERS[folder]):
                    problems.append(f"{name}: includes {target} ({folder} may not use {to})")

    # Cycles among the files: a depth-first walk that meets a file still on its path.
    state = {}

    def walk(name, path):
        state[name] = "open"
        for target in edges.get(name, []):
            if state.get(target) == "open":
                problems.append("include cycle: " + " -> ".join(path[path.index(target):] + [target]))
            elif target not in state:
                walk(target, path + [target])
        state[name] = "done"

    for name in edges:
        if name not in state:
            walk(name, [name])

    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
