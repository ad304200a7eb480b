# Folders where files should be: a folder named like a marker is no marker (only a file that can be read
# is one), and a file where VBoyRen should be is a folder that cannot be created (the image stays, counted).
gen image sub/tetris.vb "3D Tetris (U)"
mkdir sub/_noscan.Quor
quor listd
gen image golf.vb "Golf (U)"
: >VBoyRen
quor rename
