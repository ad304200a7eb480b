# Links are never followed: every link, to a folder or a file, is passed over with a line of its own, so no
# folder comes up twice. A pipe is no image and is never opened.
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
