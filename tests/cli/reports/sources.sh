# Where a run's earlier haves come from: the database wins over the have list; nodb reads the have list
# and keeps the database; a database of another system, or a file that is none, is passed over; a have
# list may have CR LF ends.
step() {  # step WHAT WORDS...
  echo "# $1"; echo "# $1" >&2
  quor "${@:2}"
  show VBoyHave.txt
  od -An -tx1 "$TRASH/program/QuorVBoy.db"
  fresh
}
gen db "$TRASH/program/QuorVBoy.db" "Golf (U)"
printf ' x\n\nWaterworld (U)\n' | text VBoyHave.txt
step "the database wins" list
gen db "$TRASH/program/QuorVBoy.db" "Golf (U)"
printf ' x\n\nWaterworld (U)\n' | text VBoyHave.txt
step "nodb" list nodb quiet
gen db --system 18 "$TRASH/program/QuorVBoy.db" "Golf (U)"
printf ' x\n\nWaterworld (U)\n' | text VBoyHave.txt
step "another system" list
echo "not a database" >"$TRASH/program/QuorVBoy.db"
printf ' x\n\nWaterworld (U)\n' | text VBoyHave.txt
step "no database" list
printf ' You have 2\r\n\r\nGolf (U)\r\nWaterworld (U)\r\n' >VBoyHave.txt
step "CR LF" list
