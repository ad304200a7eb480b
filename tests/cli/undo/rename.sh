# rename dirs, then undo: every file back at its old name, byte for byte (duplicates from their numbered
# names in VBoyDupes, archives whole), the folders the run made gone, one that was there before kept.
cfg <"$SOURCE/config/QuorInfo.cfg"
for n in 1 2 3; do gen image "tetris $n.vb" "3D Tetris (U)" --seed $n; done
gen zip alarm.ZIP "inside.vb=Red Alarm (U)" --deflate
gen image "Golf (U).vb" "Golf (U)"
gen image mine.vb
mkdir -p VBoyRen/Japan
sums() { find . -type f ! -name 'VBoy*.txt' ! -name '*.db' -print0 | sort -z | xargs -0 sha1sum; }
sums >"$TRASH/../before"
sorted quor rename dirs >/dev/null
# Which copy of the three got which name depends on the order the folder is listed in.
sorted quor undo | dated | sed 's/back to tetris [123]/back to tetris N/'
sums | diff "$TRASH/../before" - && echo "as before the run"
quor undo
