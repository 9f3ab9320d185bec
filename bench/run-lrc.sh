#!/usr/bin/env bash
# What LRC files built to be expensive cost lyrasil-import: wall time and
# peak resident memory (/usr/bin/time), beside the sizes of the LRC file and
# of the SYLT frame written.  The cost must follow what a file produces:
# within a small multiple of the LRC file plus the frame, and a file whose
# lyrics no tag could hold is refused before they are built.
#
#  - refused: 4 MB, 1,000 stamps in front of one 4 MB line;
#  - 4 MB, 60 stamps in front of one 4 MB line: a 250 MB frame;
#  - 64 KB, 2,500 stamps in front of one 39 KB line: a 98 MB frame;
#  - the demo's LRC file, for scale.
#
# usage: bench/run-lrc.sh [BUILD-DIR]   (default build/bench, a Release
#                                        build made here when missing)
# Needs /usr/bin/time (package time); writes about 400 MB under $TMPDIR.
set -euo pipefail
. "$(dirname "$0")/prepare.sh" "$@" -- lyrasil-import

import=$build/tools/lyrasil-import

cd "$data"

/usr/bin/python3 - "$top/demo/demo.mp3" <<'PY'
import sys
line = b"la " * ((4 << 20) // 3) + b"\n"
files = {
    "refused": b"[00:00.00]" * 1000 + line,
    "wide": b"".join(b"[%02d:00.00]" % m for m in range(60)) + line,
    "long": b"".join(b"[%02d:%02d.00]" % (i // 60 % 100, i % 60) for i in range(2500)) + b"la " * 13000 + b"\n",
}
for name, data in files.items():
    open(name + ".lrc", "wb").write(data)
open("track.orig", "wb").write(open(sys.argv[1], "rb").read())
PY
cp "$top/demo/demo.lrc" demo.lrc

printf '%-8s %10s %10s %8s %10s  %s\n' case "LRC file" frame time "peak RSS" result
for name in refused wide long demo; do
  cp track.orig t.mp3
  before=$(stat -c %s t.mp3)
  /usr/bin/time -f "%e %M" -o time.txt "$import" t.mp3 $name >out.txt || true
  awk -v name=$name -v lrc="$(stat -c %s $name.lrc)" -v grown="$(( $(stat -c %s t.mp3) - before ))" \
      -v result="$(tail -n 1 out.txt)" '{ printf "%-8s %7.1f MB %7.1f MB %6.2f s %7.1f MB  %s\n",
      name, lrc / 1048576, grown / 1048576, $1, $2 / 1024, result }' <(tail -n 1 time.txt)
done
