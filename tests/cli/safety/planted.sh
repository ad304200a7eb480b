# Links and special files planted in the collection: the walk passes over every link, no file is opened
# through a link or as a pipe, folder or device (that place counts as failed: the home folder is tried),
# and nothing ever waits. A folder named like a marker is no marker; a file at a temporary name stays.
posix_only
echo secret >../outside.txt
gen image golf.vb "Golf (U)"
gen image ../outside.vb "Jack Bros (U)"
for name in VBoyLog.txt VAvuDevo.zid Quor_ZIP.txt VBoyDupes.txt VBoyUndo.txt VBoyMiss.txt; do
  ln -s ../outside.txt "$name"
done
mkfifo VBoyHave.txt
ln -s ../outside.vb far.vb
ln -s golf.vb near.vb
: >damaged.zip
mkdir -p sub/_noscan.Quor marked
gen image sub/tetris.vb "3D Tetris (U)"
mkfifo marked/_noscan.Quor
gen image marked/alarm.vb "Red Alarm (U)"
ln -s /dev/zero "$TRASH/program/QuorInfo.cfg"
sorted timeout 20 "$TRASH/program/QuorVBoy" listd changes
sorted timeout 20 "$TRASH/program/QuorVBoy" scan
sorted timeout 20 "$TRASH/program/QuorVBoy" rename changes
bash -c ': >"$0.db.$$.tmp"; exec "$0" list' "$TRASH/program/QuorVBoy" >/dev/null 2>&1 && mv ../program/*.tmp ../x.tmp
show ../outside.txt
