# A run killed between a move's journal line and the move, between the link and the unlink of a move on a
# file system without a no-replace rename, or after a move but before its outcome line, is taken back
# exactly; a half-done move is finished from the journal, by the next run or by undo.
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
journal
# A kill after a move but before its outcome line: the move counts as made, its file being at the target
# and no longer at its old name.
quor rename >/dev/null
sed -i '$d' VBoyUndo.txt
quor undo | dated
# An undo killed after moving a file back but before its line: the next undo finds it back already.
quor rename >/dev/null
quor undo >/dev/null
sed -i '$d' VBoyUndo.txt
sed -i '$d' VBoyUndo.txt
quor undo | dated
journal | tail -2
