#!/usr/bin/python3
"""The editor's track files against other readers.

Tracks saved by the editor's own save (through lyrasil-trackio, which calls
exactly what the window calls) are read back with python3-mutagen; tracks
written by lyrasil-import open in the editor with the rows lrc_read gives;
LRC files in the encodings users have are imported and saved right.

    test_trackio.py TRACKIO IMPORT EXPORT [unittest arguments]
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import test_tools  # noqa: E402  (the runner)
from test_tools import ToolTest  # noqa: E402
from id3build import audio, cover_frame, frame, sylt_payload, tag, text_frame, walk  # noqa: E402

TRACKIO = None


class EditorFiles(ToolTest):
    def trackio(self, *args):
        return self.run_tool(TRACKIO, *args)

    def rows(self, *args):
        status, out = self.trackio(*args)
        self.assertEqual(status, 0, out)
        return [tuple(line.split("\t", 1)) for line in out.splitlines()]

    def save(self, track, rows, dest=None):
        self.write("rows.tsv", "".join("%s\t%s\n" % r for r in rows).encode("utf-8"))
        args = ["save", track, "rows.tsv"] + ([dest] if dest else [])
        self.assertEqual(self.trackio(*args), (0, "Done\n"))

    def sylt(self, name):
        tags = self.mutagen().ID3(self.path(name))
        frames = tags.getall("SYLT")
        self.assertEqual(len(frames), 1)
        return frames[0]

    def test_saved_lyrics_read_back_in_mutagen(self):
        rows = [("00:01.00", "Grüße"), ("00:01.50", " aus"), ("00:02.00", "-Köln"),
                ("00:03.00", "日本語"), ("00:04.00", "_😀"), ("00:05.00", "# Ünï")]
        items = [("\nGrüße", 1000), (" aus", 1500), ("-Köln", 2000), ("\n日本語", 3000),
                 ("😀", 4000), ("\n Ünï", 5000)]
        for version, encoding in ((3, 1), (4, 3)):
            with self.subTest(version=version):
                others = [text_frame(version, b"TIT2", "Song"), cover_frame(version),
                          frame(version, b"TXXX", b"\0key\0value")]
                old = tag(version, others + [frame(version, b"SYLT", sylt_payload([("old", 0)]))],
                          padding=64) + audio()
                self.write("song.mp3", old)
                self.save("song.mp3", rows)
                new = self.read("song.mp3")
                sylt = self.sylt("song.mp3")
                self.assertEqual(sylt.encoding, encoding)
                self.assertEqual(sylt.format, 2)
                self.assertEqual(list(sylt.text), items)
                frames, end = walk(new)
                self.assertEqual(frames[:3], others, "every other frame byte for byte")
                self.assertEqual(new[end:], audio(), "the audio byte for byte")
                self.assertEqual(self.rows("load", "song.mp3"), rows)

    def test_the_uslt_option_saves_what_an_export_writes(self):
        """With Options > Also save lyrics as LRC text, a save writes the
        same USLT frame as lyrasil-import --uslt: the LRC text of the
        export, right after the SYLT frame."""
        self.write("song.mp3", tag(3, [text_frame(3, b"TIT2", "Song")]) + audio())
        self.write("rows.tsv", "00:01.00\tGrüße\n00:01.50\t aus\n".encode())
        self.assertEqual(self.trackio("save", "--uslt", "song.mp3", "rows.tsv"), (0, "Done\n"))
        self.assertEqual(self.trackio("export", "song.mp3", "back.lrc"), (0, "Created output file\n"))
        uslt = self.mutagen().ID3(self.path("song.mp3")).getall("USLT")
        self.assertEqual([(u.desc, u.lang, u.text) for u in uslt],
                         [("Quorvane Lyrasil", "eng", self.read("back.lrc").decode())])
        frames, _ = walk(self.read("song.mp3"))
        self.assertEqual([f[:4] for f in frames], [b"TIT2", b"SYLT", b"USLT"])

    def test_other_sylt_frames_survive_a_save(self):
        """Chords and a translation stay byte for byte after the lyrics the
        editor shows; a frame of another writer's kind (mutagen's default
        type 0) saved unchanged is not doubled."""
        chords = frame(4, b"SYLT", sylt_payload([("Am", 1000)], 3, "chords", kind=5))
        german = frame(4, b"SYLT", sylt_payload([("\nHallo", 1000)], 3, "", lang=b"deu"))
        title = text_frame(4, b"TIT2", "Song")
        self.write("song.mp3", tag(4, [chords, title, frame(4, b"SYLT", sylt_payload([("\nOld", 500)])),
                                       german]) + audio())
        self.assertEqual(self.rows("load", "song.mp3"), [("00:00.50", "Old")])
        self.save("song.mp3", [("00:01.00", "New")])
        frames = walk(self.read("song.mp3"))[0]
        self.assertEqual([frames[0]] + frames[2:], [title, chords, german])
        self.assertEqual(self.rows("load", "song.mp3"), [("00:01.00", "New")])
        sylt = self.mutagen().ID3(self.path("song.mp3")).getall("SYLT")
        self.assertEqual([(f.type, f.lang, list(f.text)) for f in sylt],
                         [(1, "eng", [("\nNew", 1000)]), (5, "eng", [("Am", 1000)]), (1, "deu", [("\nHallo", 1000)])])

        other = tag(4, [title, frame(4, b"SYLT", sylt_payload([("\nTheirs", 700)], kind=0))]) + audio()
        self.write("other.mp3", other)
        self.save("other.mp3", self.rows("load", "other.mp3"))
        self.assertEqual(self.read("other.mp3"), other)

    def test_a_track_from_the_converter_opens_and_saves_unchanged(self):
        self.copy_demo()
        self.assertEqual(self.import_("demo.mp3")[0], 0)
        self.assertEqual(self.export("demo.mp3", "before.lrc")[0], 0)
        loaded = self.rows("load", "demo.mp3")
        self.assertEqual(loaded, self.rows("import", "demo.lrc"))
        self.assertGreater(len(loaded), 20)
        self.save("demo.mp3", loaded)
        self.assertEqual(self.export("demo.mp3", "after.lrc")[0], 0)
        self.assertEqual(self.read("after.lrc"), self.read("before.lrc"))

    def test_lrc_files_as_users_have_them_are_imported_and_saved_right(self):
        text = "[00:01.00]Café <00:01.50>€5\n[00:03.00]Grüße\n"
        cases = [
            ("Windows-1252", text.encode("cp1252")),
            ("UTF-16 LE", b"\xff\xfe" + text.encode("utf-16-le")),
            ("UTF-16 BE", b"\xfe\xff" + text.encode("utf-16-be")),
        ]
        for name, data in cases:
            with self.subTest(name):
                self.write("words.lrc", data)
                rows = self.rows("import", "words.lrc")
                self.assertEqual(rows, [("00:01.00", "Café"), ("00:01.50", " €5"), ("00:03.00", "Grüße")])
                self.write("song.mp3", tag(4, [text_frame(4, b"TIT2", "Song")]) + audio())
                self.save("song.mp3", rows)
                self.assertEqual(list(self.sylt("song.mp3").text),
                                 [("\nCafé", 1000), (" €5", 1500), ("\nGrüße", 3000)])

        # Lyrics more than a tag could hold are refused, at little cost.
        self.write("big.lrc", b"[00:00.00]" * 1000 + b"la " * 100000 + b"\n")
        self.assertEqual(self.trackio("import", "big.lrc"),
                         (1, 'The lyrics in "big.lrc" are more than an ID3 tag can hold.\n'))

        # A chorus stamped twice is two lines, in time order.
        self.write("words.lrc", b"[00:12.00][00:30.00]Chorus\n[00:20.00]Verse\n")
        rows = self.rows("import", "words.lrc")
        self.assertEqual(rows, [("00:12.00", "Chorus"), ("00:20.00", "Verse"), ("00:30.00", "Chorus")])

    def test_failures_leave_the_track_and_no_temporary_file(self):
        old = tag(3, [text_frame(3, b"TIT2", "Song")]) + audio()
        self.write("song.mp3", old)
        os.mkdir(self.path("song.mp$"))
        self.write("rows.tsv", b"00:01.00\tHello\n")
        status, out = self.trackio("save", "song.mp3", "rows.tsv")
        self.assertEqual((status, out), (1, '"song.mp$" is in the way: this program did not make it '
                                            '(it may be left from an interrupted run).\nRemove or rename '
                                            'it and try again.\nThe track was not changed.\n'))
        os.rmdir(self.path("song.mp$"))
        self.write("song.wav", b"RIFF\x24\0\0\0WAVEfmt " + audio())
        status, out = self.trackio("save", "song.wav", "rows.tsv")
        self.assertEqual(status, 1)
        self.assertIn("is not an MP3 track.", out)
        self.assertEqual(self.read("song.mp3"), old)
        self.assertEqual(self.files(), ["rows.tsv", "song.mp3", "song.wav"])


    def test_the_world_moving_during_a_save_or_export(self):
        """Another program at work while the editor writes: its version is
        kept and the editor says so; a file of another's under the temporary
        name stays; nothing is left behind."""
        changed = ('"%s" was changed by another program while this one was rewriting it;\n'
                   "the other program's version was kept.\n")
        self.write("rows.tsv", b"00:01.00\tHello\n")
        cases = [  # what is written, the file the other program changes
            (["save", "song.mp3", "rows.tsv"], "song.mp3"),
            (["save", "song.mp3", "rows.tsv", "copy.mp3"], "copy.mp3"),
            (["export", "song.mp3", "out.lrc"], "out.lrc"),
        ]
        for args, victim in cases:
            with self.subTest(args=args):
                track = self.write("song.mp3", tag(3, [text_frame(3, b"TIT2", "Song"),
                                                       frame(3, b"SYLT", b"\0eng\x02\x01\0a\0\0\0\0\x10")])
                                   + audio())
                if victim != "song.mp3":
                    self.write(victim, b"the other program's")
                run = self.start_paused("fsync", TRACKIO, *args)
                theirs = self.write(victim, b"the other program's, changed")
                self.assertEqual(self.resume(run), (1, changed % victim))
                self.assertEqual(self.read(victim), theirs)
                temp = victim[:-4] + (".lr$" if victim.endswith(".lrc") else ".mp$")
                self.assertFalse(os.path.exists(self.path(temp)))
                self.write("song.mp3", track)
                mine = self.write(temp, b"mine")
                status, out = self.trackio(*args)
                self.assertEqual(status, 1)
                self.assertTrue(out.startswith('"%s" is in the way' % temp), out)
                self.assertEqual(self.read(temp), mine)
                os.unlink(self.path(temp))


if __name__ == "__main__":
    TRACKIO, test_tools.IMPORT, test_tools.EXPORT = sys.argv[1:4]
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:], verbosity=2)
