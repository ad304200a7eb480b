#!/usr/bin/env python3
"""layers.py - fails when a file of the program includes a header of a layer above its own.

    python3 tests/layers.py SOURCE_DIR

The layers, from the ground up; a file may include its own layer and those below.
"""
import os
import re
import sys

LAYERS = [
    ["platform"],
    ["run/options", "run/outputfile", "run/imagebuffer"],
    ["catalogue"],
    ["groupinfo"],
    ["rename"],
    ["identify"],
    ["intake"],
    ["reports"],
    ["run/run"],
]


def layer(path):
    """The layer of a file ("rename/rename.cpp", "run/options.h"), or None."""
    stem = os.path.splitext(path)[0]
    for n, names in enumerate(LAYERS):
        if stem in names or (path.split("/")[0] in names and not path.startswith("run/")):
            return n
    return None


def main():
    root = sys.argv[1]
    faults = []
    for folder in sorted({name.split("/")[0] for names in LAYERS for name in names}):
        for name in sorted(os.listdir(os.path.join(root, folder))):
            path = folder + "/" + name
            if not name.endswith((".cpp", ".h")):
                continue
            own = layer(path)
            if own is None:
                faults.append(f"{path}: belongs to no layer")
                continue
            with open(os.path.join(root, path), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                    if not m:
                        continue
                    target = layer(m.group(1))
                    if target is None or target > own:
                        faults.append(f"{path}:{number}: includes {m.group(1)} from a layer above")
    print("\n".join(faults) if faults else "every include points down")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
