# Names of every kind (spaces, quotes, a tab, a line feed, a carriage return, other control bytes, bytes
# beyond ASCII) are journaled without ambiguity and come back exactly.
posix_only
gen image $'tab\there.vb' "Golf (U)"
gen image $'new\nline.vb' "Jack Bros (U)"
gen image $'"quoted" \'single\'.vb' "Teleroboxer (JU)"
gen image $'carriage\rreturn.vb' "Red Alarm (U)"
gen image 'bäckslash\ und ü.vb' "Waterworld (U)"
gen image $'bell\a and escape\e.vb' "Virtual Golf (J)"
ls -b | sort >"$TRASH/../before"
sorted quor move >/dev/null
journal | sort
sorted quor undo >/dev/null
ls -b | grep -v '^VBoy' | sort | diff "$TRASH/../before" - && echo "every name as before"
