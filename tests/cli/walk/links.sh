# Links back up the tree end the walk: every folder comes up once, and a link to a folder being walked is
# skipped after its "Scanning" line. A pipe is no image and is never opened.
posix_only
gen image top.vb
gen image A/a.vb
ln -s .. A/up
ln -s . A/self
ln -s "$PWD" A/root
mkfifo A/pipe.vb
sorted quor scand
sortfile VAvuDevo.zid
show VAvuDevo.zid
