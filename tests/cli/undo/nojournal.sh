# A journal that cannot be created anywhere makes a run move nothing: a move that could not be written
# down is not made.
posix_only
gen image golf.vb "Golf (U)"
mkdir VBoyUndo.txt "$TRASH/home/VBoyUndo.txt"
quor rename
