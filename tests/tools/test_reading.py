#!/usr/bin/python3
"""End-to-end tests of how the converters read what users have: LRC files
in the encodings, line ends and stamp forms found in the wild, ID3 tags
whose frames other writers unsynchronised or gave a data length, and tags
that claim more than their frames.

The built programs run on files made here; python3-mutagen reads the
results (and the same input tags) as an independent peer.

    test_reading.py EXPORT IMPORT [unittest arguments]
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

EXPORT = IMPORT = None
HERE = os.path.dirname(os.path.abspath(__file__))
DEMO = os.path.join(HERE, "..", "..", "demo")
REFUSED = 'The ID3 tag of "%s" cannot be copied safely. The track was not changed.\n'

sys.path.insert(0, HERE)
from test_tools import ToolTest, audio, syncsafe  # noqa: E402  (the shared builders and runner)

try:
    from mutagen.id3 import ID3, SYLT, TIT2, Encoding
except ImportError:  # the tests that need the peer are skipped
    ID3 = None


def frame(version, ident, body, flags=b"\0\0", size=None):
    n = len(body) if size is None else size
    return ident + (syncsafe(n) if version == 4 else struct.pack(">I", n)) + flags + body


def tag(version, body, flags=0, size=None):
    return b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body) if size is None else size) + body


def unsync(data):
    """A zero byte after each 0xFF that is followed by a zero or 111xxxxx."""
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def utf16_payload(items, desc="d"):
    """A SYLT payload in UTF-16 with a byte order mark on every string."""
    out = b"\x01eng\x02\x01" + desc.encode("utf-16") + b"\0\0"
    for text, ms in items:
        out += text.encode("utf-16") + b"\0\0" + struct.pack(">I", ms)
    return out


def inline_lrc(items):
    """The inline LRC text of sync items, as the export writes it."""
    out, linestart = "", True
    for text, ms in items:
        while text[:1] in ("\n", "\r") and text:
            out, text, linestart = out + text[0], text[1:], True
        h = (ms + 5) // 10
        stamp = "%02d:%02d.%02d" % (h // 6000, h // 100 % 60, h % 100)
        out += ("[%s]" if linestart else "<%s>") % stamp + text
        linestart = text.endswith("\n")
    return out


class ReadingTest(ToolTest):
    def needs_mutagen(self):
        if ID3 is None:
            self.skipTest("python3-mutagen is not installed")


# Each kind of LRC file and the sync items it must give.  Times in ms.
NON_ASCII = [("Grüße ", 1000), ("aus Köln\n", 1500), ("日本語 🎵\n", 3000)]
NON_ASCII_LRC = "[ti:Lied]\n[00:01.00]Grüße <00:01.50>aus Köln\n[00:03.00]日本語 🎵\n"
LRC_FILES = [  # name, file bytes, items, lines reported skipped
    ("utf-8", NON_ASCII_LRC.encode("utf-8"), NON_ASCII, 0),
    ("utf-8 with byte order mark", b"\xef\xbb\xbf" + NON_ASCII_LRC.encode("utf-8"), NON_ASCII, 0),
    ("utf-16 little-endian",
     b"\xff\xfe" + NON_ASCII_LRC.replace("\n", "\r\n").encode("utf-16-le"), NON_ASCII, 0),
    ("utf-16 big-endian",
     b"\xfe\xff" + NON_ASCII_LRC.replace("\n", "\r\n").encode("utf-16-be"), NON_ASCII, 0),
    ("windows-1252 lines among utf-8 lines",
     b"[00:01.00]Caf\xe9 \x93quoted\x94 \x80 \x96\n" + "[00:02.00]Grüß dich\n".encode("utf-8"),
     [("Café “quoted” € –\n", 1000), ("Grüß dich\n", 2000)], 0),
    ("cr only", b"[ti:Old Mac]\r[00:01.00]one\r[00:02.00]two\r",
     [("one\n", 1000), ("two\n", 2000)], 0),
    ("cr lf", b"[00:01.00]one <00:01.50>more\r\n[00:02.00]two\r\n",
     [("one ", 1000), ("more\n", 1500), ("two\n", 2000)], 0),
    ("nul in a line", b"[00:01.00]o\0ne\n[00:02.00]two\0\n",
     [("one\n", 1000), ("two\n", 2000)], 0),
    ("several stamps on a line",
     b"[00:12.00][01:30.00]Chorus <00:13.00>la\n[00:20.00]Verse\n",
     [("Chorus ", 12000), ("la\n", 13000), ("Verse\n", 20000), ("Chorus ", 90000),
      ("la\n", 91000)], 0),
    ("stamp forms and one unreadable line",
     b"[00:01:50]a\n[00:02,50]b\n[0:00:03.50]c\n[ 00:04.50]d\n[00:61]bad\n[ti:x]\n",
     [("a\n", 1500), ("b\n", 2500), ("c\n", 3500), ("d\n", 4500)], 1),
    ("two unreadable lines", b"[00:01.00]ok\n[00:61]bad\nno stamp\n", [("ok\n", 1000)], 2),
]


class LrcFiles(ReadingTest):
    """Every kind of LRC file, imported into version-3 and -4 tracks."""

    def test_import_and_read_back_with_mutagen(self):
        self.needs_mutagen()
        for version in (3, 4):
            for name, data, items, skipped in LRC_FILES:
                with self.subTest(version=version, lrc=name):
                    old = tag(version, frame(version, b"TIT2", b"\0Title") + b"\0" * 40) + audio()
                    self.write("song.mp3", old)
                    self.write("song.lrc", data)
                    out = "Done\n"
                    if skipped == 1:
                        out = "1 line without a readable time-stamp was skipped.\n" + out
                    elif skipped:
                        out = "%d lines without a readable time-stamp were skipped.\n" % skipped + out
                    self.assertEqual(self.run_tool(IMPORT, "song.mp3", "song"), (0, out))
                    tags = ID3(self.path("song.mp3"))
                    self.assertEqual(str(tags["TIT2"]), "Title")
                    sylt = tags.getall("SYLT")
                    self.assertEqual(len(sylt), 1)
                    self.assertEqual(sylt[0].text, items)
                    ascii_only = all(t.isascii() for t, _ in items)
                    self.assertEqual(sylt[0].encoding, 0 if ascii_only else {3: 1, 4: 3}[version])
                    times = [ms for _, ms in sylt[0].text]
                    self.assertEqual(times, sorted(times))
                    self.assertTrue(self.read("song.mp3").endswith(audio()))


class OtherWriters(ReadingTest):
    """Tags that other programs write, exported and checked against mutagen."""

    ITEMS = [("\nÿes ", 1000), ("wörld", 65504), ("\n♪ end", 70000)]

    def tracks(self):
        p = utf16_payload(self.ITEMS)
        title = b"\x01" + "Tÿtle".encode("utf-16")
        assert unsync(p) != p and unsync(title) != title
        dli = syncsafe(len(p))
        return {
            "v3-tag-unsync.mp3": tag(3, unsync(frame(3, b"TIT2", title) + frame(3, b"SYLT", p)),
                                     flags=0x80),
            "v4-frame-unsync.mp3": tag(4, frame(4, b"TIT2", unsync(title), b"\0\x02") +
                                       frame(4, b"SYLT", unsync(p), b"\0\x02")),
            "v4-data-length.mp3": tag(4, frame(4, b"TIT2", syncsafe(len(title)) + title, b"\0\x01") +
                                      frame(4, b"SYLT", dli + p, b"\0\x01")),
            "v4-unsync-data-length.mp3": tag(4, frame(4, b"TIT2", unsync(title), b"\0\x02") +
                                             frame(4, b"SYLT", unsync(dli + p), b"\0\x03")),
        }

    def test_export_reads_what_mutagen_reads(self):
        self.needs_mutagen()
        for name, data in self.tracks().items():
            with self.subTest(track=name):
                self.write(name, data + audio())
                tags = ID3(self.path(name))
                self.assertEqual(tags.getall("SYLT")[0].text, self.ITEMS)
                lrcname = name[:-4] + ".lrc"
                self.assertEqual(self.run_tool(EXPORT, name),
                                 (0, 'Created output file "%s".\n' % lrcname))
                self.assertEqual(self.read(lrcname).decode("utf-8"),
                                 "[ti:%s]\n[re:Quorvane Lyrasil]\n" % tags["TIT2"] +
                                 inline_lrc(tags.getall("SYLT")[0].text))
                self.assertEqual(self.read(name), data + audio())

    def test_rewriting_them(self):
        self.needs_mutagen()
        self.write("song.lrc", b"[00:01.00]new\n")
        tracks = self.tracks()
        # A tag unsynchronised as a whole is not rewritten.
        old = self.write("v3-tag-unsync.mp3", tracks["v3-tag-unsync.mp3"] + audio())
        self.assertEqual(self.run_tool(IMPORT, "v3-tag-unsync.mp3", "song"),
                         (1, REFUSED % "v3-tag-unsync.mp3"))
        self.assertEqual(self.read("v3-tag-unsync.mp3"), old)
        # Frames with flags of their own are kept as they stand.
        for name in ("v4-frame-unsync.mp3", "v4-unsync-data-length.mp3"):
            self.write(name, tracks[name] + audio())
            self.assertEqual(self.run_tool(IMPORT, name, "song"), (0, "Done\n"))
            tags = ID3(self.path(name))
            self.assertEqual(str(tags["TIT2"]), "Tÿtle")
            self.assertEqual(tags.getall("SYLT")[0].text, [("new\n", 1000)])

    def test_compressed_sylt_frame(self):
        self.needs_mutagen()
        p = utf16_payload(self.ITEMS)
        z = zlib.compress(p)
        for version, body, flags in ((4, syncsafe(len(p)) + z, b"\0\x09"),
                                     (3, struct.pack(">I", len(p)) + z, b"\0\x80")):
            with self.subTest(version=version):
                self.write("z.mp3", tag(version, frame(version, b"SYLT", body, flags)) + audio())
                self.assertEqual(ID3(self.path("z.mp3")).getall("SYLT")[0].text, self.ITEMS)
                self.assertEqual(self.run_tool(EXPORT, "z"),
                                 (1, "The SYLT frame is compressed, which is not supported.\n"))
                self.assertFalse(os.path.exists(self.path("z.lrc")))


class Padding(ReadingTest):
    """Padding is zero bytes; a tag size that claims audio is refused."""

    def test_tag_size_that_claims_audio(self):
        self.write("x.lrc", b"[00:01.00]la\n")
        frames = frame(3, b"TIT2", b"\0Song") + b"\0" * 100
        claimed = audio(4)[:1500]
        old = self.write("x.mp3", tag(3, frames, size=len(frames) + len(claimed)) + claimed + audio())
        self.assertEqual(self.run_tool(IMPORT, "x"),
                         (1, 'Importing file "x.lrc".\n' + REFUSED % "x.mp3"))
        self.assertEqual(self.read("x.mp3"), old)
        self.assertEqual(sorted(os.listdir(self.dir)), ["x.lrc", "x.mp3"])

    def test_zero_padding_still_rewrites(self):
        shutil.copy(os.path.join(DEMO, "demo.mp3"), self.path("demo.mp3"))
        shutil.copy(os.path.join(DEMO, "demo.lrc"), self.path("demo.lrc"))
        self.assertEqual(self.run_tool(IMPORT, "demo"), (0, 'Importing file "demo.lrc".\nDone\n'))
        self.needs_mutagen()
        self.assertEqual(len(ID3(self.path("demo.mp3")).getall("SYLT")), 1)
        for version in (3, 4):
            self.write("m.mp3", audio())
            tags = ID3()
            tags.add(TIT2(encoding=Encoding.UTF16, text="Titel"))
            tags.add(SYLT(encoding=Encoding.UTF16, lang="eng", format=2, type=1, desc="",
                          text=[("alt", 5)]))
            tags.save(self.path("m.mp3"), v2_version=version)
            self.assertIn(b"\0" * 100, self.read("m.mp3")[:2000])  # mutagen pads
            self.write("m.lrc", b"[00:01.00]neu\n")
            self.assertEqual(self.run_tool(IMPORT, "m"), (0, 'Importing file "m.lrc".\nDone\n'))
            tags = ID3(self.path("m.mp3"))
            self.assertEqual(tags.getall("SYLT")[0].text, [("neu\n", 1000)])
            self.assertEqual(str(tags["TIT2"]), "Titel")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    EXPORT, IMPORT = (os.path.abspath(p) for p in sys.argv[1:3])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
