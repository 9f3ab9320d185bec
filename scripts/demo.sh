#!/usr/bin/env bash
# The main job on the bundled demo: the demo lyrics go into a copy of the demo
# track as its synchronised-lyrics frame, and come back out as an LRC file.
set -euo pipefail
build=${1:?usage: demo.sh BUILD-DIR}
top=$(cd "$(dirname "$0")/.." && pwd)
work="$build/demo-run"
rm -rf "$work" && mkdir -p "$work"
cp "$top/demo/demo.mp3" "$work/demo.mp3"
cp "$top/demo/demo.lrc" "$work/lyrics.lrc"
cd "$work"
echo "== lyrasil-import demo.mp3 lyrics.lrc"
"$build/tools/lyrasil-import" demo.mp3 lyrics.lrc
echo "== lyrasil-export demo.mp3 back.lrc"
"$build/tools/lyrasil-export" demo.mp3 back.lrc
echo "== back.lrc"
cat back.lrc; echo
echo "== the demo track with its lyrics: $work/demo.mp3"

# The editor, with the demo track and its lyrics open. Without a display it
# says so and ends with status 1, and so does the demo, after the
# command-line round trip above has run.
editor="$build/editor/lyrasil"
if [ -x "$editor" ]; then
  echo "== lyrasil demo.mp3"
  exec "$editor" "$work/demo.mp3"
fi
