# A folder holding _noscan.Quor or _noscan.QuorVBoy is skipped, said so unless quiet.
gen image top.vb
gen image M/m.vb
: >M/_noscan.Quor
quor scand
mv M/_noscan.Quor M/_noscan.QuorVBoy
quor scand
quor scannewd deep quiet
show VAvuDevo.zid
