# The journal is read as a stream: a million lines of other folders' runs and of runs undone, and one line
# of 100 MB, take little memory (the run is held to 48 MiB of address space) and hide nothing from undo.
posix_only
if ldd "$TRASH/program/QuorVBoy" 2>/dev/null | grep -q libasan; then exit 77; fi
gen image golf.vb "Golf (U)"
quor rename quiet >/dev/null
python3 - "$PWD" <<'PY'
import sys
with open('VBoyUndo.txt', 'a') as f:
    for i in range(100000):
        f.write('run X%d 2024-01-01 00:00:00 +0000 "%s" "rename"\n' % (i, sys.argv[1] if i % 2 else '/other'))
        for n in range(1, 5):
            f.write('move X%d %d "a%d.vb" "VBoyRen/A%d.vb" 8192 1\nmoved X%d %d\n' % (i, n, n, n, i, n))
        f.write('undone X%d 2024-01-01 00:00:00 +0000\n' % i)
    f.write('move ' + 'x' * 100000000 + '\n')
PY
wc -l <VBoyUndo.txt
(ulimit -v 49152; quor undo) | dated
rm VBoyUndo.txt
