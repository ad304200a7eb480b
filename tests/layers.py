#!/usr/bin/env python3
"""layers.py SOURCE_DIR - fails when a file of the program includes a header of a layer above its own.

The layers from the ground up; a file may include its own layer and those below it.
"""
import os, re, sys

LAYERS = [["platform"], ["run/options", "run/outputfile", "run/imagebuffer"], ["catalogue"], ["groupinfo"],
          ["rename"], ["identify"], ["intake"], ["reports"], ["run/run"]]


def layer(path):
    """The layer of a file ("rename/rename.cpp", "run/options.h"), or None."""
    stem, folder = os.path.splitext(path)[0], path.split("/")[0]
    for n, names in enumerate(LAYERS):
        if stem in names or (folder in names and folder != "run"):
            return n
    return None


root, faults = sys.argv[1], []
for folder in sorted({name.split("/")[0] for names in LAYERS for name in names}):
    for path in sorted(folder + "/" + n for n in os.listdir(os.path.join(root, folder)) if n.endswith((".cpp", ".h"))):
        if layer(path) is None:
            faults.append(path + ": belongs to no layer")
            continue
        for number, line in enumerate(open(os.path.join(root, path), encoding="utf-8"), 1):
            m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if m and (layer(m.group(1)) is None or layer(m.group(1)) > layer(path)):
                faults.append("%s:%d: includes %s from a layer above" % (path, number, m.group(1)))
print("\n".join(faults) or "every include points down")
sys.exit(1 if faults else 0)
