# scan lists every loose image of the start folder that passes the size test (8,192 to 2,099,200 bytes),
# then the format test; hidden files count, subfolders do not, names keep their inner dots. 4 GiB + 8,192
# bytes would pass as 8,192 by the low 32 bits of its size: it is refused too.
gen image "Jack Bros (U).vb" "Jack Bros (U)"
gen image a.b.VB --size 2099200
gen image .vb "Golf (U)"
gen image .secret.Vb "Teleroboxer (JU)"
gen image notes.txt
gen image game.vbx
gen image sub/inside.vb "Golf (U)"
gen image s8191.vb --size 8191
gen image s2099201.vb --size 2099201
gen image plain.vb --plain
gen image plain8191.vb --plain --size 8191
gen image huge.vb "Golf (U)"
truncate -s $(((1 << 32) + 8192)) huge.vb || exit 77
sorted quor scan
sortfile VAvuDevo.zid
show VAvuDevo.zid
