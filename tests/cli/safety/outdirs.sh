# VBoyRen, VBoyDupes and the group folders must be real folders: a link or a file of that name is a folder
# that cannot be created, and nothing is moved through it; the images that stay are counted.
posix_only
mkdir ../elsewhere
cfg <<<$'[VBoy]\n(U):USA\n(J):Japan'
gen image golf.vb "Golf (U)"
ln -s ../elsewhere VBoyRen
quor rename
rm VBoyRen
mkdir VBoyRen
ln -s ../../elsewhere VBoyRen/Japan
gen image alarm.vb "Red Alarm (J)"
quor rename dirs
rm VBoyRen/Japan
: >VBoyRen/Japan
quor rename dirs
rm VBoyRen/Japan alarm.vb
gen image golf.vb "Golf (U)" --seed 7
ln -s ../elsewhere VBoyDupes
quor rename dirs
