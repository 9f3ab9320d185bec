#!/usr/bin/env bash
# Rewriting a 200 MB track where blocks can be shared and where they cannot,
# printed as one table: lyrasil-import against dd bs=1M conv=fsync of the
# same track in the same run (interleaved pairs, medians), on a loop-mounted
# XFS image made with reflink and on the file system of the temporary
# folder (ext4 on the usual machine), there also with copy_file_range
# declined (the read and write loop alone); the free space one import
# takes on XFS while a hard link keeps the old track; peak memory.
#
# usage: bench/blocks.sh [BUILD-DIR]   (as root, for the loop mount; default
#                                       build/bench, a Release build made
#                                       here when missing)
# BENCH_PAIRS (default 9) sets the number of pairs.  Needs xfsprogs and
# /usr/bin/time (package time).
set -euo pipefail
. "$(dirname "$0")/prepare.sh" "$@" -- lyrasil-import
pairs=${BENCH_PAIRS:-9}


mkdir "$data/other"
/usr/bin/python3 "$top/bench/tracks.py" "$top/demo/demo.mp3" "$data/t200.orig:200"
# A library that declines copy_file_range as an old kernel would.
printf '%s\n' '#define _GNU_SOURCE' '#include <errno.h>' '#include <unistd.h>' \
  'ssize_t copy_file_range(int a, off64_t *b, int c, off64_t *d, size_t e, unsigned f)' \
  '{ (void)a; (void)b; (void)c; (void)d; (void)e; (void)f; errno = ENOSYS; return -1; }' >"$data/decline.c"
cc -shared -fPIC -o "$data/decline.so" "$data/decline.c"

XFS_IMAGE_SIZE=1200M "$top/tests/support/on-xfs.sh" /usr/bin/python3 "$top/bench/blocks.py" \
  "$build/tools/lyrasil-import" "$data/other" "$data/t200.orig" "$top/demo/demo.lrc" "$pairs" \
  "$data/decline.so"
