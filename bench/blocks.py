#!/usr/bin/python3
"""Measurements for blocks.sh, run through tests/support/on-xfs.sh: an import
into a 200 MB track against dd bs=1M conv=fsync of the same track, in
interleaved pairs, on the XFS image made with reflink and in a folder of
another file system; on XFS also the free space one import takes while a
hard link keeps the old track.  Prints one table.

    blocks.py IMPORT OTHER-FOLDER TRACK LRC PAIRS [DECLINE-SHIM]

DECLINE-SHIM, a preloaded library that declines copy_file_range, adds the
import by the read and write loop alone on the other file system.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

IMPORT, OTHER, TRACK, LRC = sys.argv[1:5]
PAIRS = int(sys.argv[5])
SHIM = sys.argv[6] if len(sys.argv) > 6 else None


def run(cmd, cwd, env=None):
    """Wall time of one run, in seconds."""
    start = time.perf_counter()
    if subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL).returncode != 0:
        sys.exit("%s failed in %s" % (cmd[0], cwd))
    return time.perf_counter() - start


def peak(cmd, cwd, env=None):
    """Peak memory of one run in kB, told by GNU time (a child forked by
    this interpreter would count the interpreter's own memory)."""
    out = os.path.join(cwd, "rss")
    run(["/usr/bin/time", "-f", "%M", "-o", out] + cmd, cwd, env)
    with open(out) as f:
        return int(f.read().split()[-1])


def fresh(folder, name):
    """name in folder: the track as a file of its own (no blocks shared
    with the original), on disk before anything is timed."""
    if os.path.exists(os.path.join(folder, "keep.mp3")):
        os.unlink(os.path.join(folder, "keep.mp3"))
    subprocess.run(["cp", "--reflink=never", TRACK, os.path.join(folder, name)], check=True)
    os.sync()


def pairs(folder, env=None):
    """PAIRS interleaved (dd, import) runs: their times, and the import's
    peak memory.  dd writes over a copy of the track, as the import
    replaces the track: each run frees a 200 MB file's blocks."""
    dd, imp = [], []
    shutil.copy(LRC, os.path.join(folder, "lyrics.lrc"))
    fresh(folder, "t200.mp3")
    for i in range(PAIRS):
        for which in ((0, 1) if i % 2 == 0 else (1, 0)):
            if which == 0:
                fresh(folder, "copy.mp3")
                dd.append(run(["dd", "if=t200.mp3", "of=copy.mp3", "bs=1M", "conv=fsync", "status=none"],
                              folder))
            else:
                fresh(folder, "t200.mp3")
                imp.append(run([IMPORT, "t200.mp3", "lyrics.lrc"], folder, env))
    fresh(folder, "t200.mp3")
    return dd, imp, peak([IMPORT, "t200.mp3", "lyrics.lrc"], folder, env)


def free_taken(folder):
    """Bytes of free space an import takes while the old track lives on."""
    fresh(folder, "t200.mp3")
    os.link(os.path.join(folder, "t200.mp3"), os.path.join(folder, "keep.mp3"))
    os.sync()
    before = os.statvfs(folder)
    run([IMPORT, "t200.mp3", "lyrics.lrc"], folder)
    os.sync()
    after = os.statvfs(folder)
    return (before.f_bfree - after.f_bfree) * before.f_frsize


def fstype(folder):
    return subprocess.run(["findmnt", "-n", "-o", "FSTYPE", "--target", folder],
                          capture_output=True, text=True).stdout.strip()


def ms(s):
    return "%.1f ms" % (s * 1000)


xfs = os.environ["LYRASIL_XFS_SHARED"]
rows = []


def measure(label, folder, env=None, with_dd=True):
    dd, imp, rss = pairs(folder, env)
    med_dd, med_imp = statistics.median(dd), statistics.median(imp)
    if with_dd:
        rows.append((label + ": dd bs=1M conv=fsync", ms(med_dd), "%s .. %s" % (ms(min(dd)), ms(max(dd))), "", ""))
    ratio = statistics.median(i / d for i, d in zip(imp, dd))
    rows.append((label + ": lyrasil-import", ms(med_imp), "%s .. %s" % (ms(min(imp)), ms(max(imp))),
                 "%.1f MB" % (rss / 1024),
                 "%.2fx dd conv=fsync (pair by pair: %.2fx)" % (med_imp / med_dd, ratio)))


measure("XFS reflink", xfs)
rows.append(("XFS reflink: free space one import takes, old track kept", "%.0f kB" % (free_taken(xfs) / 1024),
             "", "", "%d MB track" % (os.path.getsize(TRACK) // 1000000)))
measure(fstype(OTHER), OTHER)
if SHIM:
    env = dict(os.environ, LD_PRELOAD=SHIM)
    measure(fstype(OTHER) + ", copy_file_range declined", OTHER, env, with_dd=False)

head = ("case", "median (%d pairs)" % PAIRS, "min .. max", "peak RSS", "")
w = [max(len(r[i]) for r in rows + [head]) for i in range(5)]
for r in [head] + rows:
    print("  ".join(r[i].ljust(w[i]) for i in range(5)).rstrip())
