# A target folder that refuses the move: said once, the image stays and is counted. A VBoyRen that cannot
# be created is tried once: the first known image stays uncounted, the second stays silently and is
# counted; the lists fall back to the home folder and the database is still written beside the program.
as_nobody
gen image golf.vb "Golf (U)"
mkdir VBoyRen
chmod 555 VBoyRen
quor rename
files
fresh
gen image golf.vb "Golf (U)"
gen image golf2.vb "Golf (U)"
chmod 555 .
quor rename
show ../home/VBoyHave.txt
