# An archive of 1 GiB (sparse) whose end record declares a central directory of nearly 1 GiB that holds
# one known member and then zeros: the directory is read in pieces and only as far as the entries the end
# record counts, so the run needs a few MiB, writes its lists and moves the archive whole.
posix_only
gen zip x.zip "t.vb=3D Tetris (U)"
python3 - <<'PY'
import struct
end = open('x.zip', 'rb').read()[-22:]
offset = struct.unpack('<I', end[16:20])[0]
with open('x.zip', 'r+b') as f:
    f.truncate((1 << 30) - 22)
    f.seek(0, 2)
    f.write(end[:12] + struct.pack('<II', (1 << 30) - 22 - offset, offset) + end[20:])
PY
limit=262144  # KiB; AddressSanitizer reserves terabytes of address space, so it runs without a limit
! grep -q __asan_init "$TRASH/program/QuorVBoy" || limit=unlimited
(ulimit -v $limit; quor rename)
stat -c '%s %n' VBoyRen/*
rm VBoyRen/*
