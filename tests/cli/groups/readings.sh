# Readings of the group file at their edges: a folder refused for what is stored of it (it leads out of
# VBoyRen only once cut to its 99 characters), "1:x" a folder and no drive, an empty level ("A//B"), and
# a line of 198 characters whose CR LF one bounded read splits.
posix_only
long=$(printf 'a%.0s' {1..95})
{
  printf '[VBoy]\n'
  printf '(J):%s/..x\n' "$long"
  printf '(U):1:x\n'
  printf '(JU):Both//Sub\n'
  printf '%s\r\n' "$(printf 'z%.0s' {1..198})"
} >"$TRASH/program/QuorInfo.cfg"
gen image golf.vb "Golf (U)"
quor rename dirs
