#!/usr/bin/env bash
# A whole library imported in one command: lyrasil-import -r on 1,000
# tracks of 1 MB with their LRC files, against cp -r of the same library
# followed by sync, in the same run, on the file system of the temporary
# folder (ext4 on the usual machine) and, as root, on a loop-mounted XFS
# image made with reflink, where the new copies share the audio's blocks.
# Prints one table (bench/batch.py).
#
# usage: bench/batch.sh [BUILD-DIR]   (default build/bench, a Release build
#                                       made here when missing)
# BENCH_TRACKS (1000), BENCH_MB (1) and BENCH_ROUNDS (3) set the sizes.
set -euo pipefail
. "$(dirname "$0")/prepare.sh" "$@" -- lyrasil-import

here="$(findmnt -n -o FSTYPE -T "$data" 2>/dev/null || echo tmp)=$data"
args=("$build/tools/lyrasil-import" "$top/demo/demo.mp3" "$top/demo/demo.lrc"
      "${BENCH_TRACKS:-1000}" "${BENCH_MB:-1}" "${BENCH_ROUNDS:-3}")
# Where XFS cannot be mounted, on-xfs.sh says why (exit 77) and only the
# other file system is measured; any other failure is the benchmark's.
status=0
XFS_IMAGE_SIZE=4G "$top/tests/support/on-xfs.sh" /usr/bin/python3 "$top/bench/batch.py" "${args[@]}" \
  "$here" 'xfs=$LYRASIL_XFS_SHARED' || status=$?
if [ "$status" -eq 77 ]; then
  /usr/bin/python3 "$top/bench/batch.py" "${args[@]}" "$here"
else
  exit "$status"
fi
