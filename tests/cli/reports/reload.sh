# A run starts from what earlier runs had: an image found again is a duplicate, and each new copy adds
# its line to the duplicates report.
gen image golf.vb "Golf (U)"
quor rename
gen image "another golf.vb" "Golf (U)"
quor rename
quor list
gen image third.vb "Golf (U)"
quor list quiet
show VBoyDupes.txt
od -An -tx1 "$TRASH/program/QuorVBoy.db"
