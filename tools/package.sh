#!/usr/bin/env bash
# package.sh - builds the Debian package of QuorVBoy, or with "windows" its Windows zip
#
#   tools/package.sh           Release build in build-pkg/, then cpack -G DEB:
#                              build-pkg/QuorVBoy_1.00_<arch>.deb
#   tools/package.sh windows   the cross build in build-win/, then cpack -G ZIP:
#                              build-win/QuorVBoy-1.00-win64.zip
#
# QUOR_PKG_BUILD_DIR names another build folder. Run as root on Debian, the
# build packages that are missing are installed with apt-get. The last line
# printed is the path of the package made.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

. "$here/tools/lib.sh"

# Prints the newest file matching the pattern in the folder, or fails.
newest() {
  local found
  found="$(cd "$1" && ls -t $2 2>/dev/null | head -n 1)"
  if [ -z "$found" ]; then
    echo "package.sh: cpack made no $2 in $1" >&2
    exit 1
  fi
  echo "$here/$1/$found"
}

case "${1:-deb}" in
  deb)
    dir="${QUOR_PKG_BUILD_DIR:-build-pkg}"
    # dpkg-dev and file let CPack take Depends from the linked libraries.
    need_packages cmake g++ make zlib1g-dev libpugixml-dev libssl-dev gzip dpkg-dev file
    # The distribution's hardening flags (fortified functions, full RELRO).
    cxxflags="" ldflags=""
    if command -v dpkg-buildflags >/dev/null; then
      export DEB_BUILD_MAINT_OPTIONS=hardening=+all
      cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
      ldflags="$(dpkg-buildflags --get LDFLAGS)"
    fi
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
          -DBUILD_TESTING=OFF -DQUOR_DEBIAN_LAYOUT=ON \
          -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
    cmake --build "$dir" -j2
    (cd "$dir" && cpack -G DEB)
    newest "$dir" '*.deb'
    ;;
  windows)
    dir="${QUOR_PKG_BUILD_DIR:-build-win}"
    need_packages cmake make
    # The cross build as its toolchain file sets it up, unless it exists.
    if [ ! -f "$dir/CMakeCache.txt" ]; then
      cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
    fi
    cmake --build "$dir" -j2
    (cd "$dir" && cpack -G ZIP)
    newest "$dir" '*.zip'
    ;;
  *)
    echo "usage: $0 [windows]" >&2
    exit 2
    ;;
esac
