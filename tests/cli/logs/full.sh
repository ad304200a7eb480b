# Logs that cannot be written say so, once each, with their path; the lists say it too, and the journal
# refuses every move, as when it cannot be created anywhere. (No file may grow here: the output reaches
# the case through a pipe.)
posix_only
gen image golf.vb "Golf (U)"
gen image golf2.vb "Golf (U)" --seed 9
gen image mine.vb
: >damaged.zip
full() { (trap '' XFSZ; ulimit -f 0; quor "$@" 2>&1) | sort; }
full scan
full list changes
full rename
rm VBoyUndo.txt && mkdir VBoyUndo.txt "$TRASH/home/VBoyUndo.txt"
quor rename
