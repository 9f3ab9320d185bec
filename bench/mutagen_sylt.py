#!/usr/bin/python3
"""The same SYLT import and export as lyrasil-import and lyrasil-export, done
with python3-mutagen, for the benchmark's comparison.

  mutagen_sylt.py import TRACK LRC   the LRC lyrics become the track's SYLT
                                     frame (milliseconds, UTF-8, version 2.4)
  mutagen_sylt.py export TRACK LRC   the SYLT frame is written as an LRC file
"""
import os
import re
import sys

from mutagen.id3 import ID3, SYLT

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from id3build import NOTIME, inline_lrc  # noqa: E402

STAMP = re.compile(r"[\[<](\d+):(\d+)(?:\.(\d+))?[\]>]|\[\]|<>")


def stamp_ms(m):
    if m.group(1) is None:
        return NOTIME
    frac = (m.group(3) or "").ljust(3, "0")[:3]
    return int(m.group(1)) * 60000 + int(m.group(2)) * 1000 + int(frac)


def lrc_items(path):
    """Each stamp's time belongs to the text after it, up to the next stamp."""
    items = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if not re.match(r"\s*\[\d", line):
                continue
            line = line.lstrip()
            stamps = list(STAMP.finditer(line))
            for i, m in enumerate(stamps):
                end = stamps[i + 1].start() if i + 1 < len(stamps) else len(line)
                items.append((line[m.end():end], stamp_ms(m)))
    return items


def do_import(track, lrc):
    tags = ID3(track)
    tags.delall("SYLT")
    tags.add(SYLT(encoding=3, lang="eng", format=2, type=1, desc="Quorvane Lyrasil",
                  text=lrc_items(lrc)))
    tags.save(track)


def do_export(track, lrc):
    tags = ID3(track)
    frames = tags.getall("SYLT")
    if not frames:
        sys.exit("no SYLT frame")
    out = []
    for key, tag in (("TIT2", "ti"), ("TPE1", "ar"), ("TALB", "al")):
        if key in tags:
            out.append("[%s:%s]\n" % (tag, tags[key].text[0]))
    out.append("[re:Quorvane Lyrasil]\n")
    out.append(inline_lrc(frames[0].text))
    with open(lrc, "w", encoding="utf-8") as f:
        f.write("".join(out))


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] not in ("import", "export"):
        sys.exit(__doc__)
    (do_import if sys.argv[1] == "import" else do_export)(sys.argv[2], sys.argv[3])
