# Nothing can be created anywhere: every name that cannot be created is reported once, images that cannot
# be opened are reported (before the size test) and skipped, the walk goes on, and nothing changes.
as_nobody
echo '[VBoy]' | cfg
gen image "Golf (U).vb" "Golf (U)"
gen image "golf copy.vb" "Golf (U)"
gen image Teleroboxer.vb "Teleroboxer (JU)"
gen image unknown.vb
gen image sub/deeper.vb
gen image locked.vb "Jack Bros (U)"
echo "too short" >"tiny locked.vb"
chmod 000 locked.vb "tiny locked.vb"
chmod 555 sub . "$TRASH/program" "$TRASH/home"
for words in scan "scand deep" list "rename changes" "move changes-"; do
  echo "# $words"; echo "# $words" >&2
  sorted quor $words
done
