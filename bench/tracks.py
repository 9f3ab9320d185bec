#!/usr/bin/python3
"""Benchmark tracks: a version-2.4 tag with title, artist and album and no
padding, then MPEG audio (the demo's, repeated) up to a size in megabytes.

    tracks.py DEMO-MP3 NAME:MB [NAME:MB...]
"""
import sys


def ss(n):
    return bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127])


def frame(ident, text):
    body = b"\x03" + text.encode()
    return ident.encode() + ss(len(body)) + b"\0\0" + body


demo = open(sys.argv[1], "rb").read()
audio = demo[10 + ((demo[6] << 21) | (demo[7] << 14) | (demo[8] << 7) | demo[9]):]
frames = frame("TIT2", "Morning at the Caf\u00e9") + frame("TPE1", "Lyrasil Demo Voice") + \
    frame("TALB", "Lyrasil Demo")
tag = b"ID3\x04\x00\x00" + ss(len(frames)) + frames
for arg in sys.argv[2:]:
    name, mb = arg.rsplit(":", 1)
    with open(name, "wb") as f:
        f.write(tag)
        left = int(mb) * 1000000 - len(tag)
        while left > 0:
            f.write(audio[:left])
            left -= len(audio)
