# Lines planted in the journal are believed only where they can be checked, and leave everything as it
# was: a move back through a linked folder onto a hard link of a file outside, two hard links the user made
# named by a move without outcome (the time does not match) or outside VBoyRen and VBoyDupes, folders that
# are hidden, or outside VBoyRen and VBoyDupes.
posix_only
mkdir -p ../outside VBoyRen/.hid .git/refs/tags Empty
gen image ../outside/precious.vb
ln ../outside/precious.vb a.vb
ln -s ../../outside VBoyRen/L
gen image c.vb
ln c.vb VBoyRen/c.vb
ln c.vb d.vb
stamp() { stat -c '%s %.9Y' "$1" | tr -d .; }
{
  echo "run P-1 2024-01-01 00:00:00 \"$PWD\" \"rename\""
  echo "move P-1 1 \"a.vb\" \"VBoyRen/L/precious.vb\" $(stamp a.vb)"
  echo "moved P-1 1"
  echo "move P-1 2 \"c.vb\" \"VBoyRen/c.vb\" $(stat -c %s c.vb) 1"
  echo "move P-1 3 \"d.vb\" \"c.vb\" $(stamp c.vb)"
  for d in VBoyRen/.hid .git/refs/tags .git/refs .git Empty; do echo "dir P-1 \"$d\""; done
} >VBoyUndo.txt
quor undo
quor rename
quor undo
