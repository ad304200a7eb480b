# Readings of the group file (through a link, as the package installs it) at their edges: a folder refused
# for what is stored of it (it leads out of VBoyRen only once cut to its 99 characters), "1:x" a folder and
# no drive but "./e:x" one, "." and empty levels dropped ("A//B", ".\USA\.\Games", a folder of no level at
# all), and a line of 198 characters whose CR LF one bounded read splits. A file named just ".vb" keeps
# its extension, in VBoyRen and in VBoyDupes, and undo takes every move back. A DAT whose reading fails is
# refused.
posix_only
long=$(printf 'a%.0s' {1..95})
{
  printf '[VBoy]\n'
  printf '(J):%s/..x\n' "$long"
  printf 'Golf:.\\USA\\.\\Games\n'
  printf 'Tetris:./\n'
  printf '(U):1:x\n'
  printf 'Jack:./e:x\n'
  printf '(JU):Both//Sub\n'
  printf '%s\r\n' "$(printf 'z%.0s' {1..198})"
} >../QuorInfo.cfg
ln -s ../QuorInfo.cfg "$TRASH/program/QuorInfo.cfg"
gen image golf.vb "Golf (U)"
gen image .vb "Teleroboxer (JU)"
mkdir -p VBoyRen/Both/Sub
gen image "VBoyRen/Both/Sub/Teleroboxer (JU).vb" "Teleroboxer (JU)" --seed 3
quor rename dirs
files
sed -i '/^(J)\|^zz\|^Jack/d' "$TRASH/program/QuorInfo.cfg"
gen image .VB "3D Tetris (U)"
quor rename dirs quiet
ls -A VBoyRen
quor undo | dated | sort
quor undo | dated | sort
quor list DAT=/proc/self/mem
