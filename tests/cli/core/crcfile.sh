# The emulator CRC file: alone on standard output, the notices on standard error; no walk, no list, and
# neither the have database nor the have list is written. The group file is read (and complained about).
gen image game.vb "Golf (U)"
quor messfiles
quor convert MESSFILES
{ printf '[VBoy]\nxy\nKEY=1234\n'; for i in $(seq 0 69); do echo "(U$i):Dir$i"; done; } | cfg
gen db "$TRASH/program/QuorVBoy.db" "Teleroboxer (JU)"
printf ' have\n\nGolf (U)\n' | text VBoyHave.txt
quor messfiles
quor nodb messfiles quiet
