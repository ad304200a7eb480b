# A tree deeper than any path the system takes whole is walked right: each folder is left by its handle,
# and the files that follow a deep folder are found where they are. A wide tree is walked with few file
# handles: none is kept after its folder's walk, nor after a damaged archive.
posix_only
gen image a.vb "Golf (U)"
level=$(printf 'd%.0s' {1..200})
python3 -c '
import os, sys
for n in range(25):
    os.mkdir(sys.argv[1] + str(n)); os.chdir(sys.argv[1] + str(n))
open("deep.vb", "wb").write(open(sys.argv[2], "rb").read())
' "$level" "$PWD/a.vb"
gen image z.vb "Jack Bros (U)"
quor listd nodb | sed "s/$level/D/g"
rm -rf "${level}0"
mkdir wide && (cd wide && mkdir $(seq -f 'f%02g' 1 80) && touch $(seq -f 'f%02g/x.zip' 1 80))
(ulimit -n 40; sorted quor listd nodb) | grep -c 'Scanning ./f'
