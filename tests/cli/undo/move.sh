# move, then undo; the journal shows what was moved, and how each move ended.
gen image tetris.VB "3D Tetris (U)"
quor move
mv VBoyRen/tetris.VB VBoyRen/kept.VB
gen image tetris.VB "3D Tetris (U)" --seed 2
gen image VBoyRen/tetris.VB "Golf (U)"
quor move
quor undo | dated
journal
