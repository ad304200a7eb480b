# The start folder is held, not named: renamed while a run goes on, with a link to another collection put
# at its old path, it still gets the run's lists, journal and database; the other collection stays as it
# was. The run is held up (by strace) right after it has read its folder's path.
posix_only
command -v strace >/dev/null && strace -f -o /dev/null true 2>/dev/null || exit 77
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"  # the leak checker cannot work under strace
gen image tetris.vb "3D Tetris (U)"
mkdir ../other
gen image ../other/golf.vb "Golf (U)"
(cd ../other && quor list nodb >/dev/null)
strace -f -qq -o ../trace -e trace=getcwd -e inject=getcwd:delay_exit=3000000:when=1 \
  "$TRASH/program/QuorVBoy" rename >../run.out 2>&1 &
for i in $(seq 400); do grep -q getcwd ../trace 2>/dev/null && break; sleep 0.05; done
mv ../collection ../renamed
ln -s other ../collection
wait
cat ../run.out
rm ../trace ../run.out
