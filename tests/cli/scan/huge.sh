# 4 GiB + 8,192 bytes would pass as 8,192 by the low 32 bits of its size: it is refused, nothing listed.
# No memory is taken for a file of a size no image has: with a gigabyte at most, an image beside nine
# such files is still read, wherever the folder lists it.
gen image huge.vb "Golf (U)"
truncate -s $(((1 << 32) + 8192)) huge.vb || exit 77
for n in 2 3 4 5 6 7 8 9; do cp --sparse=always huge.vb huge$n.vb; done
gen image small.vb "Jack Bros (U)"
# (Not where the program needs room of its own: under Wine or the address sanitizer.)
limit=1000000
[ $windows = 0 ] && ! grep -qa __asan_init "$TRASH/program/QuorVBoy" || limit=unlimited
(ulimit -v $limit; sorted quor scan)
files
rm huge*.vb
