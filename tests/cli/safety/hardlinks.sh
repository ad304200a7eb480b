# Names of one file that the user made (hard links) are copies like any others: the second and third go
# to VBoyDupes, each said, and nothing is unlinked.
posix_only
gen image a.vb "Golf (U)"
ln a.vb b.vb
ln a.vb c.vb
sorted quor rename | sed -E 's/Original: [abc]\.vb/Original: one of them/'
