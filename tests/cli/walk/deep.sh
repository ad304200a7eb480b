# scand and scannewd also walk the folders below (each "Scanning" line as it is entered), but not hidden
# ones; the listing and the ZIP error log stay in the start folder, which no noscan file stops.
gen image top.vb "Jack Bros (U)"
gen image A/a.vb
gen image A/B/b.vb "Golf (U)"
: >A/B/bad.zip
gen image .hidden/h.vb
hide .hidden
: >_noscan.Quor
for words in scand scannewd "scannewd deep quiet"; do
  quor $words
  sortfile VAvuDevo.zid
  show VAvuDevo.zid
  rm VAvuDevo.zid
done
show Quor_ZIP.txt
