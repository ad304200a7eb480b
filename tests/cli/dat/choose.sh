# The group file's DAT= line (relative to the program folder) names the catalogue, its KEY= is passed
# over; a dat= word (relative to the start folder) overrides it. Everything reads the DAT's entries: the
# statistics ("baddump" is bad, "[t" a trainer), scannew, the group folders of dirs, the audit, the
# emulator CRC file (alone on standard output, years apart), the have database; a clrmamepro DAT too.
gen image jack.vb "Jack Bros (U)"
gen image unknown.vb
gen dat --format cmp --name "VB (community)" --version 3 ../program/vb.dat "Jack Bros (USA)=jack.vb" \
    "Mario Clash (Japan, USA)=jack.vb|crc=a47de78c|status=baddump" \
    "Prototypes of a Long-Named Game, Held in One (Japan) (1995-08)=|crc=0badc0de"
gen dat --name Other --version 1 ../other.dat "Jack Bros (USA) (Other) [t1]=jack.vb"
cfg <<'CFG'
[VBoy]
KEY=5a5a5a5a
DAT=./vb.dat
(USA):USA
(Japan):Japan
CFG
sorted quor scannew
cat VAvuDevo.zid
quor audit2
quor mess-crcs
quor listd dirs dat=../other.dat
quor rename dirs
files
