# list touches no image and writes the missing list, the have list, the duplicates report and the have
# database (CRCs in catalogue order, no temporary file left).
gen image golf.vb "Golf (U)"
gen image tele.vb "Teleroboxer (JU)"
gen image tele2.vb "Teleroboxer (JU)"
quor list
show VBoyMiss.txt VBoyHave.txt VBoyDupes.txt
od -An -tx1 "$TRASH/program/QuorVBoy.db"
