# A DAT is untrusted input. One that is missing, neither format, cut short or holding a NUL ends the run
# after the banner with its reason (and a line for a syntax error): nothing is moved or written; so does
# one that declares entities. Deep nesting is harmless; names that cannot be file names everywhere, or
# come twice in any case, are passed over with a word each.
cfg </dev/null
gen image jack.vb "Jack Bros (U)"
quor rename DAT=missing.dat
printf 'just text\n' >../text.dat
quor rename DAT=../text.dat
for bad in xml:cut xml:nul xml:entity cmp:cut cmp:nul; do
  gen dat --format ${bad%:*} --damage ${bad#*:} ../bad.dat "Jack Bros (USA)=jack.vb" "Golf (USA)=jack.vb|crc=2199af41"
  quor rename DAT=../bad.dat
done
files
for format in xml cmp; do
  gen dat --format $format --damage deep ../deep.dat "Jack Bros (USA)=jack.vb"
  quor list quiet DAT=../deep.dat
done
gen dat ../names.dat "Golf (USA)=jack.vb|crc=0" "CON.x=jack.vb" "a:b=jack.vb" "..=jack.vb" \
    "Jack Bros (USA)=jack.vb" "JACK BROS (USA)=jack.vb" "$(printf 'x%.0s' {1..201})=jack.vb"
quor list quiet DAT=../names.dat
cat VBoyHave.txt
