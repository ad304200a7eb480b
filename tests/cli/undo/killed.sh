# A run killed between a move's journal line and the move, or between the link and the unlink of a move
# on a file system without a no-replace rename, is taken back exactly; the half-done move is finished
# from the journal, by the next run or by undo, and no other name is ever removed.
posix_only
command -v strace >/dev/null && strace -f -o /dev/null true 2>/dev/null || exit 77
killed() {
  (rc=0; strace -f -o /dev/null "$@" "$TRASH/program/QuorVBoy" rename >/dev/null 2>&1 || rc=$?; echo "status $rc") 2>/dev/null
}
gen image golf.vb "Golf (U)"
killed -e inject=renameat2:signal=SIGKILL:when=1
ls
quor undo quiet
killed -e inject=renameat2:error=EINVAL -e inject=unlinkat:signal=SIGKILL:when=1
ls -i VBoyRen/* golf.vb | sed -E 's/^ *[0-9]+/INODE/'
quor undo | dated
killed -e inject=renameat2:error=EINVAL -e inject=unlinkat:signal=SIGKILL:when=1
quor rename
quor undo | dated
quor undo | dated
