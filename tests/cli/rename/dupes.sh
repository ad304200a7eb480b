# A taken target sends the image to VBoyDupes under its catalogue name with its own extension, then under
# the first free alternative (.v0 to .v9, then .10 to .99); with none left it stays where it is.
step() {  # step GAME NAME "WORDS" TAKEN...: the targets TAKEN are occupied first
  fresh
  echo "# $2 $3"; echo "# $2 $3" >&2
  local t
  for t in "${@:4}"; do mkdir -p "$(dirname "$t")"; echo "$t" >"$t"; done
  case "$2" in
    *.ZIP) gen zip "$2" "inside.vb=$1" ;;
    *) gen image "$2" "$1" ;;
  esac
  quor $3
  files
}
golf() {  # golf N: the Golf (U) targets and the first N alternatives
  taken=("VBoyRen/Golf (U).vb" "VBoyDupes/Golf (U).vb")
  for ((n = 0; n < $1; n++)); do
    if ((n < 10)); then taken+=("VBoyDupes/Golf (U).v$n"); else taken+=("VBoyDupes/Golf (U).$n"); fi
  done
}
step "Golf (U)" golf.VB rename "VBoyRen/Golf (U).vb"
step "3D Tetris (U)" tetris.vb "rename sep_" "VBoyRen/3D_Tetris_(U).vb"
golf 1
step "Golf (U)" golf.vb rename "${taken[@]}"
golf 43
step "Golf (U)" golf.vb rename "${taken[@]}"
step "Golf (U)" golf.VB move VBoyRen/golf.VB VBoyDupes/golf.VB VBoyDupes/golf.V0
step "Golf (U)" golf.ZIP rename "VBoyRen/Golf (U).zip" "VBoyDupes/Golf (U).ZIP"
golf 100
step "Golf (U)" golf.vb "rename quiet" "${taken[@]}"
