# A start folder that has been removed is no root: the run ends before anything is read or written.
posix_only
gen image golf.vb "Golf (U)"
mkdir gone
cd gone
rmdir ../gone
quor rename
cd ..
