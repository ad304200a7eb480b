# scannew lists only images the catalogue does not know, unless deep; the listing is created only when a
# line is due, and appended to by every run.
gen image known.vb "Jack Bros (U)"
gen image first.vb "3D Tetris (U)"
quor scannew
files
gen image unknown.vb
echo '"00000000 earlier run",' | text VAvuDevo.zid
for words in scannew "scan scannew" "deep SCANNEW" scan; do quor $words; done
sortfile VAvuDevo.zid
show VAvuDevo.zid
