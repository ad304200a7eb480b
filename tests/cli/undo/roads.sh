# Without a no-replace rename a move links and unlinks: when the unlink fails the new name goes again and
# the move is said; a file saved onto the old name between the two is left, the one linked stays at the
# target. Without hard links either, a move copies (made new, synced, its time carried over) and removes
# the old name only then, journaled step by step; undo takes it back the same way. Refusals of permission,
# a read-only file system or an immutable file are said once, counted, and make no numbered tries.
posix_only
command -v strace >/dev/null && strace -f -o /dev/null true 2>/dev/null || exit 77
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"  # the leak checker cannot work under strace
road() { strace -f -o /dev/null -e inject=renameat2:error=EINVAL "$@"; }
Q="$TRASH/program/QuorVBoy"
gen image golf.vb "Golf (U)"
road -e inject=unlinkat:error=EACCES:when=1 "$Q" rename 2>&1 >/dev/null | tail -1
ls
road -e inject=linkat:delay_exit=2000000 "$Q" rename quiet >/dev/null &
while [ ! -e "VBoyRen/Golf (U).vb" ]; do sleep 0.1; done
gen image saved.tmp "Golf (U)" --seed 2
mv saved.tmp golf.vb
wait
ls VBoyRen
[ "$(stat -c %i golf.vb)" != "$(stat -c %i "VBoyRen/Golf (U).vb")" ] && echo "golf.vb is the file saved"
rm VBoyRen/*
gen image jack.vb "Jack Bros (U)"
road -e inject=linkat:error=EPERM "$Q" rename 2>&1 | grep -v '^Cannot open\|^$\|Stats\|^QuorVBoy\|^Names'
# An undo killed between its copy back and the copy's removal is ended by the next run.
cp -p "VBoyRen/Jack Bros (U).vb" jack.vb && id=$(sed -n 's/^move \([^ ]*\) 1 "jack.vb".*/\1/p' VBoyUndo.txt)
printf 'copyback %s 1\ncopiedback %s 1\n' $id $id >>VBoyUndo.txt
road -e inject=linkat:error=EPERM "$Q" undo | dated | tail -3
journal | tail -15 | sed -E 's/^(run ID DATE) .*/\1/'
for e in EPERM EROFS EACCES; do
  strace -f -o /dev/null -e inject=renameat2:error=$e "$Q" rename 2>&1 | grep 'Cannot move\|You have\|Out of\|exists'
done
if chattr +i jack.vb 2>/dev/null; then
  quor rename 2>&1 | grep -c 'Cannot move jack.vb'
  road -e inject=linkat:error=EPERM "$Q" rename 2>&1 | grep -c 'Cannot move jack.vb'
  chattr -i jack.vb
else
  printf '1\n1\n'
fi
# Thirty moves by copy and their undo within 16 handles; an image one byte over whole blocks is copied whole.
mkdir many && cd many && gen image odd.vb --size 65537 && gen dat ../odd.dat "Odd (World)=odd.vb"
for i in $(seq 30); do cp odd.vb o$i.vb; done
(ulimit -n 16; road -e inject=linkat:error=EPERM "$Q" rename DAT=../odd.dat &>/dev/null; cat VBoyRen/* VBoyDupes/* | wc -c
 road -e inject=linkat:error=EPERM "$Q" undo &>/dev/null; cat *.vb | wc -c); cd .. && rm -r many odd.dat
