#!/usr/bin/env bash
# windows.sh - cross-builds QuorVBoy.exe and its test suite for Windows with MinGW-w64 and runs the suite under Wine
#   tools/windows.sh          build into build-win/ and run every test there
#   tools/windows.sh build    build only (build-win/QuorVBoy.exe)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
build="$here/build-win"

. "$here/tools/lib.sh"

build_packages=(cmake make g++-mingw-w64-x86-64 libz-mingw-w64-dev googletest dpkg-dev)
wine_packages=(wine wine64)

# The source of Debian's pugixml package, compiled into the program: fetched
# with an apt configuration of our own in the build folder (deb-src entries
# for the machine's deb ones, its own lists and cache), so that the
# machine's apt sources stay as they are. Prints the source folder.
pugixml_source() {
  local apt="$build/apt" src
  src="$(ls -d "$apt"/source/pugixml-*/ 2>/dev/null | head -1)"
  if [ -n "$src" ] && [ -f "$src/src/pugixml.cpp" ]; then
    echo "${src%/}"
    return
  fi
  rm -rf "$apt"
  mkdir -p "$apt"/lists/partial "$apt"/cache/archives/partial "$apt"/sources.list.d "$apt"/source
  : >"$apt/sources.list"
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*$/Types: deb-src/' "$f" >"$apt/sources.list.d/$(basename "$f")"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$apt/sources.list"
  done
  local opts=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/sources.list.d"
              -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
              -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts="$apt/none"
              -o APT::Sandbox::User=root -qq)
  apt-get "${opts[@]}" update >&2
  (cd "$apt/source" && apt-get "${opts[@]}" source pugixml >&2)
  src="$(ls -d "$apt"/source/pugixml-*/ | head -1)"
  [ -f "$src/src/pugixml.cpp" ] || { echo "$0: no pugixml source in $apt/source" >&2; exit 1; }
  echo "${src%/}"
}

cross_build() {
  local pugixml
  pugixml="$(pugixml_source)"
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUOR_PUGIXML_SOURCE="$pugixml" >/dev/null
  cmake --build "$build" -j"$(nproc)"

  # A bare Windows has no MinGW runtime, zlib or winpthread DLLs; bcrypt.dll is its own.
  local foreign
  foreign="$(x86_64-w64-mingw32-objdump -p "$build/QuorVBoy.exe" | sed -n 's/^\s*DLL Name: //p' |
             grep -Eiv '^(kernel32|bcrypt|msvcrt|user32|advapi32|shell32|ole32|ws2_32|ucrtbase|api-ms-win-.*)\.dll$' || true)"
  if [ -n "$foreign" ]; then
    echo "QuorVBoy.exe needs DLLs that Windows does not have: $foreign" >&2
    exit 1
  fi
}

# A Wine prefix of our own inside the build folder, made once. Wine marks
# dot names hidden unless told otherwise; Windows does not.
wine_start() {
  export WINEPREFIX="$build/wine"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer dialogs
  export DISPLAY=
  [ -f "$WINEPREFIX/.quor-ready" ] || rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # One server for the whole suite, so that each Wine process starts fast
  # (exit code 2: one is already running for this prefix).
  wineserver -p </dev/null >/dev/null 2>&1 || true
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  # Wine's own background services start with the first Wine process and
  # live as long as the server. Started here, away from ctest's output pipes,
  # they cannot keep ctest waiting for the end of a test's output.
  if [ ! -f "$WINEPREFIX/.quor-ready" ]; then
    wineboot -i </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.quor-ready"
  else
    wineboot </dev/null >/dev/null 2>&1
  fi
  wine reg add 'HKCU\Software\Wine' /v ShowDotFiles /d Y /f </dev/null >/dev/null 2>&1
}

case "${1:-test}" in
  build)
    need_packages "${build_packages[@]}"
    cross_build
    ;;
  test)
    # Wine first: the toolchain file finds it when the build is configured.
    need_packages "${build_packages[@]}" "${wine_packages[@]}"
    cross_build
    wine_start
    (cd "$build" && ctest --output-on-failure)
    ;;
  *)
    echo "usage: $0 [build|test]" >&2
    exit 2
    ;;
esac
