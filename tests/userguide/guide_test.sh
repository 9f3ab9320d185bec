#!/bin/sh
# The user guide as built and as installed, and the manual pages:
#   guide_test.sh BUILD-DIR DOCDIR-PROBE MAN-DIR
# Needs pdfinfo, pdftotext and pdfimages (poppler-utils) and groff.
set -u
build=$1
probe=$2
mandir=$3
guide=$build/doc/lyrasil.pdf
status=0
fail() { echo "FAIL: $*"; status=1; }

# 1. The typeset guide: its pages, its headings in order, both screenshots.
[ -f "$guide" ] || { echo "FAIL: no user guide at $guide"; exit 1; }
pages=$(pdfinfo "$guide" | sed -n 's/^Pages: *//p')
[ "${pages:-0}" -ge 4 ] || fail "the guide has ${pages:-no} pages, expected 4 or more"
pdfinfo "$guide" | grep -q '^Title: *Lyrasil user guide$' || fail "the guide has no title"
text=$(pdftotext -layout "$guide" -) || fail "pdftotext cannot read the guide"
last=0
for heading in "Synchronised lyrics" "Starting the editor" "A session, step by step" "Open the track" \
               "Bring in the lyrics" "Play and stamp with the space bar" "Verify the table" "Save" "Export" \
               "The table and its markers" "Playback and the lyrics view" "Options" "Unsaved changes" \
               "The command-line converters" "Files"; do
  line=$(printf '%s\n' "$text" | grep -n -E "^ *[0-9.]+ +$heading *\$" | head -1 | cut -d: -f1)
  if [ -z "$line" ]; then
    fail "heading \"$heading\" is missing"
  elif [ "$line" -le "$last" ]; then
    fail "heading \"$heading\" is out of order"
  else
    last=$line
  fi
done
# Phrases may be broken across lines: compare with the text on one line.
flat=$(printf '%s\n' "$text" | tr -s ' \n' '  ')
for words in "lyrasil-import song.mp3 words" "Clear time-stamps to end of table" "Highlight duration"; do
  case "$flat" in *"$words"*) ;; *) fail "the guide does not mention \"$words\"" ;; esac
done
images=$(pdfimages -list "$guide" | awk 'NR > 2 && $3 == "image"' | wc -l)
[ "$images" -eq 2 ] || fail "the guide holds $images images, expected the 2 screenshots"

# 2. An installed tree: the installed editor's rule finds the guide and the
#    tips in one folder.
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
if cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
  docdir=$("$probe" "$prefix/bin")
  [ -f "$docdir/lyrasil.pdf" ] || fail "no lyrasil.pdf in the installed editor's documentation folder $docdir"
  [ -f "$docdir/lyrasil.tips" ] || fail "no lyrasil.tips in the installed editor's documentation folder $docdir"
  cmp -s "$guide" "$docdir/lyrasil.pdf" || fail "the installed guide differs from the built one"
  for page in lyrasil lyrasil-import lyrasil-export; do
    [ -f "$prefix/share/man/man1/$page.1" ] || fail "manual page $page.1 is not installed"
  done
else
  cat "$prefix.log"
  fail "cmake --install failed"
fi
rm -f "$prefix.log"

# 3. Every manual page reads without a warning.
for page in "$mandir"/*.1; do
  warnings=$(groff -man -ww -Tutf8 -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "groff warns about $page: $warnings"
done

[ $status -eq 0 ] && echo "user guide, installed tree and manual pages: all checks passed"
exit $status
