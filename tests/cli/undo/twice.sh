# Two runs, two undos: the second takes back the run before; then there is nothing left to undo. A name
# beyond ASCII comes back as it was (on Windows too, where the program sees names in UTF-8).
gen image golf.vb "Golf (U)"
quor rename
gen image "jack café 日本.vb" "Jack Bros (U)"
quor rename sep_
for n in 1 2 3; do quor undo quiet | dated; done
