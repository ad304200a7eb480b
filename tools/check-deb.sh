#!/usr/bin/env bash
# check-deb.sh - builds the Debian package, checks it with lintian, installs it, runs the installed QuorVBoy on a sample collection, removes it
#
#   tools/check-deb.sh      (as root; exits non-zero on any failure)
#
# lintian must report no error and no warning (no line starting E: or W:).
# The sample collection is made of synthetic images in a temporary folder
# outside the source tree: two whose CRC-32 is forged to a catalogue value,
# one the catalogue does not know, and a file that is no image. The installed
# QuorVBoy must find its own QuorInfo.cfg through /usr/bin/QuorVBoy, write its
# lists in the collection's folder and its database beside itself (or, for a
# user who cannot write there, in the collection's folder), and leave nothing
# behind once purged.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

. "$here/tools/lib.sh"

package=quorvboy
failures=0
installed_here=0
work=""

ok()   { echo "ok   - $*"; }
fail() { echo "FAIL - $*"; failures=$((failures + 1)); }
die()  { echo "FAIL - $*"; exit 1; }
# check DESCRIPTION COMMAND...: runs the command quietly and reports it.
check() {
  local what="$1"; shift
  if "$@" >/dev/null 2>&1; then ok "$what"; else fail "$what"; fi
}

cleanup() {
  if [ "$installed_here" = 1 ] && dpkg -s "$package" >/dev/null 2>&1; then
    dpkg -P "$package" >/dev/null 2>&1 || true
  fi
  [ -n "$work" ] && rm -rf "$work"
}
trap cleanup EXIT

[ "$(id -u)" = 0 ] || die "run as root: the check installs and removes the package"
command -v dpkg >/dev/null || die "dpkg not found: the check runs on Debian or a derivative"
if dpkg -s "$package" >/dev/null 2>&1; then
  die "$package is installed, or its configuration is left: purge it first (dpkg -P $package)"
fi

work="$(mktemp -d)"
chmod 755 "$work"
case "$work/" in "$here"/*) die "the temporary folder $work lies inside the source tree";; esac

# --- Build -------------------------------------------------------------------
if ! tools/package.sh >"$work/package.log" 2>&1; then
  cat "$work/package.log"
  die "tools/package.sh failed"
fi
deb="$(tail -n 1 "$work/package.log")"
[ -f "$deb" ] || die "no package made ($deb)"
ok "built $(basename "$deb")"

# --- lintian -----------------------------------------------------------------
need_packages lintian
# lintian warns when run as root; that line is no finding about the package.
lintian "$deb" >"$work/lintian.out" 2>&1
lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.out" | sed 's/^/       | /'
# Status 2 and above: lintian itself failed, so it checked nothing.
if [ "$lintian_status" -ge 2 ] || grep -Eq '^[EW]: ' "$work/lintian.out"; then
  fail "lintian reports no error and no warning"
else
  ok "lintian reports no error and no warning"
fi

contents="$(dpkg -c "$deb")"
for path in ./usr/bin/QuorVBoy ./usr/lib/quorvboy/QuorVBoy ./usr/lib/quorvboy/QuorInfo.cfg \
            ./etc/quorvboy/QuorInfo.cfg ./usr/share/man/man1/QuorVBoy.1.gz \
            ./usr/share/doc/quorvboy/README.md ./usr/share/doc/quorvboy/doc/guide.md \
            ./usr/share/doc/quorvboy/copyright; do
  if grep -q " $path\( \|$\)" <<<"$contents"; then ok "package holds $path"; else fail "package holds $path"; fi
done
check "package depends on zlib1g" sh -c "dpkg-deb -f '$deb' Depends | grep -q zlib1g"
check "package has a maintainer" sh -c "dpkg-deb -f '$deb' Maintainer | grep -q '<.*>'"

# --- Install -----------------------------------------------------------------
dpkg -i "$deb" >/dev/null || die "dpkg -i $(basename "$deb")"
installed_here=1
ok "installed"

check "QuorVBoy on PATH is /usr/bin/QuorVBoy" test "$(command -v QuorVBoy)" = /usr/bin/QuorVBoy
check "/usr/bin/QuorVBoy links to ../lib/quorvboy/QuorVBoy" \
      test "$(readlink /usr/bin/QuorVBoy)" = ../lib/quorvboy/QuorVBoy
check "the program is executable" test -x /usr/lib/quorvboy/QuorVBoy
check "QuorInfo.cfg is readable beside the program" test -r /usr/lib/quorvboy/QuorInfo.cfg
check "QuorInfo.cfg is a conffile" sh -c "dpkg-query -W -f='\${Conffiles}' $package | grep -q /etc/quorvboy/QuorInfo.cfg"
if command -v man >/dev/null && ! grep -qs 'path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
  check "man finds the manual page" sh -c "man -w QuorVBoy | grep -q /usr/share/man/man1/QuorVBoy.1"
fi

# --- A sample collection -----------------------------------------------------
# mkimage FILE SIZE SEED [CRC]: a synthetic image with a header mark (V at
# length-544, E at length-541); with CRC its first four bytes are chosen so
# that its CRC-32 is that value.
cat >"$work/mkimage.pl" <<'EOF'
use strict; use warnings;
my ($size, $seed, $want) = @ARGV;
my (@table, @indexOfTop);
for my $n (0 .. 255) {
    my $c = $n;
    for (1 .. 8) { $c = ($c & 1) ? (0xEDB88320 ^ ($c >> 1)) : ($c >> 1); }
    $table[$n] = $c; $indexOfTop[$c >> 24] = $n;
}
my $x = ($seed * 2654435761) % 4294967296 || 1;
my $bytes = '';
for (1 .. $size) {
    $x ^= ($x << 13) & 0xFFFFFFFF; $x ^= $x >> 17; $x ^= ($x << 5) & 0xFFFFFFFF;
    $bytes .= chr($x & 0xFF);
}
substr($bytes, $size - 544, 1) = 'V';
substr($bytes, $size - 541, 1) = 'E';
# The register before byte b was fed, from the register after it.
sub unfeed {
    my ($after, $b) = @_;
    my $i = $indexOfTop[$after >> 24];
    return ((($after ^ $table[$i]) << 8) & 0xFFFFFFFF) | (($i ^ $b) & 0xFF);
}
if (defined $want) {
    my $reg = (~hex($want)) & 0xFFFFFFFF;
    for (my $i = $size; $i > 4; $i--) { $reg = unfeed($reg, ord(substr($bytes, $i - 1, 1))); }
    $reg = unfeed($reg, 0) for 1 .. 4;
    substr($bytes, 0, 4) = pack('V', $reg ^ 0xFFFFFFFF);
}
binmode STDOUT;
print $bytes;
EOF
mkimage() { perl "$work/mkimage.pl" "$2" "$3" ${4:+"$4"} >"$1"; }

# make_collection DIR: two known images, one unknown, one text file.
make_collection() {
  mkdir -p "$1"
  mkimage "$1/tetris.vb" 8192 1 bb71b522           # 3D Tetris (U)
  mkimage "$1/mario clash.vb" 16384 2 a47de78c     # Mario Clash (JU)
  mkimage "$1/homebrew.vb" 8192 3                  # not in the catalogue
  echo "not an image" >"$1/notes.txt"
}

# run_in DIR OUT ARGS...: runs the installed QuorVBoy in DIR, standard output
# and standard error together into OUT; fails unless the status is 0.
run_in() {
  local dir="$1" out="$2"; shift 2
  (cd "$dir" && QuorVBoy "$@" </dev/null >"$out" 2>&1)
}

# --- A user who cannot write the program folder ------------------------------
if command -v setpriv >/dev/null && getent passwd nobody >/dev/null; then
  user_dir="$work/as-user"
  make_collection "$user_dir"
  chown -R nobody "$user_dir"
  if (cd "$user_dir" && setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups \
        env HOME="$user_dir" /usr/bin/QuorVBoy list </dev/null >"$work/user.out" 2>&1); then
    ok "QuorVBoy list as nobody ends with status 0"
  else
    fail "QuorVBoy list as nobody ends with status 0"
  fi
  check "as nobody: read the installed QuorInfo.cfg" sh -c "! grep -q 'Cannot open' '$work/user.out'"
  check "as nobody: the database lands in the collection's folder" test -s "$user_dir/QuorVBoy.db"
  check "as nobody: nothing is written beside the program" test ! -e /usr/lib/quorvboy/QuorVBoy.db
  check "as nobody: VBoyMiss.txt written" test -s "$user_dir/VBoyMiss.txt"
else
  echo "skip - no setpriv or no user nobody: the run as a user without write access"
fi

# --- list, from the collection's folder --------------------------------------
coll="$work/collection"
make_collection "$coll"
out="$work/list.out"
if run_in "$coll" "$out" list changes; then ok "QuorVBoy list changes ends with status 0"; else fail "QuorVBoy list changes ends with status 0"; fi
sed 's/^/       | /' "$out"
check "read the installed QuorInfo.cfg (no 'Cannot open ... Using Defaults')" sh -c "! grep -q 'Cannot open' '$out'"
check "printed the missing summary" grep -Eq '^You are missing [0-9]+ of [0-9]+ known Nintendo Virtual Boy ROMS' "$out"
check "printed 'You have 2 of 37'" grep -q '^You have 2 of 37 known Nintendo Virtual Boy ROMS' "$out"
check "logged the change of tetris.vb" grep -qF 'N: "3D Tetris (U)"  O: "tetris"' "$out"
check "VBoyMiss.txt written in the collection's folder" grep -q '^ You are missing' "$coll/VBoyMiss.txt"
check "VBoyHave.txt lists 3D Tetris (U)" grep -qx '3D Tetris (U)' "$coll/VBoyHave.txt"
check "VBoyHave.txt lists Mario Clash (JU)" grep -qx 'Mario Clash (JU)' "$coll/VBoyHave.txt"
check "VBoyLog.txt written" grep -qF 'N: "Mario Clash (JU)"  O: "mario clash"' "$coll/VBoyLog.txt"
check "list touched no image" test -f "$coll/tetris.vb" -a -f "$coll/mario clash.vb" -a ! -e "$coll/VBoyRen"
check "the database lands beside the resolved program" \
      sh -c "head -c 4 /usr/lib/quorvboy/QuorVBoy.db | grep -q QUOR"

# --- audit: the installed configuration has rules ----------------------------
if run_in "$coll" "$work/audit.out" audit; then ok "QuorVBoy audit ends with status 0"; else fail "QuorVBoy audit ends with status 0"; fi
check "audit read the group rules" sh -c "grep -q '^Unmatched listings in QuorInfo.cfg' '$work/audit.out' && ! grep -q 'QuorInfo.cfg not found' '$work/audit.out'"

# --- rename dirs: into the group folders of the installed configuration ------
if run_in "$coll" "$work/rename.out" rename dirs; then ok "QuorVBoy rename dirs ends with status 0"; else fail "QuorVBoy rename dirs ends with status 0"; fi
check "rename dirs put 3D Tetris (U).vb into a group folder" \
      test -n "$(find "$coll/VBoyRen" -mindepth 2 -name '3D Tetris (U).vb' 2>/dev/null)"
check "rename dirs left the unknown image alone" test -f "$coll/homebrew.vb"

# --- Remove ------------------------------------------------------------------
if dpkg -r "$package" >/dev/null 2>&1; then ok "dpkg -r $package"; else fail "dpkg -r $package"; fi
check "removed /usr/bin/QuorVBoy" test ! -e /usr/bin/QuorVBoy -a ! -L /usr/bin/QuorVBoy
check "removed the program" test ! -e /usr/lib/quorvboy/QuorVBoy
check "kept the conffile /etc/quorvboy/QuorInfo.cfg until purge" test -f /etc/quorvboy/QuorInfo.cfg
if dpkg -P "$package" >/dev/null 2>&1; then ok "dpkg -P $package"; else fail "dpkg -P $package"; fi
installed_here=0
check "purge removed /etc/quorvboy" test ! -e /etc/quorvboy
check "purge removed /usr/lib/quorvboy and its database" test ! -e /usr/lib/quorvboy

if [ "$failures" -ne 0 ]; then
  echo "check-deb: $failures check(s) failed"
  exit 1
fi
echo "check-deb: all checks passed"
