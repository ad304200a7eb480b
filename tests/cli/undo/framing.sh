# A journal cut within a line, a line of NUL bytes or ending in them hides no run: the next run starts on a
# line of its own and undo takes back the runs newest first by their place in the journal, whatever clock
# their shells had (the offset from UTC is kept for people).
posix_only  # TZ as POSIX spells it
gen image golf.vb "Golf (U)"
TZ=UTC-14 quor rename quiet >/dev/null
printf 'move 1-2 1 "x.vb" "VBoyRen/X' >>VBoyUndo.txt
gen image jack.vb "Jack Bros (U)"
TZ=UTC+12 quor rename quiet >/dev/null
printf '\0\0\0\nrun\0\0' >>VBoyUndo.txt
gen image tele.vb "Teleroboxer (JU)"
quor rename quiet >/dev/null
for n in 1 2 3 4; do quor undo | dated; done
sed -nE 's/^(run|undone) [^ ]+ [^ ]+ [^ ]+ ([+-][0-9]{4}).*/\1 \2/p' VBoyUndo.txt
journal | tr '\0' @ | grep -v '^\(run\|undone\) '
