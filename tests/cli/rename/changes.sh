# Where rename, move and list put an image of 3D Tetris (U), and the changes log of each option.
step() {  # step NAME WORDS...: a fresh collection with the image as NAME (an archive for .ZIP), one run
  fresh
  echo "# $*"; echo "# $*" >&2
  case "$1" in
    *.ZIP) gen zip "$1" "inside.vb=3D Tetris (U)" ;;
    *) gen image "$1" "3D Tetris (U)" ;;
  esac
  quor "${@:2}"
  files
  show VBoyLog.txt
}
step tetris.VB rename changes
step tetris.VB rename changes-
step tetris.VB rename nosep changes
step tetris.VB rename fshort3              # no catalogue name is near the 60 characters of the short names
step "3D Tetris (U).vb" rename changes
step "3D Tetris (U).vb" rename changesnew
step "3D Tetris (U).VB" rename changesnew-
step "3d tetris (u).vb" rename changesnew
step "3d tetris (u).vb" rename changesnew-
step "3D_Tetris_(U).vb" rename changesnew sep_
step "3D Tetris (U).vb" rename changesnew sep_
step tetris.VB rename changes quiet
step .vb rename changes                    # logged whole, moved with its extension
step tetris.VB move changes
step "my tetris.VB" move sep_
step tetris.VB rename move
step tetris.VB list changes-
step .vb list changes
step tetris.ZIP rename                     # an archive moves whole
step tetris.ZIP move
# The log grows from run to run.
fresh
gen image tetris.VB "3D Tetris (U)"
quor list changes
quor move changes-
show VBoyLog.txt
# An image the catalogue does not know leaves no trace, and no database is written.
fresh
gen image mystery.vb
quor rename changes
# A DAT's names over 60 characters: whole, or with fshort3 spaceless and cut short; the log keeps sep_.
fresh; l="Prototype-Collection-Of-Virtual-Boy-Games-Gathered-Over-Many-Years Part"
gen image a.vb; gen image b.vb --seed b; gen dat ../long.dat "$l One (Japan)=a.vb" "$l Two (Japan)=b.vb"
quor rename quiet nodb f sep_ DAT=../long.dat; quor undo | dated | sort; rm VBoyHave.txt
sorted quor rename changes fshort3 sep_ DAT=../long.dat; sortfile VBoyLog.txt; files
