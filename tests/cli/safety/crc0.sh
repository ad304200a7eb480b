# A key that makes the catalogue know the CRC 0 makes it known like any other: a member whose directory
# gives the CRC 0 is taken and identified by it, its bytes never read outside scan mode.
cfg <<<$'[VBoy]\nKEY=2199af41'
gen zip zero.zip game.bin=? --set central0.crc32=0
quor list
quor rename
