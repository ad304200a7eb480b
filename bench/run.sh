#!/usr/bin/env bash
# run.sh - QuorVBoy's benchmark: scan, list and rename, without and with a DAT, against the read limit and the usual tools, on two corpus sizes
#
#   bench/run.sh [--small N] [--runs N] [--out DIR] [--nice N]
#
#   --small N   loose images in the small corpus (300); the large corpus has ten
#               times as many of everything
#   --runs N    timed runs of each job, after one untimed warm-up (5)
#   --out DIR   where the builds, corpora and results go (bench-out/)
#   --nice N    run the timed jobs at this niceness (below 0 needs root), so
#               that other work on a shared machine disturbs them less
#
# Corpora are kept in OUT/corpus and made again only when their quorgen
# arguments change; delete that folder after changing the image synthesis.
#
# Builds QuorVBoy in Release (once with libdeflate's CRC-32, once with zlib's),
# generates the corpora with quorgen, warms the page cache, and times each job
# side by side with its baselines in the same run: the bench's own bare fread
# loop, cat, rhash --crc32, unzip -p, and for the runs with a DAT of the
# corpus (quorgen writes it, in both formats) sha1sum and sha256sum, alone
# and after unzip -p; last the runs with a DAT of 100,000 entries, for their
# peak memory. Prints medians, ratios and peak
# resident memory as a markdown table (also kept in OUT/results.md), then the
# targets and whether each is met. Nothing here is a test: timings depend on
# the machine and on what else runs on it.
set -euo pipefail

src="$(cd "$(dirname "$0")/.." && pwd)"
out="$src/bench-out"
small=300
runs=5
nice=""
while [ $# -gt 0 ]; do
  case "$1" in
    --small) small="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --nice) nice="$2"; shift 2 ;;
    *) sed -n '3,12p' "$0" >&2; exit 2 ;;
  esac
done
mkdir -p "$out"
out="$(cd "$out" && pwd)"
tmp="$out/tmp"
mkdir -p "$tmp"

# --- tools ------------------------------------------------------------------

. "$src/tools/lib.sh"
need_packages cmake g++ make zlib1g-dev libgtest-dev libdeflate-dev libssl-dev libpugixml-dev rhash unzip time \
  ltrace strace coreutils

echo "Building (Release) in $out/build and $out/build-zlib" >&2
cmake -S "$src" -B "$out/build" -DCMAKE_BUILD_TYPE=Release >"$tmp/cmake.log"
cmake --build "$out/build" -j"$(nproc)" --target QuorVBoy quorgen quorreadloop >>"$tmp/cmake.log"
cmake -S "$src" -B "$out/build-zlib" -DCMAKE_BUILD_TYPE=Release -DQUOR_USE_LIBDEFLATE=OFF \
  -DBUILD_TESTING=OFF >>"$tmp/cmake.log"
cmake --build "$out/build-zlib" -j"$(nproc)" --target QuorVBoy >>"$tmp/cmake.log"
grep -q QUOR_CRC_LIBDEFLATE "$out/build/CMakeFiles/quorcore.dir/flags.make" ||
  echo "warning: libdeflate was not found; both builds use zlib's CRC-32" >&2

# Each build runs from a program folder of its own, with the sample group file.
for p in prog prog-zlib; do
  mkdir -p "$out/$p"
  cp "$src/config/QuorInfo.cfg" "$out/$p/"
done
cp "$out/build/QuorVBoy" "$out/prog/"
cp "$out/build-zlib/QuorVBoy" "$out/prog-zlib/"
quor="$out/prog/QuorVBoy"
quorzlib="$out/prog-zlib/QuorVBoy"
gen="$out/build/bench/quorgen"
readloop="$out/build/bench/quorreadloop"

# --- corpora ----------------------------------------------------------------

# corpus NAME ARGS...: makes $out/corpus/NAME with quorgen unless it is there
# already from the same arguments.
corpus() {
  local name="$1"; shift
  local dir="$out/corpus/$name"
  if [ -f "$dir.args" ] && [ "$(cat "$dir.args")" = "$*" ]; then
    return 0
  fi
  rm -rf "$dir" "$dir.args"
  echo "Generating $name: quorgen $*" >&2
  "$gen" "$dir" "$@" >&2
  echo "$*" >"$dir.args"
}

for size in small large; do
  n=$small
  [ $size = large ] && n=$((small * 10))
  corpus "$size-loose" --images "$n" --seed 11 \
    --xml-dat "$out/corpus/$size-loose.xml" --cmp-dat "$out/corpus/$size-loose.dat"
  # list reads no member data, so these archives hold small images, and many.
  corpus "$size-known" --images 0 --stored-zips $((n * 5 / 2)) --deflated-zips $((n * 5 / 2)) \
    --max-size 64K --known-share 1 --seed 12
  corpus "$size-deflated" --images 0 --deflated-zips $((n / 3)) --seed 13 \
    --xml-dat "$out/corpus/$size-deflated.xml" --cmp-dat "$out/corpus/$size-deflated.dat"
  corpus "$size-mixed" --images $((n / 2)) --stored-zips $((n / 10)) --deflated-zips $((n / 10)) \
    --others $((n / 20)) --dupes $((n / 20)) --subdirs 3 --seed 14
done
# A hundred images, sizes up to 2 MiB, and DATs that list their known ones
# among 100,000 entries: the memory a large DAT takes.
# DATs of 1,000 made-up entries that list none of the images above: a scan
# with one of them hashes nothing.
corpus nomatch --images 0 --seed 16 --xml-dat "$out/corpus/nomatch.xml" --cmp-dat "$out/corpus/nomatch.dat" \
  --dat-entries 1000
corpus dat100k --images 100 --seed 15 --xml-dat "$out/corpus/dat100k.xml" --cmp-dat "$out/corpus/dat100k.dat" \
  --dat-entries 100000

# Every file of a corpus folder, one a line, NUL-separated for xargs (after
# clearing what an earlier benchmark's runs left there).
for d in "$out"/corpus/*/; do
  name="$(basename "$d")"
  (cd "$d" && rm -f VAvuDevo.zid VBoyHave.txt VBoyMiss.txt VBoyMiss.dat VBoyDupes.txt VBoyLog.txt Quor_ZIP.txt)
  (cd "$d" && find . -maxdepth 1 -type f -printf '%P\n' | LC_ALL=C sort >"$tmp/$name.list")
  tr '\n' '\0' <"$tmp/$name.list" >"$tmp/$name.list0"
done

echo "Warming the page cache" >&2
find "$out/corpus" -type f -exec cat {} + >/dev/null

# --- measuring --------------------------------------------------------------

# Removes what a QuorVBoy run leaves, so that every run starts alike.
clean_outputs() {
  rm -f "$out/prog/QuorVBoy.db" "$out/prog-zlib/QuorVBoy.db"
  (cd "$1" && rm -f VAvuDevo.zid VBoyHave.txt VBoyMiss.txt VBoyMiss.dat VBoyDupes.txt VBoyLog.txt Quor_ZIP.txt)
}

# The jobs of one round, in the order they run: key, folder, mode ("plain",
# or "rename" for a run on a fresh copy of the folder) and command.
job_keys=() job_dirs=() job_modes=() job_cmds=()
job() {
  job_keys+=("$1") job_dirs+=("$2") job_modes+=("$3")
  shift 3
  job_cmds+=("$(printf '%q ' "$@")")
}

renice=""
[ -n "$nice" ] && renice="nice -n $nice"

# Runs job i once and appends "wall-µs cpu-ms rss-KiB" to its record (times
# to the millisecond, as the shell's time keyword gives them). A rename
# runs on a fresh copy made of hard links: as warm in the page cache as the
# corpus itself, and made in no time.
run_job() {
  local i="$1" where="${job_dirs[$1]}"
  if [ "${job_modes[$i]}" = rename ]; then
    rm -rf "$tmp/renamed"
    cp -al "$where" "$tmp/renamed"
    where="$tmp/renamed"
  fi
  clean_outputs "$where"
  cd "$where"
  local TIMEFORMAT='%3R %3U %3S'
  { time eval "$renice /usr/bin/time -f %M -o $tmp/rss ${job_cmds[$i]} >$tmp/stdout 2>$tmp/stderr || true"; } 2>"$tmp/times"
  cd "$out"
  awk -v rss="$(tail -n 1 "$tmp/rss")" '{printf "%d %d %d\n", $1 * 1e6, ($2 + $3) * 1000, rss}' \
    "$tmp/times" >>"$tmp/record.${job_keys[$i]}"
}

# Runs every job once untimed, then $runs rounds of all of them in turn, so
# that whatever else the machine does falls on every job alike. Leaves the
# median wall and CPU seconds and the largest peak RSS of each job.
declare -A secs cpus rss
run_rounds() {
  local round i key
  for key in "${job_keys[@]}"; do rm -f "$tmp/record.$key"; done
  for ((round = 0; round <= runs; round++)); do
    echo "  round $round of $runs" >&2
    for i in "${!job_keys[@]}"; do run_job "$i"; done
    if [ $round -eq 0 ]; then
      for key in "${job_keys[@]}"; do rm -f "$tmp/record.$key"; done
    fi
  done
  for key in "${job_keys[@]}"; do
    secs[$key]=$(median 1 1e6 <"$tmp/record.$key")
    cpus[$key]=$(median 2 1e3 <"$tmp/record.$key")
    rss[$key]=$(awk '$3 > m {m = $3} END {print m + 0}' "$tmp/record.$key")
    echo "  $key: ${secs[$key]} s (CPU ${cpus[$key]} s), peak ${rss[$key]} KiB" >&2
  done
}

# median FIELD DIVISOR: the median of a column, divided.
median() {
  awk -v f="$1" '{print $f}' | sort -n |
    awk -v d="$2" '{a[NR] = $1} END {m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.4f", m / d}'
}

# Files and bytes of each corpus, subfolders included.
declare -A bytes files
for d in "$out"/corpus/*/; do
  name="$(basename "$d")"
  files[$name]=$(find "$d" -type f | wc -l)
  bytes[$name]=$(find "$d" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
done
# The uncompressed bytes of the deflated archives' members.
declare -A inflated
for size in small large; do
  inflated[$size]=$(cd "$out/corpus/$size-deflated" && unzip -qq -p '*.zip' | wc -c)
done

mkdir -p "$tmp/empty"
# Each mode in an empty folder: the fixed cost of a run.
for mode in scan list rename; do
  job "empty.$mode" "$tmp/empty" plain "$quor" "$mode"
done
# The DATs of 100,000 entries: read in an empty folder (the cost of the DAT
# alone), and over a hundred images by scan and by list, which also writes
# the 99,970-odd missing entries as VBoyMiss.txt and VBoyMiss.dat.
for f in xml dat; do
  job "big.empty$f" "$tmp/empty" plain "$quor" scan "DAT=$out/corpus/dat100k.$f"
  job "big.scan$f" "$out/corpus/dat100k" plain "$quor" scan "DAT=$out/corpus/dat100k.$f"
  job "big.list$f" "$out/corpus/dat100k" plain "$quor" list "DAT=$out/corpus/dat100k.$f"
done
for size in small large; do
  loose="$out/corpus/$size-loose"
  known="$out/corpus/$size-known"
  deflated="$out/corpus/$size-deflated"
  mixed="$out/corpus/$size-mixed"
  job "$size.readloop" "$loose" plain "$readloop" "$tmp/$size-loose.list"
  job "$size.cat" "$loose" plain xargs -0 -a "$tmp/$size-loose.list0" cat
  job "$size.rhash" "$loose" plain xargs -0 -a "$tmp/$size-loose.list0" rhash --crc32
  job "$size.scan" "$loose" plain "$quor" scan
  job "$size.scanzlib" "$loose" plain "$quorzlib" scan
  job "$size.list" "$loose" plain "$quor" list
  job "$size.rename" "$loose" rename "$quor" rename
  job "$size.knownlist" "$known" plain "$quor" list
  job "$size.knownscan" "$known" plain "$quor" scan
  job "$size.unzip" "$deflated" plain unzip -qq -p '*.zip'
  job "$size.dscan" "$deflated" plain "$quor" scan
  job "$size.mscan" "$mixed" plain "$quor" scand
  job "$size.mlist" "$mixed" plain "$quor" listd
  job "$size.mrename" "$mixed" rename "$quor" rename
  # With a DAT of the corpus: every image whose CRC an entry gives is hashed
  # (SHA-256 with the XML DAT, SHA-1 with the clrmamepro one), every archive
  # member inflated.
  job "$size.sha1sum" "$loose" plain xargs -0 -a "$tmp/$size-loose.list0" sha1sum
  job "$size.sha256sum" "$loose" plain xargs -0 -a "$tmp/$size-loose.list0" sha256sum
  job "$size.listdat" "$loose" plain "$quor" list "DAT=$loose.dat"
  job "$size.listxml" "$loose" plain "$quor" list "DAT=$loose.xml"
  job "$size.scandat" "$loose" plain "$quor" scan "DAT=$loose.dat"
  job "$size.scanxml" "$loose" plain "$quor" scan "DAT=$loose.xml"
  job "$size.scannonedat" "$loose" plain "$quor" scan "DAT=$out/corpus/nomatch.dat"
  job "$size.scannonexml" "$loose" plain "$quor" scan "DAT=$out/corpus/nomatch.xml"
  job "$size.unzipsha1" "$deflated" plain sh -c "unzip -qq -p '*.zip' | sha1sum"
  job "$size.unzipsha256" "$deflated" plain sh -c "unzip -qq -p '*.zip' | sha256sum"
  job "$size.dlistdat" "$deflated" plain "$quor" list "DAT=$deflated.dat"
  job "$size.dlistxml" "$deflated" plain "$quor" list "DAT=$deflated.xml"
done
echo "Timing ${#job_keys[@]} jobs, $runs rounds after a warm-up round" >&2
run_rounds

# --- proof that list decompresses nothing -------------------------------------

# Over the large corpus of archives whose CRCs the catalogue knows: the calls
# of zlib's inflate (ltrace) and the bytes read (strace). Over a copy of the
# small one whose every member's data is overwritten: scan must stumble on
# every deflated member, list on none.
echo "Checking that list decompresses nothing" >&2
known="$out/corpus/large-known"
clean_outputs "$known"
clean_outputs "$out/corpus/small-known"
count_inflate() {
  (cd "$1" && clean_outputs . && ltrace -c -e 'inflate' "$quor" "$2" 2>&1 >/dev/null) |
    awk '$NF == "inflate" {n = $4} END {print n + 0}'
}
bytes_read() {
  (cd "$1" && clean_outputs . &&
    strace -e trace=read,pread64 -e signal=none -o "$tmp/strace" "$quor" "$2" >/dev/null 2>&1)
  awk -F'= ' '/^(read|pread64)\(/ && $NF + 0 > 0 {s += $NF} END {printf "%d", s}' "$tmp/strace"
}
inflate_list=$(count_inflate "$known" list)
inflate_scan=$(count_inflate "$known" scan)
read_list=$(bytes_read "$known" list)
read_scan=$(bytes_read "$known" scan)

# Overwrites up to 4 KiB of every member's data with 0xFF from its first byte:
# a deflate stream that starts so has a block of the reserved type, which
# inflate refuses at once.
rm -rf "$tmp/corrupt"
cp -a "$out/corpus/small-known" "$tmp/corrupt"
zips=0 deflated_zips=0
cd "$tmp/corrupt"
for z in *.zip; do
  name=$(unzip -Z1 "$z")
  read -r csize method < <(unzip -Zl "$z" | awk 'NR == 3 {print $6, $7}')
  len=$((csize < 4096 ? csize : 4096))
  head -c "$len" /dev/zero | tr '\0' '\377' |
    dd of="$z" bs="$len" count=1 seek=$((30 + ${#name})) oflag=seek_bytes conv=notrunc iflag=fullblock status=none
  zips=$((zips + 1))
  [ "$method" != stor ] && deflated_zips=$((deflated_zips + 1))
done
cd "$out"
(cd "$tmp/corrupt" && clean_outputs . && "$quor" list >"$tmp/corrupt.list.out" 2>&1)
(cd "$tmp/corrupt" && clean_outputs . && "$quor" scan >"$tmp/corrupt.scan.out" 2>&1)
errors_list=$(grep -c '^Error in zipfile' "$tmp/corrupt.list.out" || true)
errors_scan=$(grep -c '^Error in zipfile' "$tmp/corrupt.scan.out" || true)
have_list=$(grep -o 'You have [0-9]* of [0-9]*' "$tmp/corrupt.list.out" || true)

# --- the table ----------------------------------------------------------------

# The entries of a clrmamepro DAT, and the bytes of those that are images of the corpus.
dat_entries() { grep -c '^[[:space:]]*rom (' "$1"; }
dat_bytes() {
  awk '/^[[:space:]]*name "/ {c = !/"Filler/}
       /^[[:space:]]*rom \(/ && c {for (i = 1; i < NF; i++) if ($i == "size") s += $(i + 1)} END {printf "%d", s}' "$1"
}
div() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", (b > 0) ? a / b : 0}'; }
mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
rate() { awk -v b="$1" -v s="$2" 'BEGIN {printf "%.2f", (s > 0) ? b / s / 1e9 : 0}'; }
mb() { awk -v b="$1" 'BEGIN {printf "%.0f", b / 1e6}'; }

# row CORPUS JOB KEY FILES BYTES [BASELINE-KEY BASELINE-NAME]: one line of the
# table; the read loop ratio only on the loose images that the loop read.
row() {
  local base="" vsread=""
  [ $# -ge 6 ] && base="$(div "${secs[$3]}" "${secs[$6]}") ($(div "${cpus[$3]}" "${cpus[$6]}")) × $7"
  [ "$5" = "$lb" ] && vsread="$(div "${secs[$3]}" "$rl") ($(div "${cpus[$3]}" "$rlc"))"
  echo "| $1 | $2 | $4 | $(mb "$5") | ${secs[$3]} | ${cpus[$3]} | $(rate "$5" "${secs[$3]}") | $vsread | $base | $(mib "${rss[$3]}") |"
}

report="$out/results.md"
{
  echo "| Corpus | Job | Files | MB | Wall s | CPU s | GB/s | × read loop | × baseline | Peak RSS MiB |"
  echo "|---|---|--:|--:|--:|--:|--:|--:|--:|--:|"
  for size in small large; do
    L=$size-loose K=$size-known D=$size-deflated M=$size-mixed
    lb=${bytes[$L]} rl=${secs[$size.readloop]} rlc=${cpus[$size.readloop]}
    row "$size: loose images" "bare fread loop" "$size.readloop" "${files[$L]}" "$lb"
    row "$size: loose images" "cat" "$size.cat" "${files[$L]}" "$lb"
    row "$size: loose images" "rhash --crc32" "$size.rhash" "${files[$L]}" "$lb"
    row "$size: loose images" "**QuorVBoy scan**" "$size.scan" "${files[$L]}" "$lb" "$size.rhash" "rhash"
    row "$size: loose images" "QuorVBoy scan, zlib CRC-32" "$size.scanzlib" "${files[$L]}" "$lb" "$size.rhash" "rhash"
    row "$size: loose images" "QuorVBoy list" "$size.list" "${files[$L]}" "$lb"
    row "$size: loose images" "QuorVBoy rename" "$size.rename" "${files[$L]}" "$lb"
    row "$size: known archives" "**QuorVBoy list**" "$size.knownlist" "${files[$K]}" "${bytes[$K]}"
    row "$size: known archives" "QuorVBoy scan" "$size.knownscan" "${files[$K]}" "${bytes[$K]}"
    row "$size: deflated archives" "unzip -p" "$size.unzip" "${files[$D]}" "${inflated[$size]}"
    row "$size: deflated archives" "**QuorVBoy scan**" "$size.dscan" "${files[$D]}" "${inflated[$size]}" "$size.unzip" "unzip -p"
    row "$size: mixed, 4 folders" "QuorVBoy scand" "$size.mscan" "${files[$M]}" "${bytes[$M]}"
    row "$size: mixed, 4 folders" "QuorVBoy listd" "$size.mlist" "${files[$M]}" "${bytes[$M]}"
    row "$size: mixed, 4 folders" "QuorVBoy rename" "$size.mrename" "${files[$M]}" "${bytes[$M]}"
    row "$size: loose images" "sha1sum" "$size.sha1sum" "${files[$L]}" "$lb"
    row "$size: loose images" "sha256sum" "$size.sha256sum" "${files[$L]}" "$lb"
    row "$size: loose images" "**QuorVBoy list, clrmamepro DAT** (SHA-1)" "$size.listdat" "${files[$L]}" "$lb" \
      "$size.sha1sum" "sha1sum"
    row "$size: loose images" "**QuorVBoy list, XML DAT** (SHA-256)" "$size.listxml" "${files[$L]}" "$lb" \
      "$size.sha256sum" "sha256sum"
    row "$size: loose images" "**QuorVBoy scan, clrmamepro DAT**" "$size.scandat" "${files[$L]}" "$lb" "$size.scan" "scan"
    row "$size: loose images" "**QuorVBoy scan, XML DAT**" "$size.scanxml" "${files[$L]}" "$lb" "$size.scan" "scan"
    row "$size: loose images" "**QuorVBoy scan, clrmamepro DAT of none of them**" "$size.scannonedat" "${files[$L]}" "$lb" \
      "$size.scan" "scan"
    row "$size: loose images" "**QuorVBoy scan, XML DAT of none of them**" "$size.scannonexml" "${files[$L]}" "$lb" \
      "$size.scan" "scan"
    row "$size: deflated archives" "unzip -p \\| sha1sum" "$size.unzipsha1" "${files[$D]}" "${inflated[$size]}"
    row "$size: deflated archives" "unzip -p \\| sha256sum" "$size.unzipsha256" "${files[$D]}" "${inflated[$size]}"
    row "$size: deflated archives" "**QuorVBoy list, clrmamepro DAT** (SHA-1)" "$size.dlistdat" "${files[$D]}" \
      "${inflated[$size]}" "$size.unzipsha1" "unzip -p \\| sha1sum"
    row "$size: deflated archives" "**QuorVBoy list, XML DAT** (SHA-256)" "$size.dlistxml" "${files[$D]}" \
      "${inflated[$size]}" "$size.unzipsha256" "unzip -p \\| sha256sum"
  done
  for f in xml dat; do
    [ $f = xml ] && F="XML DAT" || F="clrmamepro DAT"
    row "100,000-entry DAT: empty folder" "QuorVBoy scan, $F" "big.empty$f" 0 0
    row "100,000-entry DAT: 100 images" "QuorVBoy scan, $F" "big.scan$f" "${files[dat100k]}" "${bytes[dat100k]}"
    row "100,000-entry DAT: 100 images" "QuorVBoy list, $F" "big.list$f" "${files[dat100k]}" "${bytes[dat100k]}"
  done
  echo
  echo "Wall and CPU (user + system) seconds are medians of $runs runs. MB and GB/s count the files'"
  echo "bytes; for the deflated archives, their members' uncompressed bytes. Ratios give wall time"
  echo "(CPU time in brackets). In an empty folder QuorVBoy scan takes ${secs[empty.scan]} s, list ${secs[empty.list]} s"
  echo "and rename ${secs[empty.rename]} s (CPU ${cpus[empty.scan]}, ${cpus[empty.list]}, ${cpus[empty.rename]} s)."
  echo "rename in the mixed corpora moves only what lies in the top folder: it does not descend."
  echo "The DAT of each corpus lists the distinct images that quorgen forged to a catalogue CRC, the"
  echo "others match none of its CRCs; a run with a DAT hashes the images whose CRC an entry gives:"
  for c in small-loose large-loose small-deflated large-deflated nomatch dat100k; do
    echo "- $c: $(dat_entries "$out/corpus/$c.dat") entries, $(mb "$(dat_bytes "$out/corpus/$c.dat")") MB of images" \
      "of the corpus to hash"
  done
} >"$report"

# ratio JOB BASELINE TEXT BASELINE-TEXT: the line of a target of at most 1.2
# times a baseline, for $size.
ratio() {
  local a=${secs[$size.$1]} b=${secs[$size.$2]} ac=${cpus[$size.$1]} bc=${cpus[$size.$2]}
  echo "- $size: $3 takes $(div "$a" "$b")× ($(div "$ac" "$bc")×) $4 (at most 1.2):" \
    "$(both "$a <= 1.2 * $b" "$ac <= 1.2 * $bc")"
}
verdict() { if awk "BEGIN {exit !($1)}"; then echo met; else echo "NOT met"; fi; }
# both WALL-CONDITION CPU-CONDITION: the verdict on wall time, and on CPU time
# where they differ (on a busy machine a run waits for a core, and its wall
# time tells more about the others than about it).
both() {
  local w c
  w=$(verdict "$1") c=$(verdict "$2")
  if [ "$w" = "$c" ]; then echo "$w"; else echo "$w on wall time, $c on CPU time"; fi
}
peak_all=0
for k in "${!rss[@]}"; do
  case "$k" in *.readloop|*.cat|*.rhash|*.unzip|*.sha1sum|*.sha256sum|*.unzipsha1|*.unzipsha256|big.*) continue ;; esac
  [ "${rss[$k]}" -gt "$peak_all" ] && peak_all=${rss[$k]}
done
{
  echo
  echo "Targets (wall time, CPU time in brackets):"
  for size in small large; do
    s=${secs[$size.scan]} r=${secs[$size.readloop]} h=${secs[$size.rhash]}
    sc=${cpus[$size.scan]} rc=${cpus[$size.readloop]} hc=${cpus[$size.rhash]}
    echo "- $size: scan over loose images takes $(div "$s" "$r")× ($(div "$sc" "$rc")×) the bare read loop" \
      "(at most 2.5): $(both "$s <= 2.5 * $r" "$sc <= 2.5 * $rc")"
    echo "- $size: scan over loose images is $(div "$h" "$s")× ($(div "$hc" "$sc")×) faster than rhash --crc32" \
      "(at least 3): $(both "$h >= 3 * $s" "$hc >= 3 * $sc")"
    d=${secs[$size.dscan]} u=${secs[$size.unzip]} dc=${cpus[$size.dscan]} uc=${cpus[$size.unzip]}
    echo "- $size: scan over deflated archives takes $(div "$d" "$u")× ($(div "$dc" "$uc")×) unzip -p" \
      "(at most 1.25): $(both "$d <= 1.25 * $u" "$dc <= 1.25 * $uc")"
    ratio listdat sha1sum "list with the clrmamepro DAT over loose images" "sha1sum of the same files"
    ratio listxml sha256sum "list with the XML DAT over loose images" "sha256sum of the same files"
    ratio dlistdat unzipsha1 "list with the clrmamepro DAT over deflated archives" "unzip -p | sha1sum"
    ratio dlistxml unzipsha256 "list with the XML DAT over deflated archives" "unzip -p | sha256sum"
    ratio scandat scan "scan with the clrmamepro DAT over loose images" "the same scan without a DAT"
    ratio scanxml scan "scan with the XML DAT over loose images" "the same scan without a DAT"
    ratio scannonedat scan "scan with a clrmamepro DAT of none of the images (nothing hashed)" "the same scan without a DAT"
    ratio scannonexml scan "scan with an XML DAT of none of the images (nothing hashed)" "the same scan without a DAT"
  done
  for f in xml dat; do
    [ $f = xml ] && F="an XML" || F="a clrmamepro"
    peak=0
    for k in empty scan list; do
      [ "${rss[big.$k$f]}" -gt "$peak" ] && peak=${rss[big.$k$f]}
    done
    echo "- peak resident memory of a run with $F DAT of 100,000 entries is $(mib "$peak") MiB" \
      "(under 16; $(mib "${rss[big.empty$f]}") MiB in an empty folder, where it takes ${secs[big.empty$f]} s):" \
      "$(verdict "$peak < 16384")"
  done
  echo "- list over ${files[large-known]} archives whose CRCs the catalogue knows decompresses nothing:" \
    "$inflate_list calls of inflate (scan: $inflate_scan); $read_list bytes read of ${bytes[large-known]}," \
    "the central directories and what stdio reads ahead of them (scan: $read_scan); over $zips such archives" \
    "($deflated_zips deflated) with every member's data overwritten, list reports $errors_list damaged archives" \
    "($have_list), scan $errors_scan: $(verdict "$inflate_list == 0 && $errors_list == 0 && $errors_scan >= $deflated_zips")"
  echo "- peak resident memory of any other QuorVBoy run is $(mib "$peak_all") MiB (at most 16): $(verdict "$peak_all <= 16384")"
  for job in scan list rename knownlist knownscan dscan mscan mlist mrename; do
    case $job in
      scan|list|rename) c=loose ;; knownlist|knownscan) c=known ;; dscan) c=deflated ;; *) c=mixed ;;
    esac
    case $job in *scan) e=scan ;; *list) e=list ;; *) e=rename ;; esac
    fr=$(div "${files[large-$c]}" "${files[small-$c]}")
    tr=$(div "${secs[large.$job]}" "${secs[small.$job]}")
    net=$(awk -v l="${secs[large.$job]}" -v s="${secs[small.$job]}" -v z="${secs[empty.$e]}" \
      'BEGIN {printf "%.2f", (s > z) ? (l - z) / (s - z) : 0}')
    cnet=$(awk -v l="${cpus[large.$job]}" -v s="${cpus[small.$job]}" -v z="${cpus[empty.$e]}" \
      'BEGIN {printf "%.2f", (s > z) ? (l - z) / (s - z) : 0}')
    echo "- time linear in files, $job: large/small $net ($cnet) less an empty-folder $e run, $tr as measured," \
      "for $fr× the files (within 20%): $(both "$net >= 0.8 * $fr && $net <= 1.2 * $fr" "$cnet >= 0.8 * $fr && $cnet <= 1.2 * $fr")"
  done
} >>"$report"

{
  echo
  echo "Machine: $(nproc) cores ($(lscpu | sed -n 's/^Model name: *//p' | head -n 1)), $(free -g | awk '/^Mem:/ {print $2}') GiB" \
    "memory, $(uname -sr); libdeflate $(dpkg-query -W -f '${Version}' libdeflate-dev 2>/dev/null)," \
    "zlib $(dpkg-query -W -f '${Version}' zlib1g-dev 2>/dev/null), rhash $(dpkg-query -W -f '${Version}' rhash 2>/dev/null)," \
    "unzip $(dpkg-query -W -f '${Version}' unzip 2>/dev/null), OpenSSL $(dpkg-query -W -f '${Version}' libssl-dev 2>/dev/null)," \
    "pugixml $(dpkg-query -W -f '${Version}' libpugixml-dev 2>/dev/null), coreutils $(dpkg-query -W -f '${Version}' coreutils 2>/dev/null)."
  echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
  echo "Command: bench/run.sh --small $small --runs $runs${nice:+ --nice $nice}"
} >>"$report"
cat "$report"
