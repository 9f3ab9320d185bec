#!/usr/bin/python3
"""Benchmark tracks: a version-2.4 tag with title, artist and album and no
padding, then MPEG audio (the demo's, repeated) up to a size in megabytes.

    tracks.py DEMO-MP3 NAME:MB [NAME:MB...]
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from id3build import tag, text_frame, walk  # noqa: E402

demo = open(sys.argv[1], "rb").read()
audio = demo[walk(demo)[1]:]
head = tag(4, [text_frame(4, b"TIT2", "Morning at the Caf\u00e9", 3),
               text_frame(4, b"TPE1", "Lyrasil Demo Voice", 3), text_frame(4, b"TALB", "Lyrasil Demo", 3)])
for arg in sys.argv[2:]:
    name, mb = arg.rsplit(":", 1)
    with open(name, "wb") as f:
        f.write(head)
        left = int(mb) * 1000000 - len(head)
        while left > 0:
            f.write(audio[:left])
            left -= len(audio)
