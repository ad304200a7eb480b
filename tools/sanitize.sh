#!/usr/bin/env bash
# sanitize.sh - builds the whole program and its test suite with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test
#
#   tools/sanitize.sh [CTEST ARGS...]
#
# Builds in build-asan/ (or $QUOR_ASAN_BUILD) with QUOR_SANITIZE=ON; any
# sanitizer report aborts the program or test that made it, so the suite
# fails on it. The hardening test is left to the native ctest run: it runs
# the program hundreds of times under strace, once is enough.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

. "$here/tools/lib.sh"

if command -v dpkg >/dev/null; then
  need_packages cmake make g++ zlib1g-dev libgtest-dev libpugixml-dev libssl-dev
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:check_initialization_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
build="${QUOR_ASAN_BUILD:-build-asan}"
cmake -S . -B "$build" -DQUOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
cd "$build"
ctest --output-on-failure -E hardening "$@"
