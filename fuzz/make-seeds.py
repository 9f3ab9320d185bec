#!/usr/bin/env python3
"""Writes the seed corpora in corpus/: small hand-made tags, LRC files and
INI files, one per shape the targets should start from.  Run it again after
changing it; the fuzzers find the rest.  Needs only Python 3."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def plain(n):
    return struct.pack(">I", n)


def frame(ident, body, version=4, sizes=None):
    if version == 2:
        return ident.encode() + struct.pack(">I", len(body))[1:] + body
    code = sizes or (syncsafe if version == 4 else plain)
    return ident.encode() + code(len(body)) + b"\0\0" + body


def tag(version, frames, flags=0, padding=0, ext=b""):
    body = ext + b"".join(frames) + b"\0" * padding
    return b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body)) + body


def sylt(items, enc=0, fmt=2, desc=b"Quorvane Lyrasil"):
    out = bytes([enc]) + b"eng" + bytes([fmt, 1])
    term = b"\0\0" if enc in (1, 2) else b"\0"
    if enc == 1:
        desc = desc.decode("latin-1").encode("utf-16")
    elif enc == 2:
        desc = desc.decode("latin-1").encode("utf-16-be")
    out += desc + term
    for text, ms in items:
        if enc == 1:
            raw = text.encode("utf-16")
        elif enc == 2:
            raw = text.encode("utf-16-be")
        elif enc == 3:
            raw = text.encode("utf-8")
        else:
            raw = text.encode("latin-1")
        out += raw + term + plain(ms)
    return out


def text(s, enc=0):
    codec = {0: "latin-1", 1: "utf-16", 2: "utf-16-be", 3: "utf-8"}[enc]
    return bytes([enc]) + s.encode(codec)


def unsync(data):
    """A zero byte after each 0xFF followed by a zero or by 111xxxxx."""
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def flagged(ident, body, flags, size=syncsafe):
    return ident.encode() + size(len(body)) + bytes([0, flags]) + body


# A few MPEG-1 layer III frame headers (128 kbit/s, 44.1 kHz) as "audio".
audio = (b"\xff\xfb\x90\x64" + bytes(413)) * 3
items = [("\nHello", 1000), (" world", 1500), ("\nNext", 3000), ("<>", 0x7FFFFFFF)]

tracks = {
    "no-tag.mp3": audio,
    "v2-tt2-tp1-slt.mp3": tag(2, [frame("TT2", text("Song"), 2), frame("TP1", text("Band"), 2),
                                   frame("SLT", sylt(items), 2)]) + audio,
    "v3-tit2-sylt-talb-padding.mp3": tag(3, [frame("TIT2", text("My song"), 3),
                                            frame("SYLT", sylt(items), 3),
                                            frame("TALB", text("Alb"), 3)], padding=64) + audio,
    "v3-utf16-texts.mp3": tag(3, [frame("TIT2", text("Caf\u00e9", 1), 3),
                                 frame("TPE1", text("Bj\u00f6rk", 1), 3),
                                 frame("SYLT", sylt([("\nD\u00e9j\u00e0", 500), (" vu", 900)], enc=1), 3)])
                          + audio,
    "v3-ext-header.mp3": tag(3, [frame("TIT2", text("Ext"), 3), frame("SYLT", sylt(items), 3)],
                             flags=0x40, ext=plain(6) + b"\0\0\0\0\0\0") + audio,
    "v4-ext-header.mp3": tag(4, [frame("SYLT", sylt(items, enc=3), 4)],
                             flags=0x40, ext=syncsafe(6) + b"\x01\0") + audio,
    "v4-cover-before-sylt.mp3": tag(4, [frame("APIC", b"\0image/png\0\x03\0" + bytes(300), 4),
                                       frame("SYLT", sylt(items, enc=3), 4)], padding=20) + audio,
    "v4-legacy-plain-sizes.mp3": tag(4, [frame("APIC", b"\0image/png\0\x03\0" + bytes(200), 4, plain),
                                        frame("SYLT", sylt(items), 4, plain)]) + audio,
    "v4-utf16be.mp3": tag(4, [frame("TALB", text("\u00c5lbum", 2), 4),
                             frame("SYLT", sylt([("\n\u266a la", 100)], enc=2), 4)]) + audio,
    "v4-mpeg-frame-times.mp3": tag(4, [frame("SYLT", sylt([("one", 10), (" two", 20)], fmt=1), 4)]) + audio,
    "v4-unsync-flag.mp3": tag(4, [frame("TIT2", text("Unsynced"), 4)], flags=0x80) + audio,
    "v4-two-sylt.mp3": tag(4, [frame("SYLT", sylt(items), 4), frame("SYLT", sylt(items[:1]), 4)]) + audio,
    "v4-size-past-end.mp3": tag(4, [frame("TIT2", text("Short"), 4)])[:-3],
}
# Unsynchronisation and other frame flags; UTF-16 marks and the time 0xFFE0
# hold the bytes that unsynchronisation changes.
ff_items = [("\n\u00ffes", 1000), (" w\u00f6rld", 0xFFE0)]
ff = sylt(ff_items, enc=1)
ff_title = text("T\u00fftle", 1)
tracks.update({
    "v3-tag-unsync.mp3": b"ID3\3\0\x80" + syncsafe(len(unsync(frame("TIT2", ff_title, 3) + frame("SYLT", ff, 3))))
                         + unsync(frame("TIT2", ff_title, 3) + frame("SYLT", ff, 3)) + audio,
    "v4-frame-unsync.mp3": tag(4, [flagged("TIT2", unsync(ff_title), 2), flagged("SYLT", unsync(ff), 2)]) + audio,
    "v4-data-length.mp3": tag(4, [flagged("SYLT", syncsafe(len(ff)) + ff, 1)]) + audio,
    "v4-unsync-data-length.mp3": tag(4, [flagged("SYLT", unsync(syncsafe(len(ff)) + ff), 3)]) + audio,
    "v4-compressed-sylt.mp3": tag(4, [flagged("SYLT", syncsafe(len(ff)) + b"x\x9c" + bytes(8), 9)]) + audio,
    "v3-size-claims-audio.mp3": b"ID3\3\0\0" + syncsafe(len(frame("TIT2", text("x"), 3)) + 20 + 200)
                                + frame("TIT2", text("x"), 3) + bytes(20) + audio,
})
for target in ("fuzz_tagread", "fuzz_rewrite"):
    os.makedirs(os.path.join(here, "corpus", target), exist_ok=True)
    for name, data in tracks.items():
        with open(os.path.join(here, "corpus", target, name), "wb") as f:
            f.write(data)

demo = open(os.path.join(here, "..", "demo", "demo.lrc"), "rb").read()
lrcs = {
    # selector byte: version (bits 0-1: none, 2, 3, 4), row form (bit 2)
    "demo-v4-rows.lrc": b"\x07" + demo,
    "demo-v3-utf16.lrc": b"\x02" + demo,
    "tags-and-words.lrc": b"\x04[ti:Song]\n[ar:Band]\n[offset:+200]\n[00:01.00]Hello <00:01.50>world\n"
                          b"[00:03.00]Next line\n",
    "joins.lrc": b"\x05[00:01.00]Hel<00:01.20>lo\n[00:02.00]well-<00:02.20>known\n[00:03.00]a <b> c\n"
                 b"[]\n[00:04.00][00:05.00]text\n",
    "odd-stamps.lrc": b"\x00[1:2.5]x<00:01.23456>y[00:60.00]z\r\n  [00:05]w\n[99:59.999]end",
    "empty-stamps.lrc": b"\x06[]\nHello\n[00:01.00]<>word <00:02.00>\n",
    "no-stamps.lrc": b"\x01[ti:Only tags]\njust text\n",
    "long-line.lrc": b"\x04[00:01.00]" + b"la <00:02.00>" * 150 + b"end\n[00:09.00]" + b"x" * 1500 + b"\n",
    "utf16le.lrc": b"\x03\xff\xfe" + "[ti:T\u00eftle]\r\n[00:01.00]Gr\u00fc\u00dfe \U0001f3b5\r\n".encode("utf-16-le"),
    "utf16be-rows.lrc": b"\x06\xfe\xff" + "[00:01.00]a <00:01.50>\u20ac\r[00:00.50]b\n".encode("utf-16-be"),
    "cr-only.lrc": b"\x04[ti:Mac]\r[00:01.00]one <00:01.50>two\r[00:02.00]three\r",
    "multi-stamp.lrc": b"\x07[00:12.00][01:30.00]Chorus <00:13.00>la\n[00:20.00]Verse\n[00:05.00][00:01.00]x<00:02.00>y",
    "stamp-forms.lrc": b"\x00[00:01:50]a\n[00:02,50]b\n[1:00:03.50]c\n[ 00:04.50]d\n[00:61]bad\n",
    "cp1252-nul.lrc": b"\x02[ar:Bj\xf6rk]\n[00:01.00]Caf\xe9 \x93q\x94 \x81\n[00:02.00]o\0k \xc3\xa9\n",
}
os.makedirs(os.path.join(here, "corpus", "fuzz_lrc"), exist_ok=True)
for name, data in lrcs.items():
    with open(os.path.join(here, "corpus", "fuzz_lrc", name), "wb") as f:
        f.write(data)

settings = (b"; settings\n[Settings]\ntip=10\r\nname = \"a;b\"  ; quoted\n\n"
            b"[Other]\nx=1\nlong: colon\n")
inis = {
    # op byte: 0 set, 1 delete key, 2 delete section, 3 set before any header
    "set-inplace.ini": b"\x00Settings\0tip\0" b"11\0" + settings,
    "set-rewrite.ini": b"\x00settings\0TIP\0" b"100\0" + settings,
    "set-quoted.ini": b"\x00Other\0q\0say \"hi\"; ok \0" + settings,
    "new-section.ini": b"\x00New\0key\0value\0" + settings.rstrip(b"\n"),
    "delete-key.ini": b"\x01Settings\0name\0\0" + settings,
    "delete-section.ini": b"\x02Settings\0\0\0" + settings,
    "no-section.ini": b"\x03\0top\0" b"1\0" + b"top=0\n" + settings,
    "long-line.ini": b"\x00Settings\0key\0v\0[Settings]\n" + b"pad=" + b"p" * 520 + b"key=hidden\n"
                     + b"x" * 508 + b"[Settings]\nkey=1\n",
    "nul-byte.ini": b"\x00Settings\0tip\0" b"5\0[Settings]\nname=a\0b\ntip=4\n",
    "utf8-crlf.ini": b"\x00Gr\xc3\xbc\xc3\x9fe\0sch\xc3\xb6n\0\xc3\xa9t\xc3\xa9\0[Gr\xc3\xbc\xc3\x9fe]\r\nsch\xc3\xb6n=1\r\n",
}
os.makedirs(os.path.join(here, "corpus", "fuzz_ini"), exist_ok=True)
for name, data in inis.items():
    with open(os.path.join(here, "corpus", "fuzz_ini", name), "wb") as f:
        f.write(data)
