# A DAT's entry is the image whose size, CRC-32 and strongest hash it gives all match: named by the DAT,
# with or without a mark, 6 MiB or an archive's member. An image with a DAT's CRC but other bytes or
# another size is said and stays; two entries of one CRC are told apart; one without a CRC is no image's,
# not even one of CRC 0; an archive whose directory gives a known CRC for other bytes is not believed. The
# missing entries also go to VBoyMiss.dat. A scan, which lists every image, hashes none but those without
# a mark; list counts a skipped archive's members that verify.
gen image jack.vb "Jack Bros (U)"
gen image forged.vb "Jack Bros (U)" --seed forged
gen image long.vb "Jack Bros (U)" --size 16384
gen image twin-a.vb 0badf00d --seed a
gen image twin-b.vb 0badf00d --seed b
gen image big.vb --size 6291456
gen image plain.vb 12345678 --plain
gen image zero.vb 00000000
gen image ../member 2e20b6e7 --seed game.bin
gen zip --deflate baseball.zip readme.txt:notes game.bin=2e20b6e7
gen zip --set central0.crc32=0x81af4d6d liar.zip a.vb=?
gen image ../solo.vb 13572468
gen zip pair.zip solo.vb=13572468 forged.vb=2e20b6e7
gen dat --name "Nintendo - Virtual Boy" --version 20261207 ../vb.dat "Jack Bros (USA)=jack.vb" \
    "Twin (Japan)=twin-a.vb|sha256=$(printf b%.0s {1..64})" "Twin (Japan) (Rev 1)=twin-b.vb|-sha256" \
    "Big Homebrew (World)=big.vb|-sha256|-sha1" "Demo (PD)=plain.vb" "Baseball (USA)=../member" \
    "Teleroboxer (Japan, USA)=../member|crc=36103000" "Unreleased (Japan)" "Solo (World)=../solo.vb" \
    "Unkeyed (World)=../solo.vb|-crc"
rm ../member ../solo.vb
quor scan DAT=../vb.dat
sortfile VAvuDevo.zid
sorted quor rename DAT=../vb.dat
files
show VAvuDevo.zid VBoyMiss.txt VBoyMiss.dat
sorted quor list quiet DAT=../vb.dat
show VBoyHave.txt
