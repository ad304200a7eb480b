# Which archive member a scan takes: the one image beside other files, or a member whose directory CRC the
# catalogue knows, under any name and unread; archives with several images, an emulator or no image are
# skipped, and damaged ones reported, on the console and with the detail in Quor_ZIP.txt (each failure
# of the reader is told in its unit test).
echo '[VBoy]' | cfg
try() {  # try GEN-ZIP-ARGS...: one scan of the archive x.zip so made
  echo "# $*"; echo "# $*" >&2
  gen zip "$@"
  quor scan
  rm x.zip
}
try --deflate x.zip readme.txt:"read me" a.vb=?
try x.zip a.vb=? B.Vb=?
try x.zip a.vb=? EMU.EXE:MZ
try x.zip emu.exe:MZ readme.txt:"read me"
try x.zip readme.txt:"read me"
try --deflate --garbage 1 x.zip readme.txt:"read me" "game.bin=3D Tetris (U)"
try --deflate --garbage 0 x.zip "tetris.vb=3D Tetris (U)"
try --deflate --garbage 0 --set central0.uncompressedSize=2099201 x.zip a.vb=?
try --comment 2000 x.zip a.vb=?
try --set central1.nameLength=0x7fff x.zip a.vb=? b.vb=?
try --cut 1 x.zip a.vb=?
try x.zip
show VAvuDevo.zid Quor_ZIP.txt
