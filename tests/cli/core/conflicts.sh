# More than one mode, or sep with nosep: the usage and two lines on standard error, nothing run.
gen image game.vb
for words in "list rename" "scan audit" "sep_ nosep" "rename messfiles" "scannew sepn nosep" \
             "list v-----n" "convert list rename" "list undo"; do
  echo "# $words"; echo "# $words" >&2
  printf '\n' | quor $words
done
