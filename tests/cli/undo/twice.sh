# Two runs, two undos: the second takes back the run before; then there is nothing left to undo.
gen image golf.vb "Golf (U)"
quor rename
gen image jack.vb "Jack Bros (U)"
quor rename sep_
for n in 1 2 3; do quor undo quiet | dated; done
