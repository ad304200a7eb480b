# Outside a scan an archive with one known member moves whole, its member never read; list counts the
# known images of archives it would skip, rename reports them.
echo '[VBoy]' | cfg
try() {  # try WORDS GEN-ZIP-ARGS...: one run on the archive x.zip so made
  fresh
  echo "# $*"; echo "# $*" >&2
  echo '[VBoy]' | cfg
  gen zip "${@:2}"
  quor $1
  files
}
try list x.zip "t.vb=3D Tetris (U)" "g.vb=Golf (U)"
try rename x.zip "t.vb=3D Tetris (U)" "g.vb=Golf (U)"
try list x.zip emu.exe:MZ "g.vb=Golf (U)"
try rename x.zip emu.exe:MZ "g.vb=Golf (U)"
try list x.zip "emu.exe=Golf (U)" a.vb=?
try rename --deflate --garbage 1 x.zip readme.txt:"read me" "tetris.vb=3D Tetris (U)"
try rename --deflate --garbage 0 x.zip a.vb=?
