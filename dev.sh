#!/usr/bin/env bash
# dev.sh - build QuorVBoy and run it on a sample collection, or build it and run the test suite
#   ./dev.sh sample   build, make a sample collection of synthetic images, run QuorVBoy on it
#   ./dev.sh test     build and run every test: native, sanitized, fuzzed, Windows under Wine, the Debian package
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"

. "$here/tools/lib.sh"

build_native() {
  need_packages cmake g++ make zlib1g-dev libgtest-dev libdeflate-dev libpugixml-dev libssl-dev strace python3
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$(nproc)"
}

case "${1:-}" in
  sample)
    build_native
    ./tools/sample.sh build
    ;;
  test)
    build_native
    (cd build && ctest --output-on-failure)
    # The same suite with AddressSanitizer and UndefinedBehaviorSanitizer.
    tools/sanitize.sh
    # Every reader fuzzed for a minute; any finding fails.
    tools/fuzz.sh 60
    # The Windows build, cross-compiled, with the whole suite under Wine.
    tools/windows.sh
    # The installed Debian package, run as a user would (needs root to install).
    if [ "$(id -u)" = 0 ]; then
      tools/check-deb.sh
    else
      echo "dev.sh: not root, so the Debian package check is skipped"
    fi
    ;;
  *)
    echo "usage: $0 sample|test" >&2
    exit 2
    ;;
esac
