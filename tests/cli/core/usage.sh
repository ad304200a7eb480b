# No mode word: the banner on standard output, the usage text with its pause for ENTER (which reads one
# line, at most 15 characters, and goes on at the end of the input), then the catalogue's statistics.
gen image game.vb
printf '\n' | quor
quor quiet
printf x | quor deep dirs nodb changes sep_ whatever
printf 'a much longer answer than fifteen characters\nmore\n' | quor 'sep ' nosep
# "convert" prints its line first and is no mode; each stream is flushed before the other takes over.
printf '\n' | quor convert 2>&1
