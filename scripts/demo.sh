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
if ! diff <(grep '^\[[0-9]' lyrics.lrc) <(grep '^\[[0-9]' back.lrc) >/dev/null; then
  echo "== FAILED: the lyrics exported differ from those imported"
  exit 1
fi
echo "== the demo track with its lyrics: $work/demo.mp3"

# The editor, with the demo track and its lyrics open, where there is a
# display to show it on; without one, the round trip above is the whole
# demo and its status the command's.
editor="$build/editor/lyrasil"
if [ ! -x "$editor" ]; then
  echo "== the editor was not built (LYRASIL_GUI=OFF)"
elif [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "== there is no display here, so the editor was not started; on a desktop, open the demo track in it with"
  echo "   $editor $work/demo.mp3"
else
  echo "== lyrasil demo.mp3"
  exec "$editor" "$work/demo.mp3"
fi
