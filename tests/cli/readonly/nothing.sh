# Nothing can be created anywhere: every name that cannot be created is reported once, images and folders
# that cannot be opened are reported (before the size test) and skipped, the walk goes on, nothing changes.
# The first known image meets the VBoyRen that cannot be created and is dropped before its changes line;
# which copy of Golf (U) that is depends on the folder's order, so the old names are not shown.
as_nobody
echo '[VBoy]' | cfg
gen image "Golf (U).vb" "Golf (U)"
gen image "golf copy.vb" "Golf (U)"
gen image unknown.vb
gen image sub/deeper.vb
gen image sub/Teleroboxer.vb "Teleroboxer (JU)"
gen image locked.vb "Jack Bros (U)"
echo "too short" >"tiny locked.vb"
mkdir shut closed
chmod 000 locked.vb "tiny locked.vb" shut closed
chmod 555 sub . "$TRASH/program" "$TRASH/home"
for words in scan "scand deep" list "rename changes" "move changes-" undo; do
  echo "# $words"; echo "# $words" >&2
  sorted quor $words | sed 's/O: "[^"]*"/O: "..."/'
done
