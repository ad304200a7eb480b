# Two users on one shared collection, on the link road: while the first run holds its move between the
# link and the unlink, a second user, who cannot write the first one's journal, journals in its home
# folder and takes nothing of the collection's journal for an interrupted move. No image is lost: the
# first run's unlink finds the old name gone and keeps the new one.
posix_only
[ "$(id -u)" = 0 ] && command -v setpriv >/dev/null && command -v strace >/dev/null || exit 77
strace -f -qq -o /dev/null -e inject=getpid:error=EIO true 2>/dev/null || exit 77
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"  # the leak checker cannot work under strace
gen image jack.vb "Jack Bros (U)"
chmod 755 "$TRASH/.." "$TRASH"
chmod 777 . "$TRASH/home" "$TRASH/program"
strace -f -qq -o /dev/null -e trace=renameat2,unlinkat -e inject=renameat2:error=EINVAL \
  -e inject=unlinkat:delay_enter=3000000:when=1 "$TRASH/program/QuorVBoy" rename >"$TRASH/../first.out" 2>&1 &
# Once the first run has journaled its move (and is about to link), the second one starts.
for _ in $(seq 50); do grep -qs '^move' VBoyUndo.txt && break; sleep 0.1; done
sleep 0.5
setpriv --reuid=65534 --regid=65534 --clear-groups "$TRASH/program/QuorVBoy" rename >"$TRASH/../second.out" 2>&1
wait
files
grep -h "Jack\|Cannot\|Using" "$TRASH/../first.out" "$TRASH/../second.out" | sort
