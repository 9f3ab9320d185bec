#!/bin/sh
# Typesets the user guide:  make-guide.sh SOURCE.ms OUTPUT.pdf
# Run in the folder that holds the screenshots as PDF images (the source
# names them without a folder).  Any warning of groff fails the build, so a
# broken page never goes unnoticed.  .PDFPIC asks pdfinfo for the images'
# sizes, which needs groff's unsafe mode (-U).
set -eu
src=$1
out=$2
log=$out.log
if ! groff -Tpdf -ms -t -k -U -ww -dpaper=a4 -P-pa4 "$src" >"$out.tmp" 2>"$log" || [ -s "$log" ]; then
  cat "$log" >&2
  rm -f "$out.tmp"
  exit 1
fi
rm -f "$log"
mv "$out.tmp" "$out"
