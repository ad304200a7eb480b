# audit lists the catalogue names no rule takes in (audit3 and audit4 first print each name's parts) and
# changes nothing. Without a group file the open fails twice: once for the run, once for the audit.
gen image golf.vb "Golf (U)"
quor audit
quor AUDIT quiet
step() {  # step WORDS...: the group file from standard input
  echo "# $*"; echo "# $*" >&2
  cfg
  quor "$@"
  files
}
partial=$'[VBoy]\n(J):Japan\nxy\n(JU):Both'
step audit <<<'[VBoy]'
step audit <"$SOURCE/config/QuorInfo.cfg"
step audit4 <"$SOURCE/config/QuorInfo.cfg"
gen db "$TRASH/program/QuorVBoy.db" "Golf (U)"
step audit <<<"$partial"
rm "$TRASH/program/QuorVBoy.db"
step audit3 quiet <<<"$partial"
