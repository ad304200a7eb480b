# A file moved away or replaced since the run, or whose old name is taken meanwhile, stays where it is,
# said on standard error; the rest comes back, and the run counts as taken back.
gen image a.vb "Golf (U)"
gen image b.vb "Jack Bros (U)"
gen image c.vb "Teleroboxer (JU)"
gen image d.vb "Red Alarm (U)"
quor rename >/dev/null
rm "VBoyRen/Golf (U).vb"
gen image "VBoyRen/Jack Bros (U).vb" "Jack Bros (U)" --seed 5
gen image c.vb
sorted quor undo | dated
quor undo
