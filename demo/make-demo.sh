#!/usr/bin/env bash
# Rebuilds demo.mp3 and demo.lrc: four short sung-like lines spoken by
# espeak-ng, one word at a time, so that every word's start is known to the
# sample and the LRC stamps fit the audio exactly.
#
# Needs espeak-ng, sox and lame.  Output goes beside this script.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

title="Morning at the Café"
artist="Lyrasil Demo Voice"
album="Lyrasil Demo"
lines=(
  "Morning light in the little café"
  "Déjà vu of a song we play"
  "Hum the words and count the time"
  "Every word will find its line"
)

rate=44100
lead=0.50      # silence before the first word, seconds
word_gap=0.06  # between words of a line
line_gap=0.60  # between lines
tail=0.80      # after the last word

silence() { # seconds, output file
  sox -n -r "$rate" -c 1 -b 16 "$2" trim 0 "$1"
}

# One trimmed clip per word; the position of each word is the running
# total of the clips and gaps before it, counted in samples.
parts=()
pos=0
seconds_to_samples() { awk -v s="$1" -v r="$rate" 'BEGIN { printf "%d", s * r + 0.5 }'; }
stamp() { # samples -> mm:ss.xx, rounded to hundredths
  awk -v n="$1" -v r="$rate" 'BEGIN { h = int(n * 100 / r + 0.5);
    printf "%02d:%02d.%02d", int(h / 6000), int(h / 100) % 60, h % 100 }'
}

silence "$lead" "$work/lead.wav"; parts+=("$work/lead.wav")
pos=$(seconds_to_samples "$lead")
silence "$word_gap" "$work/wgap.wav"
silence "$line_gap" "$work/lgap.wav"
silence "$tail" "$work/tail.wav"
wgap=$(soxi -s "$work/wgap.wav")
lgap=$(soxi -s "$work/lgap.wav")

lrc="$work/demo.lrc"
{
  printf '[ti:%s]\n[ar:%s]\n[al:%s]\n' "$title" "$artist" "$album"
} >"$lrc"

n=0
for li in "${!lines[@]}"; do
  read -r -a words <<<"${lines[$li]}"
  if [ "$li" -gt 0 ]; then parts+=("$work/lgap.wav"); pos=$((pos + lgap)); fi
  row=""
  for wi in "${!words[@]}"; do
    w=${words[$wi]}
    n=$((n + 1))
    espeak-ng -v en-us -s 150 -w "$work/raw$n.wav" "$w"
    # Trim the voice's own silence at both ends (1% threshold) and bring
    # it to the common rate.
    sox "$work/raw$n.wav" -r "$rate" -c 1 -b 16 "$work/w$n.wav" \
      silence 1 0.005 1% reverse silence 1 0.005 1% reverse
    if [ "$wi" -gt 0 ]; then parts+=("$work/wgap.wav"); pos=$((pos + wgap)); fi
    if [ "$wi" -eq 0 ]; then
      row="[$(stamp "$pos")]$w"
    else
      row="$row <$(stamp "$pos")>$w"
    fi
    parts+=("$work/w$n.wav")
    pos=$((pos + $(soxi -s "$work/w$n.wav")))
  done
  printf '%s\n' "$row" >>"$lrc"
done
parts+=("$work/tail.wav")

sox "${parts[@]}" "$work/demo.wav"
# A small version-3 tag with title, artist and album (UTF-16, as many
# taggers write it) and the encoder's own frame: frames that an import must
# keep.
lame --quiet -m m -b 64 --id3v2-only --id3v2-utf16 \
  --tt "$title" --ta "$artist" --tl "$album" "$work/demo.wav" "$work/demo.mp3"

cp "$work/demo.mp3" "$here/demo.mp3"
cp "$lrc" "$here/demo.lrc"
echo "demo.mp3: $(stat -c %s "$here/demo.mp3") bytes, $(soxi -D "$work/demo.wav") s"
