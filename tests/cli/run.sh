#!/usr/bin/env bash
# run.sh - runs QuorVBoy's command-line cases, each in a fresh trash folder, and compares what it printed and
# the files it left with the expected ones beside the case, byte for byte
#
#   tests/cli/run.sh [--exe PATH] [--emulator CMD] [--update] [--keep] [CASE.sh...]
#
#   --exe PATH      the program under test (default: build/QuorVBoy); QuorVBoy.exe is the Windows build
#   --emulator CMD  the command that runs it, e.g. wine
#   --update        rewrites the expected files from what the cases do now (after a deliberate change)
#   --keep          leaves the trash folders behind
#
# Without CASE every tests/cli/*/*.sh runs. A case is a bash script sourced in TRASH/collection, with stdin
# from /dev/null, HOME at TRASH/home on POSIX (the program's fallback folder) and the helpers below. What
# it leaves is compared with CASE.out (its standard output), CASE.err (its standard error) and CASE.tree
# (every entry of TRASH, see gen.py tree). Exit status 0: all passed; 1: a difference; 77: skipped.
#
# Windows (an .exe): CASE.win.out, .win.err, .win.tree replace the common files where they exist. Before
# the comparison standard output and standard error have CR LF made LF and "\" made "/"; the program's
# text files must use CR LF and are measured with LF (see gen.py tree). On both systems the trash folder's
# path is "<trash>".
set -uo pipefail
export LC_ALL=C
here="$(cd "$(dirname "$0")" && pwd)"
exe="$here/../../build/QuorVBoy"
emulator=() prefix=() cases=() update=0 keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe="$2"; shift 2 ;;
    --emulator) read -ra emulator <<<"$2"; shift 2 ;;
    --update) update=1; shift ;;
    --keep) keep=1; shift ;;
    -*) sed -n '5,10s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
    *) cases+=("$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"); shift ;;
  esac
done
[ ${#cases[@]} -gt 0 ] || cases=("$here"/*/*.sh)
[ -f "$exe" ] || { echo "run.sh: no program at $exe" >&2; exit 2; }
windows=0 crlf=() tidy=()
if [[ "$exe" == *.exe ]]; then
  windows=1 crlf=(--crlf) tidy=(--windows)
  export WINEDEBUG="${WINEDEBUG:--all}"
  # Wine reads the names of the file system in the locale's character set.
  emulator=(env LC_ALL=C.UTF-8 "${emulator[@]}")
fi

# --- What a case calls ---------------------------------------------------------------------------------
# quor ARGS...: runs the program under test; a status other than 0 is added to stderr as "[exit N]".
quor() {
  local rc=0
  "${prefix[@]}" "${emulator[@]}" "$TRASH/program/${exe##*/}" "$@" || rc=$?
  [ $rc = 0 ] || echo "[exit $rc]" >&2
}
# The interpreter found once (QUOR_PYTHON from the build): a version manager's wrapper costs more than gen.py.
python="${QUOR_PYTHON:-$(python3 -c 'import sys; print(sys.executable)')}"
python3() { "$python" -S "$@"; }  # -S: no site packages to load, only the standard library is used
gen() { python3 "$here/gen.py" "$@"; }
SOURCE="$(cd "$here/../.." && pwd)"  # the source tree, for config/QuorInfo.cfg
# cfg: standard input becomes the group information file beside the program.
cfg() { cat >"$TRASH/program/QuorInfo.cfg"; }
# text FILE: standard input becomes a text file with the system's line ends.
text() { if [ $windows = 1 ]; then sed 's/$/\r/' >"$1"; else cat >"$1"; fi; }
# show FILE...: prints each file under a heading.
show() { local f; for f; do echo "== $f"; if [ -e "$f" ]; then cat "$f"; else echo "(none)"; fi; done; }
# files: prints the trash folder's tree as it is now.
files() { gen tree "$TRASH" "${crlf[@]}"; }
# sorted COMMAND...: runs it with its standard output and standard error each sorted, for runs whose
# lines come in the order the file system lists a folder.
sorted() {
  "$@" >"$TRASH/../sorted.out" 2>"$TRASH/../sorted.err"
  sort "$TRASH/../sorted.out"; sort "$TRASH/../sorted.err" >&2
}
sortfile() { local f; for f; do sort -o "$f" "$f"; done; }
# journal: prints VBoyUndo.txt with what changes from run to run masked (run identity, date and time, start
# folder, modification times); on Windows each separator, escaped as "\\", is shown as "/".
journal() {
  local separator='s/^$//'
  [ $windows = 0 ] || separator='s#\\\\#/#g'
  sed -E 's/^([a-z]+) [0-9]+-[0-9a-f]{8}/\1 ID/; s/ [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}( [+-][0-9]{4})?/ DATE/;
          s/^(run ID DATE) "[^"]*"/\1 START/; s/ ([0-9]+) -?[0-9]+(\r?)$/ \1 TIME\2/'"; $separator" VBoyUndo.txt
}
# dated: the date and time at the end of undo's last line masked.
dated() { sed -E 's/ of [0-9-]+ [0-9:]+(\r?)$/ of DATE\1/'; }
# fresh: an empty collection and home, no group file and no database.
fresh() {
  chmod -R u+rwX . "$TRASH/home"
  rm -rf ./* ./.[!.]* "$TRASH"/home/* "$TRASH/program/QuorInfo.cfg" "$TRASH/program/QuorVBoy.db"
}
# hide PATH: hidden from the walk; on POSIX its leading "." does that already.
hide() { if [ $windows = 1 ]; then "${emulator[@]}" attrib +h "$1"; fi; }
# posix_only: the case is skipped on Windows (permissions, links, pipes, the home folder).
posix_only() { if [ $windows = 1 ]; then exit 77; fi; }
# as_nobody: the following runs are made by a user for whom permissions hold: when this is root, the
# user "nobody" through setpriv, with the trash folders open to it.
as_nobody() {
  posix_only
  if [ "$(id -u)" = 0 ]; then
    command -v setpriv >/dev/null || exit 77
    chmod 755 "$TRASH/.."
    chmod 777 "$TRASH" "$TRASH/collection" "$TRASH/program" "$TRASH/home"
    prefix=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
}

# --- One case --------------------------------------------------------------------------------------------
# compare KIND ACTUAL: diffs the expected file of this kind with ACTUAL, or rewrites it.
compare() {
  local expected="$base.$1"
  [ $windows = 1 ] && [ -f "$base.win.$1" ] && expected="$base.win.$1"
  if [ $update = 1 ]; then
    if [ $windows = 0 ]; then cp "$2" "$base.$1"
    elif cmp -s "$2" "$base.$1"; then rm -f "$base.win.$1"
    else cp "$2" "$base.win.$1"; fi
  elif ! diff -u --label "expected $name.$1" --label "actual" "$expected" "$2"; then
    return 1
  fi
}

run_case() {
  base="${1%.sh}" name="${1#"$here"/}"
  name="${name%.sh}"
  local tmp rc status=0
  tmp="$(mktemp -d "${TMPDIR:-/tmp}/quor-cli.XXXXXX")" && tmp="$(cd "$tmp" && pwd -P)" || return 1
  TRASH="$tmp/trash"
  mkdir -p "$TRASH/collection" "$TRASH/program" "$TRASH/home"
  cp "$exe" "$TRASH/program/"
  (
    cd "$TRASH/collection" || exit 1
    [ $windows = 1 ] || export HOME="$TRASH/home"
    set -e
    . "$1"
  ) </dev/null >"$tmp/out" 2>"$tmp/err"
  rc=$?
  if [ $rc != 77 ]; then
    [ $rc = 0 ] || echo "[case exit $rc]" >>"$tmp/err"
    chmod -R u+rwX "$TRASH"
    gen tree "$TRASH" "${crlf[@]}" >"$tmp/tree"
    gen tidy "$TRASH" "$tmp/out" "$tmp/err" "${tidy[@]}"
    compare out "$tmp/out" || status=1
    compare err "$tmp/err" || status=1
    compare tree "$tmp/tree" || status=1
  else
    status=77
  fi
  if [ $keep = 1 ]; then echo "trash folder of $name: $TRASH"; else chmod -R u+rwX "$tmp"; rm -rf "$tmp"; fi
  return $status
}

passed=0 failed=0 skipped=0
for c in "${cases[@]}"; do
  run_case "$c"
  case $? in
    0) passed=$((passed + 1)) ;;
    77) skipped=$((skipped + 1)); echo "skipped: $name" ;;
    *) failed=$((failed + 1)); echo "FAILED: $name" ;;
  esac
done
[ ${#cases[@]} = 1 ] || echo "$passed passed, $failed failed, $skipped skipped"
[ $failed = 0 ] || exit 1
[ $passed -gt 0 ] || [ $skipped = 0 ] || exit 77
