#!/usr/bin/env bash
# Kills a writer with SIGKILL at random moments of a rewrite, at least 50
# times, and checks after each kill that every file it rewrites is complete:
# byte for byte either the old file or the new one.  A temporary file left
# by a kill stays as it is: the next run of the converter refuses it as in
# the way (the user removes it, as the manual page says), while the settings
# writer, whose folder is its own, takes it for the leftover it is.
#  - import: lyrasil-import on a track of a few megabytes; every other round
#    a second import of the same track with other lyrics runs at the same
#    time, to its end: the locks let one of them through and refuse the
#    other, so the track is the old one, or holds the one lyrics or the other.
#  - batch: lyrasil-import -r on a folder of six such tracks of a megabyte,
#    two workers each writing several new copies before it renames them;
#    the kill takes the workers too.
#  - ini: ini_puts rewriting a settings file of a few megabytes.
#
# usage: crash-safety.sh import|batch|ini RUN-AND-KILL PROGRAM DEMO-DIR
set -euo pipefail
kind=$1 runkill=$2 prog=$3 demo=$4
want_kills=50
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

tagsize() { local b; b=($(od -An -tu1 -j6 -N4 "$1")); echo $(( (b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3] )); }

# The demo track with its audio repeated N times (32: about 4 MB) -> old.
track() {
  tail -c +$(( $(tagsize "$demo/demo.mp3") + 11 )) "$demo/demo.mp3" >audio
  cp "$demo/demo.mp3" old
  for i in $(seq "$1"); do cat audio >>old; done
}

rival=()
case $kind in
import)
  track 32
  cp "$demo/demo.lrc" song.lrc
  printf '[00:01.00]Other words\n' >other.lrc
  files=(song.mp3) leftovers=refused
  cmd=("$prog" song.mp3 song.lrc)
  rival=("$prog" song.mp3 other.lrc)
  cp old song.mp3; "${rival[@]}" >/dev/null; mv song.mp3 other
  ;;
batch)
  track 8
  mkdir lib
  files=() leftovers=refused
  for i in 1 2 3 4 5 6; do files+=("lib/t$i.mp3"); cp "$demo/demo.lrc" "lib/t$i.lrc"; done
  cmd=("$prog" -q -j 2 -r lib)
  ;;
ini)
  { printf '; settings\n[Settings]\ntip=10\n'
    for i in $(seq 60000); do printf 'key%d = value %d ; comment\n' "$i" "$i"; done
    printf '[Other]\nx=1\n'; } >old
  files=(a.ini) leftovers=taken
  cmd=("$prog" a.ini Settings tip 100)
  ;;
*) echo "usage: $0 import|batch|ini RUN-AND-KILL PROGRAM DEMO-DIR" >&2; exit 2 ;;
esac
file=${files[0]}
tmpname() { if [ "$kind" = ini ]; then echo "${1%?}~"; else echo "${1%?}\$"; fi; }
reset() { local f; for f in "${files[@]}"; do cp old "$f"; done; }

reset
start=$(date +%s%N)
"${cmd[@]}" >/dev/null
elapsed_us=$(( ($(date +%s%N) - start) / 1000 ))
cp "$file" new
cmp -s old new && { echo "FAIL: the undisturbed run did not change the file"; exit 1; }
for f in "${files[@]}"; do cmp -s "$f" new || { echo "FAIL: the undisturbed run left $f unlike $file"; exit 1; }; done
# Kill moments spread over the whole run, start-up and the final rename
# included, and a little beyond it.
max_delay=$(( elapsed_us * 5 / 4 + 500 ))
echo "$kind: ${#files[@]} file(s) of $(stat -c %s old) bytes; an undisturbed run takes ${elapsed_us} us"

kills=0 runs=0 old=0 new=0 other=0 rivals=0 left=0
while [ "$kills" -lt "$want_kills" ] && [ "$runs" -lt 400 ]; do
  reset
  delay=$(( (RANDOM * 32768 + RANDOM) % max_delay ))
  rival_pid=
  if [ ${#rival[@]} -gt 0 ] && [ $((runs % 2)) -eq 1 ]; then
    "${rival[@]}" >rival.out & rival_pid=$!
  fi
  outcome=$("$runkill" "$delay" "${cmd[@]}")
  if [ -n "$rival_pid" ]; then
    rival_status=0; wait "$rival_pid" || rival_status=$?
    rivals=$((rivals + 1))
    # The rival is let through, or refused by the lock, or by the other's
    # temporary file: in use, or left by the kill.
    case $rival_status:$(cat rival.out) in
      0:Done|1:*"is being changed by another program. The track was not changed."|\
      1:*"is in use by another program. The track was not changed."|1:*"is in the way: "*) ;;
      *) echo "FAIL: the concurrent run ended with status $rival_status: $(cat rival.out)"; exit 1 ;;
    esac
  fi
  runs=$((runs + 1))
  [ "$outcome" = killed ] && kills=$((kills + 1))
  for f in "${files[@]}"; do
    if cmp -s "$f" old; then old=$((old + 1))
    elif cmp -s "$f" new; then new=$((new + 1))
    elif [ -e other ] && cmp -s "$f" other; then other=$((other + 1))
    else
      echo "FAIL: after a kill at ${delay} us ($outcome) $f is neither the old file nor a new one"
      exit 1
    fi
    # A converter's leftover: what the user does before the next run.
    if [ "$leftovers" = refused ] && [ -e "$(tmpname "$f")" ]; then
      rm -f "$(tmpname "$f")"; left=$((left + 1))
    fi
  done
done
echo "$runs runs ($rivals with a concurrent run), $kills killed during the run:" \
     "$old times an old file, $new times a new one, $other times the concurrent run's;" \
     "$left temporary files left"
[ "$kills" -ge "$want_kills" ] || { echo "FAIL: only $kills kills landed during a run"; exit 1; }

# A leftover of the killed run: the converter leaves it byte for byte and
# refuses, the settings writer takes it; then the run succeeds.
reset
tmp=$(tmpname "$file")
printf 'partial copy' >"$tmp"
if [ "$leftovers" = refused ]; then
  if "${cmd[@]}" >out.txt; then echo "FAIL: a run went ahead over a leftover"; exit 1; fi
  grep -q "is in the way" out.txt || { echo "FAIL: the leftover was not named: $(cat out.txt)"; exit 1; }
  [ "$(cat "$tmp")" = "partial copy" ] || { echo "FAIL: the leftover was changed"; exit 1; }
  cmp -s "$file" old || { echo "FAIL: the track changed"; exit 1; }
  rm "$tmp"
fi
"${cmd[@]}" >/dev/null
for f in "${files[@]}"; do
  cmp "$f" new
  [ ! -e "$(tmpname "$f")" ] || { echo "FAIL: temporary file left after a clean run"; exit 1; }
done
echo "ok"
