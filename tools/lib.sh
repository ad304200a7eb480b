# lib.sh - what the project's scripts share; sourced, not run
#   need_packages PKG...   installs the Debian packages that are missing, when run as root

need_packages() {
  command -v dpkg >/dev/null || return 0
  local missing=()
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "Missing packages: ${missing[*]} (install them, or run as root)" >&2
    exit 1
  fi
}
