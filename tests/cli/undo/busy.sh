# undo while another run holds the journal changes nothing and says so; a rename started while an undo
# holds the journal alone waits for it.
posix_only
command -v flock >/dev/null || exit 77
gen image golf.vb "Golf (U)"
quor rename quiet >/dev/null
flock -s VBoyUndo.txt "$TRASH/program/QuorVBoy" undo 2>&1 | tail -2
ls VBoyRen
gen image jack.vb "Jack Bros (U)"
flock -x VBoyUndo.txt sh -c ': >../held; sleep 2; echo released' &
while [ ! -e ../held ]; do sleep 0.1; done
quor rename quiet | grep 'You have'
wait
rm ../held
