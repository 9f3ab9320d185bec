#!/usr/bin/python3
"""Measurements for batch.sh: a library of tracks with their LRC files
beside them, imported with lyrasil-import -r (the default number of workers
and -j 1), against cp -r of the same library followed by sync, in the same
run (interleaved rounds, medians), in each folder given.  Prints one table.

    batch.py IMPORT DEMO-MP3 DEMO-LRC TRACKS MB ROUNDS LABEL=FOLDER...
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from id3build import tag, text_frame, walk  # noqa: E402

IMPORT, DEMO, LRC = sys.argv[1:4]
TRACKS, MB, ROUNDS = (int(a) for a in sys.argv[4:7])
PLACES = [(label, os.path.expandvars(folder)) for label, folder in (a.split("=", 1) for a in sys.argv[7:])]


def make_library(top):
    """TRACKS tracks of MB megabytes in folders of 10, each with its LRC file."""
    demo = open(DEMO, "rb").read()
    audio = demo[walk(demo)[1]:]
    body = (audio * (MB * 1000000 // len(audio) + 1))[:MB * 1000000]
    lrc = open(LRC, "rb").read()
    for i in range(TRACKS):
        folder = os.path.join(top, "album %03d" % (i // 10))
        os.makedirs(folder, exist_ok=True)
        head = tag(3, [text_frame(3, b"TIT2", "Track %d" % i)])
        with open(os.path.join(folder, "%02d.mp3" % (i % 10)), "wb") as f:
            f.write(head + body)
        with open(os.path.join(folder, "%02d.lrc" % (i % 10)), "wb") as f:
            f.write(lrc)


def timed(cmd, cwd):
    start = time.perf_counter()
    subprocess.run(cmd, cwd=cwd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def fresh(folder, master):
    """A copy of the library of its own (no blocks shared), on disk."""
    work = os.path.join(folder, "work")
    shutil.rmtree(work, ignore_errors=True)
    subprocess.run(["cp", "-r", "--reflink=never", master, work], check=True)
    os.sync()
    return work


def measure(label, folder):
    master = os.path.join(folder, "library")
    make_library(master)
    os.sync()
    times = {"cp -r + sync": [], "import -r": [], "import -r -j 1": []}
    for i in range(ROUNDS):
        order = list(times) if i % 2 == 0 else list(reversed(list(times)))
        for what in order:
            if what == "cp -r + sync":
                shutil.rmtree(os.path.join(folder, "copy"), ignore_errors=True)
                os.sync()
                times[what].append(timed(["sh", "-c", "cp -r --reflink=never library copy && sync"], folder))
            else:
                work = fresh(folder, master)
                cmd = [IMPORT, "-q", "-r", work] + (["-j", "1"] if what.endswith("-j 1") else [])
                times[what].append(timed(cmd, folder))
    shutil.rmtree(os.path.join(folder, "copy"), ignore_errors=True)
    shutil.rmtree(os.path.join(folder, "work"), ignore_errors=True)
    shutil.rmtree(master)
    base = statistics.median(times["cp -r + sync"])
    for what, runs in times.items():
        m = statistics.median(runs)
        print("| %-6s | %-15s | %7.2f s | %7.2f .. %-7.2f | %5.2fx | %7.0f |" % (
            label, what, m, min(runs), max(runs), m / base, TRACKS / m))


print("%d tracks of %d MB with their LRC files; %d interleaved rounds; %d processors" % (
    TRACKS, MB, ROUNDS, os.cpu_count()))
print("| where  | what            | median    | min .. max       | vs cp  | tracks/s |")
print("|--------|-----------------|-----------|------------------|--------|----------|")
for label, folder in PLACES:
    measure(label, folder)
