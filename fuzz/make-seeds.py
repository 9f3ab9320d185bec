#!/usr/bin/env python3
"""Writes the seed corpora in corpus/: small hand-made tags, LRC files and
INI files, one per shape the targets should start from.  Run it again after
changing it; the fuzzers find the rest.  Needs only Python 3 and the
track builders in tests/support.  The ".bin" files beside its seeds are
inputs that campaigns found faults with, kept as they were found (their
length and last byte choose the target's variant); it leaves them alone."""
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "support"))
from id3build import audio, be32, frame, sylt_payload, syncsafe, tag, text_frame, unsync  # noqa: E402

DESC = "Quorvane Lyrasil"


def sylt(version, items, enc=0, fmt=2):
    return frame(version, b"SLT" if version == 2 else b"SYLT", sylt_payload(items, enc, DESC, fmt))


def flagged(ident, body, flags):
    """A version-4 frame with these format flags (the second flag byte)."""
    return frame(4, ident, body, bytes([0, flags]))


# MPEG-1 layer III frame headers (128 kbit/s, 44.1 kHz) and silence as "audio".
mp3 = audio(3, payload=bytes(413))
items = [("\nHello", 1000), (" world", 1500), ("\nNext", 3000), ("<>", 0x7FFFFFFF)]
apic = b"\0image/png\0\x03\0"

tracks = {
    "no-tag.mp3": mp3,
    "v2-tt2-tp1-slt.mp3": tag(2, [text_frame(2, b"TT2", "Song"), text_frame(2, b"TP1", "Band"),
                                  sylt(2, items)]) + mp3,
    "v3-tit2-sylt-talb-padding.mp3": tag(3, [text_frame(3, b"TIT2", "My song"), sylt(3, items),
                                             text_frame(3, b"TALB", "Alb")], padding=64) + mp3,
    "v3-utf16-texts.mp3": tag(3, [text_frame(3, b"TIT2", "Caf\u00e9", 1),
                                  text_frame(3, b"TPE1", "Bj\u00f6rk", 1),
                                  sylt(3, [("\nD\u00e9j\u00e0", 500), (" vu", 900)], enc=1)]) + mp3,
    "v3-ext-header.mp3": tag(3, [text_frame(3, b"TIT2", "Ext"), sylt(3, items)],
                             flags=0x40, ext=be32(6) + bytes(6)) + mp3,
    "v4-ext-header.mp3": tag(4, [sylt(4, items, enc=3)], flags=0x40, ext=syncsafe(6) + b"\x01\0") + mp3,
    "v4-cover-before-sylt.mp3": tag(4, [frame(4, b"APIC", apic + bytes(300)), sylt(4, items, enc=3)],
                                    padding=20) + mp3,
    # plain sizes, as in version 3
    "v4-legacy-plain-sizes.mp3": tag(4, [frame(3, b"APIC", apic + bytes(200)), sylt(3, items)]) + mp3,
    "v4-utf16be.mp3": tag(4, [text_frame(4, b"TALB", "\u00c5lbum", 2),
                              sylt(4, [("\n\u266a la", 100)], enc=2)]) + mp3,
    "v4-mpeg-frame-times.mp3": tag(4, [sylt(4, [("one", 10), (" two", 20)], fmt=1)]) + mp3,
    "v4-unsync-flag.mp3": tag(4, [text_frame(4, b"TIT2", "Unsynced")], flags=0x80) + mp3,
    "v4-two-sylt.mp3": tag(4, [sylt(4, items), sylt(4, items[:1])]) + mp3,
    "v4-size-past-end.mp3": tag(4, [text_frame(4, b"TIT2", "Short")])[:-3],
}
# Unsynchronisation and other frame flags; UTF-16 marks and the time 0xFFE0
# hold the bytes that unsynchronisation changes.
ff = sylt_payload([("\n\u00ffes", 1000), (" w\u00f6rld", 0xFFE0)], 1, DESC)
ff_title = b"\x01" + "T\u00fftle".encode("utf-16")
short = text_frame(3, b"TIT2", "x")
tracks.update({
    "v3-tag-unsync.mp3": tag(3, [unsync(frame(3, b"TIT2", ff_title) + frame(3, b"SYLT", ff))],
                             flags=0x80) + mp3,
    "v4-frame-unsync.mp3": tag(4, [flagged(b"TIT2", unsync(ff_title), 2),
                                   flagged(b"SYLT", unsync(ff), 2)]) + mp3,
    "v4-data-length.mp3": tag(4, [flagged(b"SYLT", syncsafe(len(ff)) + ff, 1)]) + mp3,
    "v4-unsync-data-length.mp3": tag(4, [flagged(b"SYLT", unsync(syncsafe(len(ff)) + ff), 3)]) + mp3,
    "v4-compressed-sylt.mp3": tag(4, [flagged(b"SYLT", syncsafe(len(ff)) + b"x\x9c" + bytes(8), 9)]) + mp3,
    "v3-size-claims-audio.mp3": tag(3, [short], padding=20, size=len(short) + 20 + 200) + mp3,
})


# Other SYLT frames a rewrite keeps (chords, a translation), zero bytes
# before the audio, and other formats after a tag (MPEG frames inside).
chords = frame(4, b"SYLT", sylt_payload([("Am", 100), (" G", 200)], 3, "chords", kind=5))
german = frame(4, b"SYLT", sylt_payload([("\nHallo", 100)], 3, "", lang=b"deu"))
adts = (b"\xff\xf1\x50\x80\x02\x1f\xfc" + bytes(9)) * 4
tracks.update({
    "v4-chords-lyrics-translation.mp3": tag(4, [chords, text_frame(4, b"TIT2", "Song"), sylt(4, items),
                                                german], padding=16) + mp3,
    "v3-chords-only.mp3": tag(3, [frame(3, b"SYLT", sylt_payload([("Am", 1)], 0, "c", kind=5))]) + mp3,
    "v2-two-slt.mp3": tag(2, [sylt(2, items[:1]), text_frame(2, b"TT2", "x"), sylt(2, items)]) + mp3,
    "v4-compressed-then-lyrics.mp3": tag(4, [flagged(b"SYLT", syncsafe(len(ff)) + b"x\x9c" + bytes(8), 9),
                                             sylt(4, items, enc=3)]) + mp3,
    "v3-zero-gap.mp3": tag(3, [short]) + bytes(74000) + mp3,
    "v3-mpeg-frame-times-zero-gap.mp3": tag(3, [sylt(3, items, fmt=1)]) + bytes(300) + mp3,
    "v3-aiff.aiff": tag(3, [short]) + b"FORM\0\0\x10\0AIFFCOMM" + bytes(22) + mp3,
    "matroska.mka": b"\x1a\x45\xdf\xa3\x93\x42\x82\x88matroska" + mp3,
    "v4-adts.aac": tag(4, [sylt(4, items, fmt=1)]) + adts + mp3,
    "v3-lone-header.mp3": tag(3, [sylt(3, items, fmt=1)]) + b"text " * 20 + mp3[:4] + b"text " * 20,
    "free-format.mp3": (b"\xff\xfb\x04\x64" + bytes(600)) * 3,
})


def write_corpus(target, files):
    os.makedirs(os.path.join(here, "corpus", target), exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(here, "corpus", target, name), "wb") as f:
            f.write(data)


write_corpus("fuzz_tagread", tracks)
write_corpus("fuzz_rewrite", tracks)

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
    "stray-byte-in-utf8.lrc": b"\x03[00:01.00]Gr\xc3\xbc\xc3\x9fe \x96 dich\n",
    "utf16le-no-bom.lrc": b"\x07" + "[ti:\u041f\u0435\u0441\u043d\u044f]\r\n[00:01.00]\u041f\u0440\u0438 <00:01.50>\u0432\u0435\u0442\r\n"
                          .encode("utf-16-le"),
    "utf16be-no-bom.lrc": b"\x02" + "[00:01.00]\u65e5\u672c\u3000\u306e\u6b4c\n[00:02.00]\u7d42\n".encode("utf-16-be"),
    "many-stamps.lrc": b"\x04" + b"".join(b"[%02d:%02d.00]" % (m // 60, m % 60) for m in range(0, 3600, 50))
                       + b"la <00:00.50>la\n",
    "signed-fields.lrc": b"\x00[01:-1.00]a\n[00:-0.50]b\n[00:+1.00]c\n[00:02.00]d <00:-2.50>e\n",
    "files-joined.lrc": b"\x03\xef\xbb\xbf[00:01.00]one\n\xef\xbb\xbf[00:02.00]two\n",
    "utf16-joined-odd-byte.lrc": b"\x06\xff\xfe" + "[00:01.00]a\n".encode("utf-16-le") + b"\xfe\xff"
                                 + "[00:02.00]b\n".encode("utf-16-be") + b"\x0a",
}
write_corpus("fuzz_lrc", lrcs)

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
write_corpus("fuzz_ini", inis)
