#!/usr/bin/env bash
# Benchmarks of the command-line tools, printed as one table: whole-process
# times (medians of several runs, with hyperfine) and peak memory.
#
#  - lyrasil-import on a 200 MB track beside a plain copy of the same file
#    (dd bs=1M, without and with a final sync: the import syncs its new
#    copy before it takes the track's place);
#  - lyrasil-export on 1 MB and 200 MB tracks (it reads only the tag);
#  - the same import and export done with python3-mutagen on the same
#    files (a tag without padding, so that both must rewrite the track);
#  - SYLT-to-LRC conversion and back at 1,000 to 100,000 items.
#
# usage: bench/run.sh [BUILD-DIR]   (default build/bench, a Release build
#                                    made here when missing)
# Needs hyperfine, python3-mutagen and /usr/bin/time (package time).
set -euo pipefail
. "$(dirname "$0")/prepare.sh" "$@" -- lyrasil-import lyrasil-export bench_convert
runs=${BENCH_RUNS:-7}

import=$build/tools/lyrasil-import
export=$build/tools/lyrasil-export
mutagen="/usr/bin/python3 $top/bench/mutagen_sylt.py"

cd "$data"

# Tracks of 1 MB and 200 MB (see tracks.py).
/usr/bin/python3 "$top/bench/tracks.py" "$top/demo/demo.mp3" t1.orig:1 t200.orig:200
cp "$top/demo/demo.lrc" lyrics.lrc
for t in t1 t200; do
  cp $t.orig $t.lyr.mp3; "$import" $t.lyr.mp3 lyrics.lrc >/dev/null   # with lyrics, for exporting
  cp $t.orig $t.mut.mp3; $mutagen import $t.mut.mp3 lyrics.lrc        # the same, written by mutagen
done

json=$data/json
mkdir -p "$json"
bench() { # name, [hyperfine options...,] command
  local name=$1; shift
  hyperfine -N --style none --runs "$runs" --warmup 1 --export-json "$json/$name.json" "$@" >/dev/null 2>&1 ||
    hyperfine --style none --runs "$runs" --warmup 1 --export-json "$json/$name.json" "$@" >/dev/null
}
peak() { # name, command...: peak resident memory in kB
  local name=$1; shift
  /usr/bin/time -f %M -o "$json/$name.rss" "$@" >/dev/null
}

bench dd      "dd if=t200.orig of=copy.mp3 bs=1M status=none"
bench ddsync  "dd if=t200.orig of=copy.mp3 bs=1M conv=fsync status=none"
bench import  --prepare "cp t200.orig t200.mp3" "$import t200.mp3 lyrics.lrc"
cp t200.orig t200.mp3; peak import "$import" t200.mp3 lyrics.lrc
bench mimport --prepare "cp t200.orig t200.mp3" "$mutagen import t200.mp3 lyrics.lrc"
cp t200.orig t200.mp3; peak mimport $mutagen import t200.mp3 lyrics.lrc
for t in t1 t200; do
  bench export_$t  "$export $t.lyr.mp3 out.lrc"
  peak export_$t "$export" $t.lyr.mp3 out.lrc
  bench mexport_$t "$mutagen export $t.mut.mp3 out.lrc"
  peak mexport_$t $mutagen export $t.mut.mp3 out.lrc
done
"$build/bench/bench_convert" >"$json/convert.txt"

/usr/bin/python3 - "$json" "$runs" <<'PY'
import json, os, sys
d, runs = sys.argv[1], sys.argv[2]
def t(name):
    r = json.load(open(os.path.join(d, name + ".json")))["results"][0]
    return r["median"], r["min"], r["max"]
def rss(name):
    p = os.path.join(d, name + ".rss")
    return "%.1f MB" % (int(open(p).read().split()[-1]) / 1024) if os.path.exists(p) else ""
def ms(s): return "%.1f ms" % (s * 1000) if s < 10 else "%.2f s" % s
rows = []
dd, ddsync = t("dd")[0], t("ddsync")[0]
def row(what, name, compare=None):
    med, lo, hi = t(name)
    note = ""
    if compare == "copy":
        note = "%.2fx dd, %.2fx dd+fsync" % (med / dd, med / ddsync)
    rows.append((what, ms(med), "%s .. %s" % (ms(lo), ms(hi)), rss(name), note))
row("copy 200 MB: dd bs=1M", "dd")
row("copy 200 MB: dd bs=1M conv=fsync", "ddsync")
row("lyrasil-import, 200 MB track", "import", "copy")
row("mutagen import, 200 MB track", "mimport", "copy")
row("lyrasil-export, 1 MB track", "export_t1")
row("lyrasil-export, 200 MB track", "export_t200")
row("mutagen export, 1 MB track", "mexport_t1")
row("mutagen export, 200 MB track", "mexport_t200")
for line in open(os.path.join(d, "convert.txt")):
    f = line.split()
    if f and f[0].isdigit():
        rows.append(("convert %s items: sylt->inline / inline->sylt" % f[0],
                     "%.2f M items/s" % (float(f[1]) / 1e6), "%.2f M items/s" % (float(f[2]) / 1e6), "",
                     "sylt->rows %.2f M/s, rows->sylt %.2f M/s" % (float(f[3]) / 1e6, float(f[4]) / 1e6)))
head = ("case", "median (%s runs)" % runs, "min .. max", "peak RSS", "")
w = [max(len(r[i]) for r in rows + [head]) for i in range(5)]
for r in [head] + rows:
    print("  ".join(r[i].ljust(w[i]) for i in range(5)).rstrip())
PY
