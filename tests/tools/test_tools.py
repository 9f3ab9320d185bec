#!/usr/bin/python3
"""End-to-end tests of lyrasil-import and lyrasil-export.

Each test runs the built programs on real files in a temporary folder and
checks their output, their exit status and the files they leave.  The
tracks are built by id3build (tests/support): a hand-made ID3v2 tag in front
of a few MPEG-1 Layer III frames.  python3-mutagen serves as an independent
ID3 reader and writer.  The other Python tests share ToolTest and main().

    test_tools.py EXPORT IMPORT [unittest arguments]
"""
import os
import resource
import shlex
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from id3build import (COVER, audio, be32, cover_frame, frame, sylt_payload,  # noqa: E402
                      syncsafe, tag, text_frame, walk)

EXPORT = IMPORT = None

USAGE_EXPORT = (
    "lyrasil-export version 1.1 build 5099\n\n"
    "usage: lyrasil-export <mp3-file> [lrc-file]\n"
    "       lyrasil-export [-n] [-j N] [-q] [--force] -r PATH...\n\n"
    "Exports the SYLT frame in an MP3 track to a separate LRC file.\n"
    "The MP3 track is not altered.\n"
    "\n"
    "  -r, --recursive  export every MP3 track in the folders (and tracks) named\n"
    "                   to an LRC file of the same name beside it\n"
    "  -n, --dry-run    report what would be done, change nothing\n"
    "  -j, --jobs N     handle N tracks at once (default: one per processor)\n"
    "  -q, --quiet      no progress line\n"
    "  --force          replace LRC files that hold something else (kept otherwise)\n")
USAGE_IMPORT = (
    "lyrasil-import version 1.1 build 5099\n\n"
    "usage: lyrasil-import [--uslt] [--lines] <mp3-file> [lrc-file]\n"
    "       lyrasil-import [-n] [-j N] [-q] [--uslt] [--lines] -r PATH...\n\n"
    "Imports an LRC file and writes it as a SYLT frame in an MP3 track.\n"
    "Other frames in the ID3 tag are kept intact.\n"
    "An ID3 tag is added to the MP3 track if none exists.\n"
    "\n"
    "  -r, --recursive  import into every MP3 track in the folders (and tracks)\n"
    "                   named, each from the LRC file of the same name beside it\n"
    "  -n, --dry-run    report what would be done, change nothing\n"
    "  -j, --jobs N     handle N tracks at once (default: one per processor)\n"
    "  -q, --quiet      no progress line\n"
    "  --uslt           also store the lyrics as LRC text (USLT frame)\n"
    "  --lines          one SYLT item per lyrics line, word stamps dropped\n")

LRC = b"[ti:Song]\n[00:01.00]Hello <00:01.50>world\n[00:03.00]Next line\n"
OTHER_LRC = b"[00:02.00]Other <00:02.50>words\n"
ITEMS = [("Hello ", 1000), ("world\n", 1500), ("Next line\n", 3000)]
DESCRIPTOR = "Quorvane Lyrasil"

# --- running the programs -------------------------------------------------

# What goes before each program: an emulator and its options, for programs
# that this kernel cannot run itself (a 32-bit build); the build passes it in.
EMULATOR = shlex.split(os.environ.get("LYRASIL_EMULATOR", ""))


def unprivileged():
    """Runs a program as a user whom file permissions bind: nobody when the
    tests run as root, otherwise the user as they are."""
    if os.geteuid() != 0:
        return None

    def setup():
        os.setgroups([])
        os.setgid(65534)
        os.setuid(65534)
    return setup


def as_user(uid):
    """Runs a program as uid (and its own group), with no other groups; None
    for root, who stays root."""
    if uid == 0:
        return None

    def setup():
        os.setgroups([])
        os.setgid(uid)
        os.setuid(uid)
    return setup


def unprivileged_copies(folder, user=None):
    """Copies of both programs in folder, which every user may enter, for
    unprivileged(): the build tree may lie where nobody cannot go (a home
    folder of mode 0700 or 0750).  Returns {program: its copy}, or None when
    nobody cannot run the copies either."""
    os.chmod(folder, 0o755)
    copies = {tool: shutil.copy(tool, folder) for tool in (EXPORT, IMPORT)}
    try:
        probe = subprocess.run(EMULATOR + [copies[EXPORT], "--version"], preexec_fn=user or unprivileged(),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    except PermissionError:
        return None
    return copies if probe.returncode == 0 else None


def paused_env(at):
    """The environment of a program that stops itself at its first call of
    at (see pause.c); under an emulator the emulator passes the preload on
    to the program alone (paused)."""
    env = dict(os.environ, LC_ALL="C", LYRASIL_PAUSE=at, ASAN_OPTIONS="verify_asan_link_order=0")
    if not EMULATOR:
        env["LD_PRELOAD"] = os.environ["LYRASIL_PAUSE_SHIM"]
    return env


def paused(at):
    """What goes before such a program: the emulator, telling it to preload
    the pause into the program it runs."""
    if not EMULATOR:
        return []
    return EMULATOR[:1] + ["-E", "LD_PRELOAD=" + os.environ["LYRASIL_PAUSE_SHIM"]] + EMULATOR[1:]


def full_disk(limit):
    def setup():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return setup


class ToolTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="lyrasil-e2e-")
        self.dir = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return data

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def run_tool(self, tool, *args, limit=None, preexec=None, timeout=60, cwd=None):
        env = dict(os.environ, LC_ALL="C")
        if limit:
            preexec = full_disk(limit)
        proc = subprocess.run(EMULATOR + [tool] + list(args), cwd=cwd or self.dir, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              preexec_fn=preexec, timeout=timeout)
        self.assertEqual(proc.stderr, b"", proc.stderr.decode(errors="replace"))
        return proc.returncode, proc.stdout.decode("utf-8")

    def start_paused(self, at, tool, *args, preexec=None):
        """Starts tool, which stops itself at its first call of at (flock or
        fsync; see pause.c), and returns it stopped."""
        proc = subprocess.Popen(paused(at) + [tool] + list(args), cwd=self.dir, env=paused_env(at),
                                preexec_fn=preexec, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        while True:
            with open("/proc/%d/stat" % proc.pid) as f:
                if f.read().rsplit(")", 1)[1].split()[0] in "TtZ":
                    break
        self.assertIsNone(proc.poll(), "the run ended before its pause")
        return proc

    def finish(self, proc):
        out, err = proc.communicate(timeout=60)
        self.assertEqual(err, b"")
        return proc.returncode, out.decode()

    def resume(self, proc):
        os.kill(proc.pid, signal.SIGCONT)
        return self.finish(proc)

    def export(self, *args, **kw):
        return self.run_tool(EXPORT, *args, **kw)

    def import_(self, *args, **kw):
        return self.run_tool(IMPORT, *args, **kw)

    def files(self):
        return sorted(os.listdir(self.dir))

    def copy_demo(self):
        """The bundled demo track and its lyrics, as demo.mp3 and demo.lrc."""
        for name in ("demo.mp3", "demo.lrc"):
            shutil.copy(os.path.join(HERE, "..", "..", "demo", name), self.path(name))

    def mutagen(self):
        """The mutagen.id3 module; the test is skipped without python3-mutagen."""
        try:
            import mutagen.id3
        except ImportError:
            self.skipTest("python3-mutagen is not installed")
        return mutagen.id3

    def assertImported(self, args, out_start=""):
        status, out = self.import_(*args)
        self.assertEqual((status, out), (0, out_start + "Done\n"))

    def assertExported(self, args, lrcname):
        status, out = self.export(*args)
        self.assertEqual((status, out), (0, 'Created output file "%s".\n' % lrcname))


def v3_track(items=ITEMS, enc=0):
    return tag(3, [text_frame(3, b"TIT2", "My song"),
                   frame(3, b"SYLT", sylt_payload(items, enc, DESCRIPTOR)),
                   text_frame(3, b"TPE1", "Band")], padding=50) + audio()


class CommandLine(ToolTest):
    """Usage, options, messages and exit statuses."""

    def test_usage_help_and_version(self):
        for tool, usage, name in ((EXPORT, USAGE_EXPORT, "lyrasil-export"),
                                  (IMPORT, USAGE_IMPORT, "lyrasil-import")):
            self.assertEqual(self.run_tool(tool), (1, usage))
            self.assertEqual(self.run_tool(tool, "-h"), (0, usage))
            self.assertEqual(self.run_tool(tool, "--help"), (0, usage))
            self.assertEqual(self.run_tool(tool, "--version"),
                             (0, name + " version 1.1 build 5099\n"))
        self.assertEqual(self.files(), [])

    def test_missing_files(self):
        missing = ': No such file or directory.\n'
        self.assertEqual(self.export("song"), (1, 'Error opening file "song.mp3"' + missing))
        self.assertEqual(self.import_("song"), (1, 'Error opening file "song.mp3"' + missing))
        track = self.write("song.mp3", v3_track())
        self.assertEqual(self.import_("song"), (1, 'Error opening file "song.lrc"' + missing))
        self.assertEqual(self.import_("song.mp3", "words.txt"),
                         (1, 'Error opening file "words.lrc"' + missing))
        self.assertEqual(self.read("song.mp3"), track)
        os.mkdir(self.path("folder.mp3"))
        for tool in (EXPORT, IMPORT):
            self.assertEqual(self.run_tool(tool, "folder"),
                             (1, 'Error opening file "folder.mp3": Is a directory.\n'))

    def test_export_failures(self):
        self.write("plain.mp3", audio())
        self.assertEqual(self.export("plain.mp3"), (1, 'File "plain.mp3" has no ID3 tag.\n'))
        self.write("nosylt.mp3", tag(3, [text_frame(3, b"TIT2", "x")], padding=20) + audio())
        self.assertEqual(self.export("nosylt"), (1, "No SYLT frame, or insufficient memory.\n"))
        bad = frame(3, b"SYLT", b"\0eng\x02\x01desc\0text-without-end")
        self.write("bad.mp3", tag(3, [bad]) + audio())
        self.assertEqual(self.export("bad"), (1, "Invalid SYLT frame, or insufficient "
                                                 "memory for conversion.\n"))
        self.write("good.mp3", v3_track())
        self.assertEqual(self.export("good", "nofolder/x"),
                         (1, 'Error creating output file "nofolder/x.lrc": '
                             'No such file or directory.\n'))
        os.symlink("nofolder/x.lrc", self.path("dangling.lrc"))
        self.assertEqual(self.export("good", "dangling"),
                         (1, 'Error creating output file "dangling.lrc": '
                             'No such file or directory.\n'))
        self.assertEqual(self.files(), ["bad.mp3", "dangling.lrc", "good.mp3", "nosylt.mp3",
                                        "plain.mp3"])

    def test_import_failures_leave_the_track(self):
        track = self.write("song.mp3", v3_track())
        self.write("empty.lrc", b"[ti:Only tags]\n[ar:Nobody]\nplain words\n")
        self.assertEqual(self.import_("song", "empty"),
                         (1, "Invalid LRC file, or insufficient memory.\n"))
        os.mkdir(self.path("folder.lrc"))
        self.assertEqual(self.import_("song", "folder"),
                         (1, 'Error opening file "folder.lrc": not a regular file.\n'))
        # A folder under the temporary name is in the way.
        self.write("song.lrc", LRC)
        os.mkdir(self.path("song.mp$"))
        self.write("song.mp$/keep", b"x")
        self.assertEqual(self.import_("song"), (1, 'Importing file "song.lrc".\n' + in_the_way("song.mp$")))
        self.assertEqual(self.read("song.mp$/keep"), b"x")
        self.assertEqual(self.read("song.mp3"), track)


class FileNames(ToolTest):
    """Completion of file names with default extensions, and long names."""

    def test_export_completion(self):
        self.write("song.mp3", v3_track())
        self.assertExported(["song"], "song.lrc")
        self.write("Loud.MP3", v3_track())
        self.assertExported(["Loud.MP3"], "Loud.lrc")
        self.assertExported(["song.mp3", "lyrics.txt"], "lyrics.lrc")
        self.assertExported(["song.mp3", "words"], "words.lrc")
        self.assertExported(["song.mp3", "b.lrc", "x.txt"], "song.lrc")
        os.mkdir(self.path("my.dir"))
        self.write("my.dir/song.mp3", v3_track())
        self.assertExported(["my.dir/song"], "my.dir/song.lrc")
        self.write(".hidden.mp3", v3_track())
        self.assertExported([".hidden"], ".hidden.lrc")
        self.assertEqual(self.files(), [".hidden.lrc", ".hidden.mp3", "Loud.MP3", "Loud.lrc",
                                        "lyrics.lrc", "my.dir", "song.lrc", "song.mp3",
                                        "words.lrc"])

    def test_import_completion(self):
        self.write("song.mp3", v3_track())
        self.write("song.lrc", LRC)
        self.assertImported(["song"], 'Importing file "song.lrc".\n')
        self.write("words.lrc", LRC)
        self.assertImported(["song.mp3", "words.txt"])
        # With three arguments the second is ignored and nothing announced.
        self.assertImported(["song.mp3", "other.lrc", "x"])
        self.assertEqual(self.files(), ["song.lrc", "song.mp3", "words.lrc"])

    def test_long_names_are_used_whole(self):
        for length in (251, 255):
            stem = "s" * (length - 4)
            self.write(stem + ".mp3", v3_track())
            self.write(stem + ".lrc", LRC)
            self.assertImported([stem], 'Importing file "%s.lrc".\n' % stem)
            self.assertExported([stem + ".mp3"], stem + ".lrc")
            self.assertNotIn(stem + ".mp$", self.files())
        # A name without extension gets ".mp3" at any length.
        self.write("t" * 251 + ".mp3", v3_track())
        self.assertExported(["t" * 251, "u" * 251], "u" * 251 + ".lrc")
        # A path far beyond 254 characters, through folders.
        folder = os.path.join(*["d" * 100] * 3)
        os.makedirs(self.path(folder))
        deep = os.path.join(folder, "e" * 200)
        self.write(deep + ".mp3", v3_track())
        self.write(deep + ".lrc", LRC)
        self.assertImported([deep], 'Importing file "%s.lrc".\n' % deep)
        self.assertExported([deep, deep + ".txt"], deep + ".lrc")
        self.assertEqual(sorted(os.listdir(self.path(folder))),
                         ["e" * 200 + ".lrc", "e" * 200 + ".mp3"])

    def test_name_too_long_fails_cleanly(self):
        stem = "n" * 252
        self.assertEqual(self.export(stem),
                         (1, 'Error opening file "%s.mp3": File name too long.\n' % stem))
        # The temporary name of a 255-character track named "...x.m" would
        # be two characters too long.
        track = self.write("x" * 253 + ".m", v3_track())
        self.write("x.lrc", LRC)
        self.assertEqual(self.import_("x" * 253 + ".m", "x"),
                         (1, 'Error creating temporary file "%s.mp$": File name too long.\n'
                          % ("x" * 253)))
        self.assertEqual(self.read("x" * 253 + ".m"), track)


class SafeReplace(ToolTest):
    """A track is never left damaged, truncated or missing."""

    def test_full_disk_leaves_track_intact(self):
        track = self.write("song.mp3", v3_track() + audio(20))
        self.write("song.lrc", LRC)
        status, out = self.import_("song", limit=len(track) // 2)
        self.assertEqual(status, 1)
        self.assertEqual(out, 'Importing file "song.lrc".\nError writing temporary file '
                              '"song.mp$": File too large. The track was not changed.\n')
        self.assertEqual(self.read("song.mp3"), track)
        self.assertEqual(self.files(), ["song.lrc", "song.mp3"])

    def test_full_disk_leaves_no_partial_lrc(self):
        long_items = [("word %d " % i, i * 10) for i in range(2000)]
        self.write("song.mp3", v3_track(long_items))
        old = self.write("song.lrc", b"[00:01.00]old lyrics\n")
        status, out = self.export("song", limit=8192)
        self.assertEqual(status, 1)
        self.assertEqual(out, 'Error writing output file "song.lrc": File too large.\n')
        self.assertEqual(self.read("song.lrc"), old)
        self.assertEqual(self.files(), ["song.lrc", "song.mp3"])

    def test_refused_tags_are_not_rewritten(self):
        self.write("song.lrc", LRC)
        tracks = {
            "unsync.mp3": tag(3, [frame(3, b"SYLT", sylt_payload(ITEMS))], flags=0x80) + audio(),
            "overlong.mp3": tag(3, [text_frame(3, b"TIT2", "x")], size=5000) + audio(1),
            # a frame that claims 1000 bytes in a 24-byte tag
            "broken.mp3": tag(3, [frame(3, b"TIT2", b"\0abc", size=1000)], padding=10) + audio(),
        }
        for name, data in tracks.items():
            self.write(name, data)
            self.assertEqual(self.import_(name, "song"),
                             (1, 'The ID3 tag of "%s" cannot be copied safely. '
                                 'The track was not changed.\n' % name))
            self.assertEqual(self.read(name), data)
        self.assertEqual(self.files(), sorted(list(tracks) + ["song.lrc"]))

    def test_export_never_writes_over_its_input(self):
        track = self.write("song.lrc", v3_track())
        refusal = ('Not writing "song.lrc": it is the MP3 track itself. '
                   'The track was not changed.\n')
        self.assertEqual(self.export("song.lrc"), (1, refusal))
        self.write("a.mp3", v3_track())
        os.symlink("song.lrc", self.path("link.lrc"))
        os.link(self.path("a.mp3"), self.path("hard.lrc"))
        self.assertEqual(self.export("song.lrc", "link")[0], 1)
        self.assertEqual(self.export("a.mp3", "hard")[0], 1)
        self.assertEqual(self.read("song.lrc"), track)
        self.assertEqual(self.read("a.mp3"), v3_track())

    def test_import_never_reads_the_track_as_its_lyrics(self):
        track = self.write("song.lrc", audio())
        self.assertEqual(self.import_("song.lrc"),
                         (1, 'File "song.lrc" nas no ID3 tag. A new ID3 tag will be created.\n'
                             'Not importing "song.lrc": it is the MP3 track itself. '
                             'The track was not changed.\n'))
        self.assertEqual(self.read("song.lrc"), track)

    def test_permissions_links_and_stale_temporary_files(self):
        self.write("real.mp3", v3_track())
        os.chmod(self.path("real.mp3"), 0o640)
        os.symlink("real.mp3", self.path("link.mp3"))
        self.write("song.lrc", LRC)
        victim = self.write("victim", b"not ours")
        # Whatever stands under the temporary name stays as it is.
        real = self.path("real.mp$")
        for plant in (lambda: os.symlink("victim", real), lambda: self.write("real.mp$", b"stale")):
            plant()
            self.assertEqual(self.import_("link.mp3", "song"), (1, in_the_way(real)))
            self.assertEqual(self.read("victim"), victim)
            self.assertEqual(self.read("real.mp3"), v3_track())
            os.unlink(real)
        self.assertImported(["link.mp3", "song"])
        self.assertTrue(os.path.islink(self.path("link.mp3")))
        self.assertEqual(os.stat(self.path("real.mp3")).st_mode & 0o7777, 0o640)
        self.assertEqual(self.read("victim"), victim)
        self.assertEqual(self.files(), ["link.mp3", "real.mp3", "song.lrc", "victim"])
        frames, _ = walk(self.read("real.mp3"))
        self.assertEqual(frames[-1][:4], b"SYLT")
        # An LRC name that is a link: the file it points to is written.
        os.symlink("victim", self.path("out.lrc"))
        self.assertExported(["real", "out"], "out.lrc")
        self.assertTrue(os.path.islink(self.path("out.lrc")))
        self.assertIn(b"[re:Quorvane Lyrasil]\n", self.read("victim"))

    def test_temporary_name_of_the_track_itself(self):
        track = self.write("odd.mp$", v3_track())
        self.write("odd.lrc", LRC)
        self.assertEqual(self.import_("odd.mp$"),
                         (1, 'Importing file "odd.lrc".\nError creating temporary file '
                             '"odd.mp$": that name is the track itself. '
                             'The track was not changed.\n'))
        self.assertEqual(self.read("odd.mp$"), track)


# Other formats by their first bytes (after them, MPEG frames in the tests).
ADTS = (b"\xff\xf1\x50\x80\x02\x1f\xfc" + bytes(9)) * 4  # AAC, 16-byte frames
CONTAINERS = {
    "song.wav": b"RIFF" + struct.pack("<I", 36) + b"WAVEfmt " + bytes(24),
    "song.flac": b"fLaC\0\0\0\x22" + bytes(34),
    "song.ogg": b"OggS\0\x02" + bytes(21),
    "song.m4a": be32(24) + b"ftypM4A " + bytes(12),
    "song.aiff": b"FORM\0\0\x10\0AIFFCOMM\0\0\0\x12" + bytes(18),
    "song.aifc": b"FORM\0\0\x10\0AIFCFVER\0\0\0\x04" + bytes(4),
    "song.ape": b"MAC \x96\x0f" + bytes(46),
    "song.wv": b"wvpk\x20\0\0\0" + bytes(24),
    "song.mka": b"\x1a\x45\xdf\xa3\x93\x42\x82\x88matroska",
    "song.webm": b"\x1a\x45\xdf\xa3\x8f\x42\x82\x84webm",
    "song.wma": bytes.fromhex("3026b2758e66cf11a6d900aa0062ce6c") + bytes(14),
    "song.mid": b"MThd\0\0\0\x06\0\x01\0\x02\x01\xe0",
    "song.au": b".snd\0\0\0\x18" + bytes(16),
    "song.caf": b"caff\0\x01\0\0",
    "song.mpc": b"MPCK",
    "song.mp+": b"MP+\x07" + bytes(24),
    "song.tta": b"TTA1\x01\0\x02\0" + bytes(14),
    "song.aac": ADTS,
}


def in_the_way(temp, what="track"):
    return ('"%s" is in the way: this run did not make it (it may be left from an '
            'interrupted run). Remove or rename it and try again. The %s was not changed.\n'
            % (temp, what))


def temp_busy(name, temp, what="track"):
    return ('"%s" cannot be changed now: its temporary file "%s" is in use by another '
            'program. The %s was not changed.\n' % (name, temp, what))


def busy(name, what="track"):
    return ('"%s" is being changed by another program. The %s was not changed.\n'
            % (name, what))


class Refusals(ToolTest):
    """Files that are not what their names say, and files the user may not
    change: a clear message, status 1, every file as it was."""

    def assertUntouched(self, before):
        self.assertEqual({name: self.read(name) for name in before}, before)

    def test_files_that_are_not_mp3_tracks(self):
        """Other formats, each holding MPEG frames that must not make it an
        MP3 track, with and without an ID3 tag in front."""
        lrc = self.write("words.lrc", LRC)
        text = b"A shopping list, not a song.\n" * 20
        cases = {name: data + audio() for name, data in CONTAINERS.items()}
        cases.update({
            "tagged.wav": v3_track()[:-len(audio())] + cases["song.wav"],
            "tagged.aiff": v3_track()[:-len(audio())] + cases["song.aiff"],
            "notes.txt": text,
            # one header-like pattern alone is no audio
            "stray.mp3": tag(3, [text_frame(3, b"TIT2", "x")]) + text + audio()[:4] + text,
        })
        for name, data in cases.items():
            with self.subTest(name):
                self.write(name, data)
                self.assertEqual(self.import_(name, "words"),
                                 (1, '"%s" is not an MP3 track. The track was not changed.\n' % name))
        self.assertUntouched(dict(cases, **{"words.lrc": lrc}))
        self.assertEqual(self.files(), sorted(list(cases) + ["words.lrc"]))
        # Reading the lyrics of a tagged file stays possible; a tag with
        # nothing after it is still a track.
        self.assertExported(["tagged.wav", "out"], "out.lrc")
        self.write("only.mp3", tag(3, [text_frame(3, b"TIT2", "x")]))
        self.assertImported(["only.mp3", "words"])
        # Zero bytes before the first frame, however many, are still audio.
        gap = bytes(70000) + audio()
        for old in (gap, tag(3, [text_frame(3, b"TIT2", "x")], padding=16) + gap):
            self.write("gap.mp3", old)
            self.assertEqual(self.import_("gap.mp3", "words")[0], 0)
            new = self.read("gap.mp3")
            self.assertEqual(new[walk(new)[1]:], gap)

    def test_unknown_tag_version_is_not_a_missing_tag(self):
        self.write("words.lrc", LRC)
        track = self.write("v5.mp3", tag(5, [text_frame(4, b"TIT2", "x")]) + audio())
        self.assertEqual(self.import_("v5", "words"),
                         (1, 'The ID3 tag of "v5.mp3" cannot be copied safely. '
                             'The track was not changed.\n'))
        self.assertEqual(self.read("v5.mp3"), track)
        self.assertEqual(self.files(), ["v5.mp3", "words.lrc"])

    def test_fifos_are_refused_without_waiting(self):
        good = self.write("good.mp3", v3_track())
        os.mkfifo(self.path("fifo.mp3"))
        os.mkfifo(self.path("out.lrc"))
        fifo = 'Error opening file "fifo.mp3": not a regular file.\n'
        cases = [(EXPORT, ["fifo"], fifo), (IMPORT, ["fifo", "good"], fifo),
                 (EXPORT, ["good", "out"], 'Error creating output file "out.lrc": '
                                          'not a regular file.\n')]
        for tool, args, message in cases:
            self.assertEqual(self.run_tool(tool, *args, timeout=1), (1, message))
        self.assertEqual(self.read("good.mp3"), good)
        self.assertTrue(stat.S_ISFIFO(os.lstat(self.path("out.lrc")).st_mode))
        self.assertEqual(self.files(), ["fifo.mp3", "good.mp3", "out.lrc"])

    def test_files_the_user_may_not_change(self):
        """Run as a user whom permissions bind (nobody, when the tests run as
        root): each failure names its reason."""
        bin_dir = tempfile.TemporaryDirectory(prefix="lyrasil-bin-")
        self.addCleanup(bin_dir.cleanup)
        tools = unprivileged_copies(bin_dir.name)
        if tools is None:
            self.skipTest("the user nobody cannot run programs from %s" % tempfile.gettempdir())
        os.chmod(self.dir, 0o777)
        track = v3_track()
        before = {"song.mp3": track, "words.lrc": LRC, "nr.mp3": track, "ro.lrc": LRC,
                  "rodir/t.mp3": track}
        os.mkdir(self.path("rodir"))
        for name, data in before.items():
            self.write(name, data)
            os.chmod(self.path(name), 0o666)
        for name in ("song.mp3", "ro.lrc"):
            os.chmod(self.path(name), 0o444)
        os.chmod(self.path("nr.mp3"), 0)
        os.chmod(self.path("rodir"), 0o555)
        cases = [
            (IMPORT, ["song", "words"], '"song.mp3" is read-only. The track was not changed.\n'),
            (EXPORT, ["rodir/t", "ro"], '"ro.lrc" is read-only. The LRC file was not changed.\n'),
            (IMPORT, ["nr", "words"], 'Error opening file "nr.mp3": Permission denied.\n'),
            (IMPORT, ["rodir/t", "words"],
             'Error creating temporary file "rodir/t.mp$": Permission denied.\n'),
            (EXPORT, ["rodir/t", "rodir/new"],
             'Error creating output file "rodir/new.lrc": Permission denied.\n'),
        ]
        for tool, args, message in cases:
            with self.subTest(args=args):
                self.assertEqual(self.run_tool(tools[tool], *args, preexec=unprivileged()),
                                 (1, message))
        os.chmod(self.path("nr.mp3"), 0o600)
        self.assertUntouched(before)
        self.assertEqual(sorted(os.listdir(self.path("rodir"))), ["t.mp3"])
        self.assertEqual(self.files(), ["nr.mp3", "ro.lrc", "rodir", "song.mp3", "words.lrc"])


class Concurrency(ToolTest):
    """Two runs at once, with the interleaving forced: the one that says
    "Done" leaves a complete track with its lyrics; the other refuses and
    changes nothing; no run removes or uses another's temporary file."""

    FIRST = b"[00:01.00]first run\n"
    SECOND = b"[00:02.00]second run\n"

    def setUp(self):
        super().setUp()
        self.write("first.lrc", self.FIRST)
        self.write("second.lrc", self.SECOND)
        self.originals = {}

    def track(self, name, frames):
        """A tagged track whose audio takes a while to copy."""
        sound = audio(frames)
        data = self.write(name, tag(3, [text_frame(3, b"TIT2", name),
                                        frame(3, b"SYLT", sylt_payload([("old", 5)]))])
                          + sound)
        self.originals[name] = (data, sound)

    def assertTrack(self, name, lrc):
        """name is the original track (lrc None), or its tag with lyrics lrc
        in the place of the old ones, followed by all of its audio."""
        data, sound = self.originals[name]
        new = self.read(name)
        if lrc is None:
            self.assertEqual(new, data, name)
            return
        frames, end = walk(new)
        stamp, text = lrc.decode()[1:9], lrc.decode()[10:]
        ms = int(stamp[:2]) * 60000 + int(stamp[3:5]) * 1000 + int(stamp[6:]) * 10
        self.assertEqual(frames, [text_frame(3, b"TIT2", name),
                                  frame(3, b"SYLT", sylt_payload([(text, ms)], 0, DESCRIPTOR))])
        self.assertEqual(new[end:], sound, name)

    def test_a_second_run_while_the_first_writes(self):
        cases = [  # the second run's track, what then happens to the first
            ("t.mp3", signal.SIGCONT), ("t.mp3", signal.SIGKILL),
            ("t.mp2", signal.SIGCONT), ("t.mp2", signal.SIGKILL),
        ]
        for second, end in cases:
            with self.subTest(second=second, first_run=end.name):
                self.track("t.mp3", 3000)
                self.track("t.mp2", 30)
                first = self.start_paused("fsync", IMPORT, "t.mp3", "first")
                temp = self.read("t.mp$")
                self.assertEqual(self.import_(second, "second"),
                                 (1, busy(second) if second == "t.mp3" else temp_busy(second, "t.mp$")))
                self.assertEqual(self.read("t.mp$"), temp)
                self.assertTrack("t.mp3", None)
                self.assertTrack("t.mp2", None)
                os.kill(first.pid, end)
                if end == signal.SIGCONT:
                    self.assertEqual(self.finish(first), (0, "Done\n"))
                else:
                    first.communicate()
                    # The killed run's copy stays until the user removes it.
                    self.assertEqual(self.import_(second, "second"), (1, in_the_way("t.mp$")))
                    self.assertEqual(self.read("t.mp$"), temp)
                    os.unlink(self.path("t.mp$"))
                self.assertTrack("t.mp3", self.FIRST if end == signal.SIGCONT else None)
                self.assertImported([second, "second"])
                self.assertTrack(second, self.SECOND)
                if second == "t.mp2":
                    self.assertTrack("t.mp3", self.FIRST if end == signal.SIGCONT else None)
                self.assertEqual(self.files(), ["first.lrc", "second.lrc", "t.mp2", "t.mp3"])

    def test_a_track_replaced_after_it_was_read(self):
        """The second run has read the track and its lyrics when the first one
        replaces the track: it must not put its copy of the old track in
        place."""
        self.track("t.mp3", 30)
        second = self.start_paused("flock", IMPORT, "t.mp3", "second")
        self.assertImported(["t.mp3", "first"])
        self.assertEqual(self.resume(second), (1, busy("t.mp3")))
        self.assertTrack("t.mp3", self.FIRST)
        self.assertEqual(self.files(), ["first.lrc", "second.lrc", "t.mp3"])


class Tags(ToolTest):
    """What the tracks hold after an import, and what an export makes of them."""

    def assertRewritten(self, old, new, version, payload=None):
        """new is old with its padding gone and its frames in this order:
        the frames other than SYLT frames, the new SYLT frame, the old SYLT
        frames but the first that holds lyrics (content type 1); then the
        old audio."""
        old_frames, old_end = walk(old)
        new_frames, new_end = walk(new)
        sylt_id, head = (b"SLT", 6) if version == 2 else (b"SYLT", 10)
        others = [f for f in old_frames if not f.startswith(sylt_id)]
        sylts = [f for f in old_frames if f.startswith(sylt_id)]
        lyrics = [i for i, f in enumerate(sylts) if f[head + 5] == 1][:1]
        kept = [f for i, f in enumerate(sylts) if i not in lyrics]
        self.assertEqual(new[:6], old[:6])
        self.assertEqual(new_frames, others + new_frames[len(others):len(others) + 1] + kept)
        self.assertTrue(new_frames[len(others)].startswith(sylt_id))
        self.assertTrue(new[:new_end].endswith(new_frames[-1]))  # no padding
        self.assertEqual(new[new_end:], old[old_end:])
        if payload is not None:
            self.assertEqual(new_frames[len(others)][head:], payload)

    def test_track_without_tag(self):
        track = self.write("song.mp3", audio())
        self.write("song.lrc", LRC)
        self.assertImported(["song"], 'File "song.mp3" nas no ID3 tag. A new ID3 tag will be '
                                      'created.\nImporting file "song.lrc".\n')
        new = self.read("song.mp3")
        payload = sylt_payload(ITEMS, 0, DESCRIPTOR)
        self.assertEqual(new[:10], b"ID3\4\0\0" + syncsafe(10 + len(payload)))
        self.assertEqual(new[10:20], b"SYLT" + syncsafe(len(payload)) + b"\0\0")
        self.assertEqual(new[20:], payload + track)

    def test_versions_and_cover_art(self):
        self.write("song.lrc", LRC)
        payload = sylt_payload(ITEMS, 0, DESCRIPTOR)
        for version in (2, 3, 4):
            ids = {2: (b"TT2", b"SLT", b"TAL"), 3: (b"TIT2", b"SYLT", b"TALB"),
                   4: (b"TIT2", b"SYLT", b"TALB")}[version]
            old = tag(version, [text_frame(version, ids[0], "Title"), cover_frame(version),
                                frame(version, ids[1], sylt_payload([("old", 5)])),
                                text_frame(version, ids[2], "Album"),
                                frame(version, ids[1], sylt_payload([("older", 9)]))],
                      padding=300) + audio()
            name = "v%d.mp3" % version
            self.write(name, old)
            self.assertImported([name, "song"])
            self.assertRewritten(old, self.read(name), version, payload)
            self.assertExported([name], "v%d.lrc" % version)
            self.assertEqual(self.read("v%d.lrc" % version),
                             b"[ti:Title]\n[al:Album]\n[re:Quorvane Lyrasil]\n"
                             b"[00:01.00]Hello <00:01.50>world\n[00:03.00]Next line\n")

    def test_other_sylt_frames_are_kept(self):
        """A translation and chords stay byte for byte; the new lyrics take
        the old lyrics' place as the first SYLT frame, where the export and
        mutagen read them."""
        ID3 = self.mutagen().ID3
        self.write("song.lrc", LRC)
        chords = frame(4, b"SYLT", sylt_payload([("Am ", 1000), ("G\n", 2000)], 3, "chords", kind=5))
        german = frame(4, b"SYLT", sylt_payload([("Hallo Welt\n", 1000)], 3, "", lang=b"deu"))
        old = tag(4, [chords, text_frame(4, b"TIT2", "Song"),
                      frame(4, b"SYLT", sylt_payload([("Old words\n", 500)], 3, "")), german],
                  padding=40) + audio()
        self.write("song.mp3", old)
        self.assertImported(["song"], 'Importing file "song.lrc".\n')
        new = self.read("song.mp3")
        self.assertRewritten(old, new, 4, sylt_payload(ITEMS, 0, DESCRIPTOR))
        self.assertEqual(walk(new)[0][2:], [chords, german])
        self.assertExported(["song", "back"], "back.lrc")
        self.assertEqual(self.read("back.lrc"), b"[ti:Song]\n[re:Quorvane Lyrasil]\n" + LRC[10:])
        sylt = ID3(self.path("song.mp3")).getall("SYLT")
        self.assertEqual([(f.lang, f.type, f.desc, f.text) for f in sylt],
                         [("eng", 1, DESCRIPTOR, ITEMS), ("eng", 5, "chords", [("Am ", 1000), ("G\n", 2000)]),
                          ("deu", 1, "", [("Hallo Welt\n", 1000)])])
        # A second import replaces the first lyrics frame, its own.
        self.assertImported(["song"], 'Importing file "song.lrc".\n')
        self.assertEqual(self.read("song.mp3"), new)

    def test_extended_header_is_kept(self):
        ext = be32(6) + b"\0" * 6  # version 3: 6 bytes follow the size
        old = tag(3, [text_frame(3, b"TIT2", "T"), frame(3, b"SYLT", sylt_payload([("x", 1)]))],
                  flags=0x40, ext=ext) + audio()
        self.write("ext.mp3", old)
        self.write("ext.lrc", LRC)
        self.assertImported(["ext"], 'Importing file "ext.lrc".\n')
        new = self.read("ext.mp3")
        self.assertEqual(new[10:20], ext)
        self.assertRewritten(old, new, 3)

    def test_round_trip_with_non_ascii_text(self):
        lrc = ("[00:01.00]Grüße <00:01.50>aus Köln\n[00:02.00]日本語の歌\n"
               "[01:23.45]Ünïcödé <01:24.00>ending\n").encode("utf-8")
        self.write("song.lrc", lrc)
        for version in (3, 4):
            name = "v%d.mp3" % version
            self.write(name, tag(version, [text_frame(version, b"TIT2", "Lied")]) + audio())
            self.assertImported([name, "song"])
            self.assertExported([name, "back%d" % version], "back%d.lrc" % version)
            self.assertEqual(self.read("back%d.lrc" % version),
                             b"[ti:Lied]\n[re:Quorvane Lyrasil]\n" + lrc)

    def test_utf16_frame_exports_as_utf8(self):
        items = [("\nZwölf ", 1000), ("Boxkämpfer", 1500), ("\n♪", 3000)]
        for enc in (1, 2):
            self.write("u.mp3", tag(4, [frame(4, b"SYLT", sylt_payload(items, enc, "d"))]) + audio())
            self.assertExported(["u"], "u.lrc")
            self.assertEqual(self.read("u.lrc").decode("utf-8"),
                             "[re:Quorvane Lyrasil]\n\n[00:01.00]Zwölf <00:01.50>Boxkämpfer"
                             "\n[00:03.00]♪")


class Interoperability(ToolTest):
    """Tracks checked and written by an independent ID3 library (mutagen)."""

    def setUp(self):
        super().setUp()
        self.ID3 = self.mutagen().ID3

    def test_mutagen_reads_imported_lyrics(self):
        cases = [  # version of the old tag, LRC text, declared encoding
            (None, LRC, 0), (3, LRC, 0), (4, LRC, 0),
            (3, "[00:01.00]Grüße <00:01.50>世界\n".encode("utf-8"), 1),
            (4, "[00:01.00]Grüße <00:01.50>世界\n".encode("utf-8"), 3),
            (None, "[00:01.00]Grüße\n".encode("utf-8"), 3),
        ]
        for version, lrc, encoding in cases:
            with self.subTest(version=version, encoding=encoding):
                self.write("song.lrc", lrc)
                old = audio()
                if version:
                    old = tag(version, [text_frame(version, b"TIT2", "Title"),
                                        cover_frame(version),
                                        text_frame(version, b"TPE1", "Band")],
                              padding=64) + old
                self.write("song.mp3", old)
                self.assertEqual(self.import_("song")[0], 0)
                tags = self.ID3(self.path("song.mp3"))
                sylt = tags.getall("SYLT")
                self.assertEqual(len(sylt), 1)
                self.assertEqual(sylt[0].encoding, encoding)
                self.assertEqual((sylt[0].lang, sylt[0].format, sylt[0].type, sylt[0].desc),
                                 ("eng", 2, 1, DESCRIPTOR))
                expected = []
                for line in lrc.decode("utf-8").splitlines(True):
                    first, _, rest = line.partition("<")
                    if rest:
                        expected += [(first[10:], 1000), (rest[9:], 1500)]
                    else:
                        expected.append((first[10:], 1000))
                if lrc == LRC:
                    expected = ITEMS
                self.assertEqual(sylt[0].text, expected)
                if version:
                    self.assertEqual(str(tags["TIT2"]), "Title")
                    self.assertEqual(str(tags["TPE1"]), "Band")
                    self.assertEqual(tags.getall("APIC")[0].data, COVER)
                    new_frames, _ = walk(self.read("song.mp3"))
                    self.assertEqual(new_frames[:-1], walk(old)[0])

    def test_export_of_mutagen_frames(self):
        from mutagen.id3 import SYLT, TIT2, TALB, Encoding
        items = [("Eins ", 0), ("zwei\n", 32000), ("drei", 64000), ("\nvier", 96000)]
        cases = [  # time stamp format, times given, save as version
            (2, [t for _, t in items], 4),
            (2, [t for _, t in items], 3),
            (1, [0, 1225, 2450, 3675], 4),  # MPEG frames of 1152/44100 s
        ]
        for fmt, times, version in cases:
            with self.subTest(format=fmt, version=version):
                self.write("m.mp3", audio(10))
                tags = self.ID3()
                tags.add(TIT2(encoding=Encoding.UTF16, text="Titel"))
                tags.add(TALB(encoding=Encoding.UTF8, text="Älbum"))
                tags.add(SYLT(encoding=Encoding.UTF16, lang="deu", format=fmt, type=1,
                              desc="mutagen", text=list(zip([x for x, _ in items], times))))
                tags.save(self.path("m.mp3"), v2_version=version)
                self.assertExported(["m"], "m.lrc")
                self.assertEqual(self.read("m.lrc").decode("utf-8"),
                                 "[ti:Titel]\n[al:Älbum]\n[re:Quorvane Lyrasil]\n"
                                 "[00:00.00]Eins <00:32.00>zwei\n[01:04.00]drei\n[01:36.00]vier")


class WorldMoves(ToolTest):
    """Other programs at work in the same folder while a run rewrites a file:
    each interleaving forced with the run stopped once its new file is
    complete.  The other program's version is kept, the run says so and
    fails, and no temporary file is left anywhere."""

    def changed(self, name):
        return (1, '"%s" was changed by another program while this one was rewriting it; '
                   'the other program\'s version was kept.\n' % name)

    def assertNoTemporaryFiles(self):
        for folder, _, names in os.walk(self.dir):
            self.assertEqual([n for n in names if n.endswith("$")], [], folder)

    def test_the_track_changes_while_it_is_rewritten(self):
        def in_place():   # a tagger saving into the file itself
            with open(self.path("01.mp3"), "r+b") as f:
                f.seek(10 + 10 + 1)
                f.write(b"NEW TITLE")
        def by_rename():  # a tagger saving a new file over it
            self.write("new.tmp", b"theirs" + audio(2))
            os.rename(self.path("new.tmp"), self.path("01.mp3"))
        def swap():       # a file manager swapping two names
            os.rename(self.path("01.mp3"), self.path("x"))
            os.rename(self.path("02.mp3"), self.path("01.mp3"))
            os.rename(self.path("x"), self.path("02.mp3"))
        def grow():       # a download still going on
            with open(self.path("01.mp3"), "ab") as f:
                f.write(audio(5))
        def move_folder():
            os.rename(self.path("album"), self.path("moved"))
        def remove_folder():
            shutil.rmtree(self.path("album"))
        cases = [("in place", "01.mp3", in_place), ("by rename", "01.mp3", by_rename),
                 ("names swapped", "01.mp3", swap), ("growing", "01.mp3", grow),
                 ("folder renamed", "album/01.mp3", move_folder),
                 ("folder removed", "album/01.mp3", remove_folder)]
        for what, track, change in cases:
            with self.subTest(what):
                shutil.rmtree(self.dir)
                os.makedirs(self.path("album"))
                self.write(track, v3_track())
                self.write("02.mp3", tag(3, [text_frame(3, b"TIT2", "Track two")]) + audio(7))
                self.write("01.lrc", LRC)
                run = self.start_paused("fsync", IMPORT, track, "01.lrc")
                change()
                world = {name: self.read(name) for name in
                         [os.path.relpath(os.path.join(d, n), self.dir)
                          for d, _, names in os.walk(self.dir) for n in names]
                         if not name.endswith("$")}
                self.assertEqual(self.resume(run), self.changed(track))
                self.assertEqual({name: self.read(name) for name in world}, world)
                self.assertNoTemporaryFiles()

    def test_the_lrc_file_changes_while_it_is_written(self):
        self.write("song.mp3", v3_track())
        self.write("song.lrc", b"[00:01.00]edited by hand\n")
        run = self.start_paused("fsync", EXPORT, "song.mp3")
        self.write("song.lrc", b"[00:01.00]edited again\n")
        self.assertEqual(self.resume(run), self.changed("song.lrc"))
        self.assertEqual(self.read("song.lrc"), b"[00:01.00]edited again\n")
        self.assertNoTemporaryFiles()

    def test_files_of_others_under_the_temporary_names_stay(self):
        track = self.write("t.mp3", v3_track())
        self.write("t.lrc", LRC)
        for temp, tool, what in (("t.mp$", IMPORT, "track"), ("t.lr$", EXPORT, "LRC file")):
            with self.subTest(temp):
                mine = self.write(temp, b"the user's own file")
                os.utime(self.path(temp), (1e9, 1e9))
                self.assertEqual(self.run_tool(tool, "t.mp3", "t.lrc"), (1, in_the_way(temp, what)))
                self.assertEqual(self.read(temp), mine)
                self.assertEqual(os.stat(self.path(temp)).st_mtime, 1e9)
                self.assertEqual(self.read("t.mp3"), track)
                self.assertEqual(self.read("t.lrc"), LRC)

    def test_links_planted_in_shared_folders_are_not_followed(self):
        """A link in a sticky folder everyone may write, planted by another
        user, as root and as an ordinary user: never followed, for the
        track or the LRC file; a link of one's own is."""
        if os.geteuid() != 0:
            self.skipTest("planting links as other users needs root")
        bin_dir = tempfile.TemporaryDirectory(prefix="lyrasil-bin-")
        self.addCleanup(bin_dir.cleanup)
        tools = unprivileged_copies(bin_dir.name, as_user(65533))
        if tools is None:
            self.skipTest("another user cannot run programs from %s" % tempfile.gettempdir())
        os.chmod(self.dir, 0o755)
        os.mkdir(self.path("shared"), 0o1777)
        os.chmod(self.path("shared"), 0o1777)
        victim, track = b"[00:01.00]not to be touched\n", v3_track()
        refused = ('"%s" is a link in a folder that others may write; it is not followed. '
                   'The file was not changed.\n')
        for runner in (0, 65533):
            for planter in (65534, runner):
                for link, tool, args, target in (
                        ("shared/out.lrc", EXPORT, ["shared/song.mp3", "shared/out"], "victim.lrc"),
                        ("shared/in.mp3", IMPORT, ["shared/in.mp3", "shared/victim.lrc"], "song.mp3")):
                    with self.subTest(runner=runner, planter=planter, link=link):
                        for name, data in (("shared/victim.lrc", victim), ("shared/song.mp3", track)):
                            self.write(name, data)
                            os.chown(self.path(name), runner, runner)
                        os.symlink(target, self.path(link))
                        os.lchown(self.path(link), planter, planter)
                        status, out = self.run_tool(tools[tool], *args, preexec=as_user(runner))
                        if planter == runner:
                            self.assertEqual(status, 0, out)
                        else:
                            self.assertEqual((status, out), (1, refused % link))
                            self.assertEqual(self.read("shared/victim.lrc"), victim)
                            self.assertEqual(self.read("shared/song.mp3"), track)
                        os.unlink(self.path(link))
        self.assertNoTemporaryFiles()

    def test_permissions_stay_exactly_as_they_were(self):
        self.write("song.lrc", LRC)
        track = self.write("song.mp3", v3_track())
        os.chmod(self.path("song.mp3"), 0o444)
        self.assertEqual(self.import_("song"), (1, 'Importing file "song.lrc".\n'
                                                  '"song.mp3" is read-only. The track was not changed.\n'))
        self.assertEqual(self.read("song.mp3"), track)
        os.chmod(self.path("song.mp3"), 0o640)
        acl = "system.posix_acl_access"
        if shutil.which("setfacl") is None or subprocess.run(
                ["setfacl", "-d", "-m", "u:65534:---", self.dir]).returncode != 0:
            self.skipTest("no setfacl, or no access lists here")
        self.assertImported(["song"], 'Importing file "song.lrc".\n')
        self.assertNotIn(acl, os.listxattr(self.path("song.mp3")))
        self.assertEqual(os.stat(self.path("song.mp3")).st_mode & 0o7777, 0o640)
        subprocess.run(["setfacl", "-m", "u:65534:r--", self.path("song.mp3")], check=True)
        before = os.getxattr(self.path("song.mp3"), acl)
        self.assertImported(["song"], 'Importing file "song.lrc".\n')
        self.assertEqual(os.getxattr(self.path("song.mp3"), acl), before)


def main(doc):
    """Runs the tests of the module run as a program, given EXPORT IMPORT
    [unittest arguments]; doc is its usage."""
    global EXPORT, IMPORT
    if len(sys.argv) < 3:
        sys.exit(doc)
    EXPORT, IMPORT = (os.path.abspath(p) for p in sys.argv[1:3])
    unittest.main(module="__main__", argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)


if __name__ == "__main__":
    main(__doc__)
