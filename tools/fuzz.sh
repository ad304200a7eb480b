#!/usr/bin/env bash
# fuzz.sh - builds the libFuzzer targets of the readers and runs each for a bounded time; fails on any finding
#
#   tools/fuzz.sh [SECONDS]    seconds per target (default 60)
#
# Builds in build-fuzz/ (or $QUOR_FUZZ_BUILD) with clang (QUOR_FUZZ=ON), generates the seeds
# (the tests fuzz_seed/..., with tests/cli/gen.py), then runs every target for
# SECONDS, two at a time, from the generated and committed seeds and the kept
# findings of fuzz/regressions. The corpus each run grows is kept
# in build-fuzz/fuzz/corpus/TARGET for the next run. A crash, a sanitizer
# report, a failed check, a timeout or a memory blow-up is a finding: its
# input is left in build-fuzz/fuzz/findings/ and the script exits 1.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

secs="${1:-60}"
case "$secs" in ''|*[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;; esac
build="${QUOR_FUZZ_BUILD:-build-fuzz}"
jobs="${QUOR_FUZZ_JOBS:-2}"
targets=(zip groupinfo have dat_xml dat_cmp)

. "$here/tools/lib.sh"

if command -v dpkg >/dev/null; then
  need_packages cmake make clang-14 libclang-rt-14-dev zlib1g-dev libgtest-dev libpugixml-dev libssl-dev python3
fi
cc=clang; cxx=clang++
command -v clang++ >/dev/null || { cc=clang-14; cxx=clang++-14; }

CC=$cc CXX=$cxx cmake -S . -B "$build" -DQUOR_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target $(printf 'fuzz_%s ' "${targets[@]}") >/dev/null

work="$build/fuzz"
(cd "$build" && ctest -R '^fuzz_seed/' >/dev/null) || { echo "$0: the seeds could not be made" >&2; exit 1; }
mkdir -p "$work/findings"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# Runs one target for secs seconds; its log is $work/log-TARGET.txt.
run_target() {
  local t="$1"
  local corpus="$work/corpus/$t"
  mkdir -p "$corpus"
  local dirs=("$corpus")
  for d in "$work/seeds/$t" "fuzz/seeds/$t" "fuzz/regressions/$t"; do
    [ -d "$d" ] && dirs+=("$d")
  done
  local rc=0
  "$work/fuzz_$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/findings/$t-" "${dirs[@]}" >"$work/log-$t.txt" 2>&1 || rc=$?
  echo "$rc" >"$work/rc-$t.txt"
}

start=$(date +%s)
running=0
for t in "${targets[@]}"; do
  rm -f "$work/rc-$t.txt"
  run_target "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait || true
elapsed=$(( $(date +%s) - start ))

failed=0
printf '%-10s %14s %8s %8s  %s\n' target executions corpus new result | tee "$work/summary.txt"
for t in "${targets[@]}"; do
  log="$work/log-$t.txt"
  rc=$(cat "$work/rc-$t.txt" 2>/dev/null || echo 99)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  added=$(sed -n 's/^stat::new_units_added: *//p' "$log" | tail -1)
  corpus=$(find "$work/corpus/$t" -type f | wc -l)
  if [ "$rc" = 0 ]; then
    result="no finding"
  else
    result="FINDING (exit $rc, see $log)"
    failed=1
  fi
  printf '%-10s %14s %8s %8s  %s\n' "$t" "${execs:-?}" "$corpus" "${added:-?}" "$result" | tee -a "$work/summary.txt"
done
echo "fuzzed ${#targets[@]} targets for ${secs}s each in ${elapsed}s" | tee -a "$work/summary.txt"

if [ "$failed" != 0 ]; then
  echo "Findings are in $work/findings/. Keep each as a regression once fixed:" >&2
  echo "  cp FINDING fuzz/regressions/TARGET/NAME" >&2
  exit 1
fi
