# Words are matched by the letters at a few positions, in any case: "sepn" sets the separator n and
# selects scan (S first, N fourth), "scan nosep" is a scan, "r" selects rename.
gen image tetris.vb "3D Tetris (U)"
quor sepn
quor scan nosep
quor r CHANGES
files
