#!/usr/bin/env bash
# Checks the built packages as a user gets them:
#   debian/check-packages.sh DEB-DIR
# DEB-DIR holds the .changes file and the .deb files of one build.
#   1. lintian: errors fail the check; every other tag is shown.
#   2. The packages unpacked into a temporary root: the files a desktop
#      expects, the desktop entry and the AppStream data validated.
#   3. The unpacked converters on a copy of the demo track.
#   4. The unpacked editor under a virtual X server, opening the demo track
#      and closing through its own Alt+F4 accelerator, with the tips read
#      from the unpacked documentation folder.
# Needs lintian, desktop-file-utils, appstream, xvfb, xdotool and strace.
set -u
debdir=$(cd "${1:?usage: check-packages.sh DEB-DIR}" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
status=0
fail() { echo "FAIL: $*"; status=1; }

changes=$(ls "$debdir"/lyrasil_*.changes 2>/dev/null | head -1)
editor_deb=$(ls "$debdir"/lyrasil_*.deb 2>/dev/null | head -1)
tools_deb=$(ls "$debdir"/lyrasil-tools_*.deb 2>/dev/null | head -1)
if [ -z "$changes" ] || [ -z "$editor_deb" ] || [ -z "$tools_deb" ]; then
  echo "FAIL: no lyrasil .changes file and .deb files in $debdir"
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 1. lintian on everything the build made (the .changes file lists it).
echo "== lintian"
lintian --fail-on error --info "$changes" >"$work/lintian.log" 2>&1 || fail "lintian reports errors"
grep -v '^running with root privileges' "$work/lintian.log"

# 2. Both packages unpacked into one root, as installing them both would lay
#    them out.
root=$work/root
dpkg -x "$editor_deb" "$root" && dpkg -x "$tools_deb" "$root" || { echo "FAIL: dpkg -x"; exit 1; }
docdir=$root/usr/share/doc/lyrasil
for f in usr/bin/lyrasil usr/bin/lyrasil-import usr/bin/lyrasil-export \
         usr/share/man/man1/lyrasil.1.gz usr/share/man/man1/lyrasil-import.1.gz \
         usr/share/man/man1/lyrasil-export.1.gz \
         usr/share/doc/lyrasil/lyrasil.pdf usr/share/doc/lyrasil/lyrasil.tips \
         usr/share/doc/lyrasil/copyright usr/share/doc/lyrasil-tools/copyright \
         usr/share/applications/lyrasil.desktop \
         usr/share/icons/hicolor/32x32/apps/lyrasil.png usr/share/icons/hicolor/48x48/apps/lyrasil.png \
         usr/share/icons/hicolor/scalable/apps/lyrasil.svg \
         usr/share/metainfo/invalid.lyrasil.lyrasil.metainfo.xml; do
  [ -f "$root/$f" ] || fail "the packages do not install /$f"
done
desktop-file-validate "$root/usr/share/applications/lyrasil.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/invalid.lyrasil.lyrasil.metainfo.xml" >"$work/as.log" 2>&1 \
  || { cat "$work/as.log"; fail "appstreamcli validate"; }
pdfinfo "$docdir/lyrasil.pdf" >/dev/null 2>&1 || fail "the packaged user guide is not a PDF file"

# 3. The converters: the demo lyrics into a copy of the demo track, and out
#    again.
mkdir "$work/run"
cp "$top/demo/demo.mp3" "$work/run/demo.mp3"
cp "$top/demo/demo.lrc" "$work/run/lyrics.lrc"
(cd "$work/run" && "$root/usr/bin/lyrasil-import" demo.mp3 lyrics.lrc) || fail "the packaged lyrasil-import failed"
(cd "$work/run" && "$root/usr/bin/lyrasil-export" demo.mp3 back.lrc) || fail "the packaged lyrasil-export failed"
grep -q 'Every <00:12.03>word' "$work/run/back.lrc" 2>/dev/null \
  || fail "the exported lyrics do not hold the demo's last line"

# 4. The editor, with a home of its own whose settings show the first tip at
#    start-up.  The driver closes the tip dialog with Escape and the window
#    with Alt+F4, typed through XTEST with the pointer over the window (no
#    window manager runs, so keyboard focus follows the pointer).  strace
#    records which tips file the editor opened.
home=$work/home
mkdir -p "$home/.lyrasil"
printf '[Settings]\ntip=0\n' >"$home/.lyrasil/lyrasil.ini"
cat >"$work/drive.sh" <<'EOF'
#!/usr/bin/env bash
# drive.sh EDITOR TRACK TRACE: the editor's exit status (strace passes it
# on), or 124 when a window did not come.
set -u
strace -f -qq -e trace=openat -o "$3" "$1" "$2" &
tracer=$!
editor=
for _ in $(seq 50); do
  editor=$(ps -o pid= --ppid "$tracer" | head -1)
  [ -n "$editor" ] && break
  sleep 0.1
done
type_into() { # window name, keys
  local win
  win=$(timeout 60 xdotool search --sync --onlyvisible --name "$1" | head -1)
  [ -n "$win" ] || return 1
  sleep 0.5
  xdotool mousemove --window "$win" 20 20 && xdotool key "$2"
}
if ! type_into '^Tip of the Day$' Escape || ! type_into '^Lyrasil - demo\.mp3$' alt+F4; then
  echo "the editor's window did not appear; windows shown:"
  for w in $(xdotool search --onlyvisible --name .); do echo "  $(xdotool getwindowname "$w")"; done
  kill "$editor"; wait "$tracer"; exit 124
fi
for _ in $(seq 300); do
  kill -0 "$tracer" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$tracer" 2>/dev/null; then
  echo "the editor did not close within 30 s"
  kill "$editor"
fi
wait "$tracer"
EOF
echo "== the packaged editor: open the demo track and close"
HOME=$home GSETTINGS_BACKEND=memory timeout 180 xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash "$work/drive.sh" "$root/usr/bin/lyrasil" "$work/run/demo.mp3" "$work/trace" >"$work/editor.log" 2>&1
rc=$?
if [ $rc -ne 0 ]; then
  cat "$work/editor.log"
  fail "the packaged editor ended with status $rc"
fi
# An orderly close writes the settings: the tip index moved past the tip shown.
grep -q '^tip=[1-9]' "$home/.lyrasil/lyrasil.ini" \
  || fail "the editor did not write its settings on closing, or showed no tip from its tips file"
# The tips came from the packaged documentation folder, found from the
# executable by the relative rule; the user guide lies beside them.
opened=$(sed -n 's/.*openat([^"]*"\([^"]*\/lyrasil\.tips\)".* = [0-9][0-9]*$/\1/p' "$work/trace" | head -1)
if [ -z "$opened" ]; then
  fail "the editor opened no tips file"
elif [ "$(realpath "$(dirname "$opened")")" != "$(realpath "$docdir")" ]; then
  fail "the editor read its tips from $opened, not from the packaged documentation folder"
fi

[ $status -eq 0 ] && echo "packages: lintian, files, converters and editor: all checks passed"
exit $status
