#!/usr/bin/env bash
# dev.sh - build QuorVBoy and run it on a sample collection, or build it and run the test suite
#   ./dev.sh sample   build, make a sample collection of synthetic images, run QuorVBoy on it
#   ./dev.sh test     build and run every test
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"

# Installs the build packages that are missing, when run as root.
need_packages() {
  local missing=()
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  else
    echo "Missing packages: ${missing[*]} (install them, or run as root)" >&2
    exit 1
  fi
}

build_native() {
  need_packages cmake g++ make zlib1g-dev libgtest-dev libdeflate-dev
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$(nproc)"
}

case "${1:-}" in
  sample)
    build_native
    ./tools/sample.sh build/QuorVBoy
    ;;
  test)
    build_native
    (cd build && ctest --output-on-failure)
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
