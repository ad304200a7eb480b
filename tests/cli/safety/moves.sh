# A move that fails for another reason than a taken target says so; the file stays and counts as had.
cfg <<'END'
[VBoy]
(U):USA;/x
END
gen image tetris.vb "3D Tetris (U)"
sorted quor rename sep/
gen image golf.vb "Golf (U)"
sorted quor rename dirs
journal | sed -E "s/ ID [0-9]+/ ID N/" | sort  # moves come in the order of the listing
