#!/usr/bin/env bash
# Screenshots of the editor, made on a virtual X server with the demo track
# open (its lyrics imported by lyrasil-import first):
#   doc/screenshot.png   the main window mid-session: the track's table
#                        during playback, the Playback menu open at Speed
#   doc/lyricsview.png   the lyrics view during playback, a word highlighted
#
#   scripts/screenshot.sh BUILD-DIR [OUTPUT-FOLDER]    (default: doc/)
#
# Needs xvfb-run, imagemagick's import and xdotool.  The editor runs with a
# throw-away home folder whose settings give a fixed window size and no tip
# dialog; there is no window manager, so the window sits at the top left.
set -euo pipefail
build=${1:?usage: screenshot.sh BUILD-DIR [OUTPUT-FOLDER]}
top=$(cd "$(dirname "$0")/.." && pwd)
out=${2:-$top/doc}
out=$(cd "$out" && pwd)
build=$(cd "$build" && pwd)
editor="$build/editor/lyrasil"
[ -x "$editor" ] || { echo "screenshot.sh: no editor at $editor" >&2; exit 1; }
width=720 height=480

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/.lyrasil"
cp "$top/demo/demo.mp3" "$top/demo/demo.lrc" "$work/"
(cd "$work" && "$build/tools/lyrasil-import" demo.mp3 >/dev/null)

# shot SETTINGS OUTPUT SECONDS-OF-PLAY [KEYS]: starts the editor on the
# track, plays for the given seconds when not empty (the play button is at
# the bottom left), presses the keys (xdotool key names) when given, grabs
# the window, closes the editor.
shot() {
  printf '[Settings]\ntip=-1\n%b[Position]\nframe=%d %d\n' "$1" "$width" "$height" >"$work/home/.lyrasil/lyrasil.ini"
  inner='
    HOME="$1" GSETTINGS_BACKEND=memory ASAN_OPTIONS=detect_leaks=0 "$2" "$3" & pid=$!
    sleep 4
    if [ -n "$6" ]; then xdotool mousemove 22 $(( $5 - 45 )) click 1; sleep "$6"; fi
    if [ -n "$8" ]; then xdotool mousemove 200 200; for k in $8; do xdotool key "$k"; sleep 0.3; done; fi
    import -window root -crop "$4x$5+0+0" +repage "$7"
    kill "$pid"; wait "$pid" 2>/dev/null || true
  '
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$inner" shot "$work/home" "$editor" "$work/demo.mp3" \
    "$width" "$height" "$3" "$2" "${4:-}"
  echo "screenshot: $2"
}

# 5 s in, the menu opened by its key (Alt+P) and Speed's submenu shown.
shot '' "$out/screenshot.png" 5 'alt+p Up Right'
# 3.05 s in: the word sung at 2.79 s is still in its full highlight.
shot 'textwindow=1\nlyricsfont=Sans 16\n' "$out/lyricsview.png" 3.05
