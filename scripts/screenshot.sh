#!/usr/bin/env bash
# Screenshot of the editor's main window, made on a virtual X server:
#   scripts/screenshot.sh BUILD-DIR [OUTPUT.png]    (default: doc/screenshot.png)
# Needs xvfb-run and imagemagick's import. The editor runs with a throw-away
# home folder whose settings give a fixed window size and no tip dialog.
set -euo pipefail
build=${1:?usage: screenshot.sh BUILD-DIR [OUTPUT.png]}
top=$(cd "$(dirname "$0")/.." && pwd)
out=${2:-$top/doc/screenshot.png}
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
editor="$(cd "$build" && pwd)/editor/lyrasil"
[ -x "$editor" ] || { echo "screenshot.sh: no editor at $editor" >&2; exit 1; }
width=720 height=480

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.lyrasil"
printf '[Settings]\ntip=-1\n[Position]\nframe=%d %d\n' "$width" "$height" > "$home/.lyrasil/lyrasil.ini"

# Inside the virtual server: start the editor, give it time to draw (there is
# no window manager, so it sits at the top left corner), grab, close.
inner='
  HOME="$1" GSETTINGS_BACKEND=memory "$2" & pid=$!
  sleep 3
  import -window root -crop "$4x$5+0+0" +repage "$3"
  kill "$pid"; wait "$pid" 2>/dev/null || true
'
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$inner" screenshot "$home" "$editor" "$out" "$width" "$height"
echo "screenshot: $out"
