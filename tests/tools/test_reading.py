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
import resource
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_tools  # noqa: E402  (the runner)
from test_tools import ToolTest  # noqa: E402
from id3build import (audio, be32, frame, inline_lrc, sylt_payload, syncsafe, tag,  # noqa: E402
                      unsync)

REFUSED = 'The ID3 tag of "%s" cannot be copied safely. The track was not changed.\n'


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
    ("one 8-bit byte in a utf-8 line", "[00:01.00]Grüße \x96 dich\n".encode("utf-8").replace(b"\xc2\x96", b"\x96"),
     [("Grüße – dich\n", 1000)], 0),
    ("utf-16 little-endian without byte order mark",
     "[ti:Песня]\r\n[00:01.00]Привет, мир\r\n".encode("utf-16-le"), [("Привет, мир\n", 1000)], 0),
    ("utf-16 big-endian without byte order mark",
     "[00:01.00]日本語\u3000の歌\n[00:02.00]終わり\n".encode("utf-16-be"),
     [("日本語\u3000の歌\n", 1000), ("終わり\n", 2000)], 0),
    ("more than 64 stamps on a line", b"".join(b"[%02d:00.00]" % m for m in range(70)) + b"la\n",
     [("la\n", m * 60000) for m in range(70)], 0),
    ("signed fields", b"[01:-1.00]no\n[00:-0.50]no\n[00:01.00]ok <00:+1.50>x\n",
     [("ok <00:+1.50>x\n", 1000)], 2),
    ("two files joined", b"\xef\xbb\xbf[00:01.00]one\n\xef\xbb\xbf[00:02.00]two\n",
     [("one\n", 1000), ("two\n", 2000)], 0),
    ("utf-16 with an odd last byte", b"\xff\xfe" + "[00:01.00]one\n".encode("utf-16-le") + b"\n",
     [("one\n", 1000)], 0),
]


class LrcFiles(ToolTest):
    """Every kind of LRC file, imported into version-3 and -4 tracks."""

    def test_import_and_read_back_with_mutagen(self):
        ID3 = self.mutagen().ID3
        for version in (3, 4):
            for name, data, items, skipped in LRC_FILES:
                with self.subTest(version=version, lrc=name):
                    old = tag(version, [frame(version, b"TIT2", b"\0Title")], padding=40) + audio()
                    self.write("song.mp3", old)
                    self.write("song.lrc", data)
                    out = "Done\n"
                    if skipped == 1:
                        out = "1 line without a readable time-stamp was skipped.\n" + out
                    elif skipped:
                        out = "%d lines without a readable time-stamp were skipped.\n" % skipped + out
                    self.assertEqual(self.import_("song.mp3", "song"), (0, out))
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


    def test_lyrics_larger_than_a_tag_are_refused_at_little_cost(self):
        """A 4 MB file whose stamps would repeat its text beyond what a tag
        can hold: refused before anything is built, with the peak memory
        of the run a small multiple of the file (a gigabyte before)."""
        lrc = self.write("song.lrc", b"[00:00.00]" * 1000 + b"la " * ((4 << 20) // 3) + b"\n")
        refused = ('The lyrics would make the ID3 tag of "song.mp3" larger than a tag can be. '
                   'The track was not changed.\n')
        notag = 'File "song.mp3" nas no ID3 tag. A new ID3 tag will be created.\n'
        for old, first in ((audio(), notag), (tag(3, [frame(3, b"TIT2", b"\0Title")]) + audio(), "")):
            track = self.write("song.mp3", old)
            self.assertEqual(self.import_("song.mp3", "song"), (1, first + refused))
            self.assertEqual(self.read("song.mp3"), track)
        # The largest peak of the programs this test process ran: theirs.
        peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss * 1024
        self.assertLess(peak, 25 * len(lrc), "peak memory")
        self.assertEqual(self.files(), ["song.lrc", "song.mp3"])


class OtherWriters(ToolTest):
    """Tags that other programs write, exported and checked against mutagen."""

    ITEMS = [("\nÿes ", 1000), ("wörld", 65504), ("\n♪ end", 70000)]

    def tracks(self):
        p = sylt_payload(self.ITEMS, 1, "d")
        title = b"\x01" + "Tÿtle".encode("utf-16")
        assert unsync(p) != p and unsync(title) != title
        dli = syncsafe(len(p))
        return {
            "v3-tag-unsync.mp3": tag(3, [unsync(frame(3, b"TIT2", title) + frame(3, b"SYLT", p))],
                                     flags=0x80),
            "v4-frame-unsync.mp3": tag(4, [frame(4, b"TIT2", unsync(title), b"\0\x02"),
                                           frame(4, b"SYLT", unsync(p), b"\0\x02")]),
            "v4-data-length.mp3": tag(4, [frame(4, b"TIT2", syncsafe(len(title)) + title, b"\0\x01"),
                                          frame(4, b"SYLT", dli + p, b"\0\x01")]),
            "v4-unsync-data-length.mp3": tag(4, [frame(4, b"TIT2", unsync(title), b"\0\x02"),
                                                 frame(4, b"SYLT", unsync(dli + p), b"\0\x03")]),
        }

    def test_export_reads_what_mutagen_reads(self):
        ID3 = self.mutagen().ID3
        for name, data in self.tracks().items():
            with self.subTest(track=name):
                self.write(name, data + audio())
                tags = ID3(self.path(name))
                self.assertEqual(tags.getall("SYLT")[0].text, self.ITEMS)
                lrcname = name[:-4] + ".lrc"
                self.assertExported([name], lrcname)
                self.assertEqual(self.read(lrcname).decode("utf-8"),
                                 "[ti:%s]\n[re:Quorvane Lyrasil]\n" % tags["TIT2"] +
                                 inline_lrc(tags.getall("SYLT")[0].text))
                self.assertEqual(self.read(name), data + audio())

    def test_rewriting_them(self):
        ID3 = self.mutagen().ID3
        self.write("song.lrc", b"[00:01.00]new\n")
        tracks = self.tracks()
        # A tag unsynchronised as a whole is not rewritten.
        old = self.write("v3-tag-unsync.mp3", tracks["v3-tag-unsync.mp3"] + audio())
        self.assertEqual(self.import_("v3-tag-unsync.mp3", "song"),
                         (1, REFUSED % "v3-tag-unsync.mp3"))
        self.assertEqual(self.read("v3-tag-unsync.mp3"), old)
        # Frames with flags of their own are kept as they stand.
        for name in ("v4-frame-unsync.mp3", "v4-unsync-data-length.mp3"):
            self.write(name, tracks[name] + audio())
            self.assertImported([name, "song"])
            tags = ID3(self.path(name))
            self.assertEqual(str(tags["TIT2"]), "Tÿtle")
            self.assertEqual(tags.getall("SYLT")[0].text, [("new\n", 1000)])

    def test_compressed_sylt_frame(self):
        ID3 = self.mutagen().ID3
        p = sylt_payload(self.ITEMS, 1, "d")
        z = zlib.compress(p)
        for version, body, flags in ((4, syncsafe(len(p)) + z, b"\0\x09"),
                                     (3, be32(len(p)) + z, b"\0\x80")):
            with self.subTest(version=version):
                self.write("z.mp3", tag(version, [frame(version, b"SYLT", body, flags)]) + audio())
                self.assertEqual(ID3(self.path("z.mp3")).getall("SYLT")[0].text, self.ITEMS)
                self.assertEqual(self.export("z"),
                                 (1, "The SYLT frame is compressed, which is not supported.\n"))
                self.assertFalse(os.path.exists(self.path("z.lrc")))


class Padding(ToolTest):
    """Padding is zero bytes; a tag size that claims audio is refused."""

    def test_tag_size_that_claims_audio(self):
        self.write("x.lrc", b"[00:01.00]la\n")
        title, claimed = frame(3, b"TIT2", b"\0Song"), audio(4)[:1500]
        old = self.write("x.mp3", tag(3, [title], padding=100, size=len(title) + 100 + len(claimed))
                         + claimed + audio())
        self.assertEqual(self.import_("x"), (1, 'Importing file "x.lrc".\n' + REFUSED % "x.mp3"))
        self.assertEqual(self.read("x.mp3"), old)
        self.assertEqual(self.files(), ["x.lrc", "x.mp3"])

    def test_zero_padding_still_rewrites(self):
        self.copy_demo()
        self.assertImported(["demo"], 'Importing file "demo.lrc".\n')
        id3 = self.mutagen()
        self.assertEqual(len(id3.ID3(self.path("demo.mp3")).getall("SYLT")), 1)
        for version in (3, 4):
            self.write("m.mp3", audio())
            tags = id3.ID3()
            tags.add(id3.TIT2(encoding=id3.Encoding.UTF16, text="Titel"))
            tags.add(id3.SYLT(encoding=id3.Encoding.UTF16, lang="eng", format=2, type=1, desc="",
                              text=[("alt", 5)]))
            tags.save(self.path("m.mp3"), v2_version=version)
            self.assertIn(b"\0" * 100, self.read("m.mp3")[:2000])  # mutagen pads
            self.write("m.lrc", b"[00:01.00]neu\n")
            self.assertImported(["m"], 'Importing file "m.lrc".\n')
            tags = id3.ID3(self.path("m.mp3"))
            self.assertEqual(tags.getall("SYLT")[0].text, [("neu\n", 1000)])
            self.assertEqual(str(tags["TIT2"]), "Titel")


if __name__ == "__main__":
    test_tools.main(__doc__)
