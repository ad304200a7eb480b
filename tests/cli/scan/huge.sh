# 4 GiB + 8,192 bytes would pass as 8,192 by the low 32 bits of its size: it is refused, nothing listed.
gen image huge.vb "Golf (U)"
truncate -s $(((1 << 32) + 8192)) huge.vb || exit 77
quor scan
files
rm huge.vb
