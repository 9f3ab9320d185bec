#!/usr/bin/env bash
# Kills lyrasil-import with SIGKILL at random moments of a rewrite of a
# track of a few megabytes, at least 50 times, and checks after each kill
# that the track is complete: byte for byte either the old track or the new
# one.  A temporary file left by a kill must not stop the next import.
#
# usage: crash-safety.sh RUN-AND-KILL IMPORT DEMO-DIR
set -euo pipefail
runkill=$1 import=$2 demo=$3
want_kills=50
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The demo track with its audio repeated to about 4 MB.
tagsize() { local b; b=($(od -An -tu1 -j6 -N4 "$1")); echo $(( (b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3] )); }
tail -c +$(( $(tagsize "$demo/demo.mp3") + 11 )) "$demo/demo.mp3" >audio
cp "$demo/demo.mp3" old.mp3
for i in $(seq 32); do cat audio >>old.mp3; done
cp "$demo/demo.lrc" song.lrc

cp old.mp3 song.mp3
start=$(date +%s%N)
"$import" song.mp3 song.lrc >/dev/null
elapsed_us=$(( ($(date +%s%N) - start) / 1000 ))
mv song.mp3 new.mp3
cmp -s old.mp3 new.mp3 && { echo "FAIL: the import did not change the track"; exit 1; }
# Kill moments spread over the whole run, start-up and the final rename
# included, and a little beyond it.
max_delay=$(( elapsed_us * 5 / 4 + 500 ))
echo "track $(stat -c %s old.mp3) bytes; an undisturbed import takes ${elapsed_us} us"

kills=0 runs=0 old=0 new=0
while [ "$kills" -lt "$want_kills" ] && [ "$runs" -lt 400 ]; do
  cp old.mp3 song.mp3
  delay=$(( (RANDOM * 32768 + RANDOM) % max_delay ))
  outcome=$("$runkill" "$delay" "$import" song.mp3 song.lrc)
  runs=$((runs + 1))
  [ "$outcome" = killed ] && kills=$((kills + 1))
  if cmp -s song.mp3 old.mp3; then old=$((old + 1))
  elif cmp -s song.mp3 new.mp3; then new=$((new + 1))
  else
    echo "FAIL: after a kill at ${delay} us ($outcome) the track is neither the old nor the new one"
    exit 1
  fi
done
echo "$runs runs, $kills killed during the import: $old times the old track, $new times the new one"
[ "$kills" -ge "$want_kills" ] || { echo "FAIL: only $kills kills landed during an import"; exit 1; }

# Whatever temporary file the last kill left, the next import succeeds.
cp old.mp3 song.mp3
"$import" song.mp3 song.lrc >/dev/null
cmp song.mp3 new.mp3
ls | grep -q 'mp\$$' && { echo "FAIL: temporary file left after a clean import"; exit 1; }
echo "ok"
