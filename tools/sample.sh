#!/usr/bin/env bash
# sample.sh - makes a sample collection of synthetic images and shows QuorVBoy's main jobs on it
#   tools/sample.sh BUILD_DIR
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
src="$(cd "$(dirname "$0")/.." && pwd)"
sample="$build/sample"

rm -rf "$sample"
mkdir -p "$sample/program" "$sample/collection"
cp "$build/QuorVBoy" "$sample/program/"
cp "$src/config/QuorInfo.cfg" "$sample/program/"
"$build/bench/quorgen" "$sample/collection" --sample >/dev/null

cd "$sample/collection"
show() {
  echo
  echo "=================================================================="
  echo "\$ QuorVBoy $*"
  echo "=================================================================="
  "$sample/program/QuorVBoy" "$@" 2>&1
}
files() {
  for f in "$@"; do
    [ -f "$f" ] || continue
    echo "--- $f"
    cat "$f"
  done
}

echo "Sample collection in $sample/collection:"
find . -type f | sort | sed 's/^/  /'

show scan
show scannewd
files VAvuDevo.zid
show list changes
files VBoyMiss.txt VBoyHave.txt VBoyLog.txt
show rename dirs
files VBoyDupes.txt Quor_ZIP.txt
echo
echo "After 'rename dirs':"
find . -type f | sort | sed 's/^/  /'
