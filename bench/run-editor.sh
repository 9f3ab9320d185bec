#!/usr/bin/env bash
# Benchmarks of the editor in its real window, on a virtual X server:
# opening and saving long tables, and stamping with the space bar during
# real playback (accuracy and CPU use).
#
# usage: bench/run-editor.sh [BUILD-DIR]   (default build/bench-gui, a
#                                           Release build made here)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/bench-gui}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLYRASIL_TESTS=OFF -DLYRASIL_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target bench_editor >/dev/null
for part in documents stamping; do
  echo "== $part"
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/bench_editor" "$part"
  echo
done
