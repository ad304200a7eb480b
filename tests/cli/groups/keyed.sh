# A keyed catalogue (KEY= in the group file): a loose image is looked up by its CRC text, an archive
# member by its directory's CRC value, each XORed with the key (a text member stays unknown); the database
# keeps the catalogue's CRCs.
cfg <<<$'[VBoy]\nKEY=5a5a0f0f\n(U):USA'
gen image "keyed golf.vb" "$(printf %08x $((0x2199af41 ^ 0x5a5a0f0f)))"
gen zip alarm.zip "inside.vb=$(printf %08x $((0xaa10a7b4 ^ 0x5a5a0f0f)))"
gen image plain.vb "Teleroboxer (JU)"
quor rename dirs
gen zip text.zip readme.txt:"read me"
quor scan
od -An -tx1 "$TRASH/program/QuorVBoy.db"
