# move, then undo; the journal shows what was moved, and how each move ended.
gen image tetris.VB "3D Tetris (U)"
quor move
mv VBoyRen/tetris.VB VBoyRen/kept.VB
gen image tetris.VB "3D Tetris (U)" --seed 2
gen image VBoyRen/tetris.VB "Golf (U)"
quor move
quor undo | sed -E 's/ of [0-9-]+ [0-9:]+$/ of DATE/'
journal() {
  sed -E 's/^([a-z]+) [0-9]+-[0-9a-f]{8}/\1 ID/; s/ [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}/ DATE/;
          s/^(run ID DATE) "[^"]*"/\1 START/; s/ ([0-9]+) -?[0-9]+$/ \1 TIME/; s#\\\\#/#g' VBoyUndo.txt
}
journal
