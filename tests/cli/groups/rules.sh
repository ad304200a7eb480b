# How rules place images in their group folders, and exclude them from the missing list.
step() {  # step WHAT: a fresh collection, the group file from standard input
  fresh
  echo "# $1"; echo "# $1" >&2
  cfg
}
step "extensions, nested folders (either separator), a folder named twice, archives; CR LF ends" <<'EOF2'
[VBoy]
(J):Japan\Puzzle;vbj
(U):USA/Sports
(JU):Japan\Puzzle
EOF2
sed -i 's/$/\r/' "$TRASH/program/QuorInfo.cfg"
gen image v.vb "V Tetris (J)"
gen image golf.VB "Golf (U)"
gen image tele.vb "Teleroboxer (JU)"
gen image croach.vb "Croach, The (PD)"
gen zip alarm.zip "inside.vb=Red Alarm (J)"
quor rename dirs
files
step "a duplicate leaves the group behind: no folder, extension or separator rule" <<<$'[VBoy]\n(J):Japan Games;vbj'
gen image "v tetris.VB" "V Tetris (J)"
gen image "VBoyRen/Japan Games/V_Tetris_(J).vbj" "Golf (U)"
quor rename dirs sep_
files
step "move ignores the groups" <<<$'[VBoy]\n(U):USA;vbu'
gen image golf.VB "Golf (U)"
quor move dirs
files
step "without dirs the groups place nothing but still exclude" <<<$'[VBoy]\n(U):USA;vbu;N'
gen image golf.vb "Golf (U)"
quor rename
files
step "a group folder that cannot be created stops the creation" <<<$'[VBoy]\n(J):Japan\\Puzzle\n(U):USA'
gen image golf.vb "Golf (U)"
gen image alarm.vb "Red Alarm (J)"
gen image VBoyRen/Japan "Teleroboxer (JU)"
quor rename dirs
files
