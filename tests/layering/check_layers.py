#!/usr/bin/env python3
"""Checks that each layer of the program includes only layers below it.

Reads the quoted #include lines of src/ and server/ and fails, naming the file,
the line and the include, when one reaches a layer at its own level or above.
Usage: check_layers.py <source root>
"""
import os
import re
import sys

# Lowest first. Folders on one line are one level: they may not include each other.
LEVELS = [
    ["session/wire"],
    ["shell/base"],
    ["shell/refs", "shell/contract"],
    ["session", "controls"],
    ["grids"],
    ["filter", "grids/fill"],
    ["monitors", "desktops", "browsers", "interest", "margin", "commissions"],
    ["shell/plugins"],
    ["shell/main"],
    ["app"],
]
# The session server: its own folders and the shared wire library, nothing else.
SERVER_ALLOWED = ("server/", "session/wire/")

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def layer_of(path):
    """(level, folder) of a path relative to src/, None for a folder outside the list."""
    best = None
    for level, folders in enumerate(LEVELS):
        for folder in folders:
            if path == folder or path.startswith(folder + "/"):
                if best is None or len(folder) > len(best[1]):
                    best = (level, folder)
    return best


def sources(folder):
    """Every C++ source and header below folder, in a stable order."""
    for dirpath, _, names in sorted(os.walk(folder)):
        for name in sorted(names):
            if name.endswith((".h", ".cpp")):
                yield os.path.join(dirpath, name)


def check_src(root, faults):
    src = os.path.join(root, "src")
    for full in sources(src):
        rel = os.path.relpath(full, src)
        own = layer_of(os.path.dirname(rel))
        if own is None:
            faults.append(f"src/{rel}: folder is in no layer (add it to {__file__})")
            continue
        for number, line in enumerate(open(full, encoding="utf-8"), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            target = m.group(1)
            if "/" not in target:
                target = os.path.join(os.path.dirname(rel), target)
            other = layer_of(os.path.dirname(target))
            if other is None:
                faults.append(f"src/{rel}:{number}: includes \"{m.group(1)}\" of no layer")
            elif other[1] != own[1] and other[0] >= own[0]:
                faults.append(
                    f"src/{rel}:{number}: includes \"{m.group(1)}\": layer {other[1]} "
                    f"is not below {own[1]}")


def check_server(root, faults):
    server = os.path.join(root, "server")
    for full in sources(server):
        rel = os.path.relpath(full, root)
        for number, line in enumerate(open(full, encoding="utf-8"), 1):
            m = INCLUDE.match(line)
            if m and "/" in m.group(1) and not m.group(1).startswith(SERVER_ALLOWED):
                faults.append(f"{rel}:{number}: includes \"{m.group(1)}\": the server "
                              "links only the shared wire library")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../..")
    faults = []
    check_src(root, faults)
    check_server(root, faults)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
