#!/usr/bin/python3
"""End-to-end tests of the converters over whole folders (-r): what is
found, what each track ends as (the single-track form's result), the
report, dry runs, the number of workers, stopping, and --lines.

    test_batch.py EXPORT IMPORT [unittest arguments]
"""
import os
import resource
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_tools  # noqa: E402  (the runner)
from test_tools import LRC, OTHER_LRC, ToolTest, v3_track  # noqa: E402
from id3build import audio, frame, sylt_payload, tag, text_frame, walk  # noqa: E402

BROKEN = ('music/broken.mp3: "music/broken.mp3" is not an MP3 track. '
          'The track was not changed.\n')


def import_report(n, imported, unchanged, skipped, failed):
    return "%d tracks: %d imported, %d unchanged, %d without an LRC file, %d failed.\n" % (
        n, imported, unchanged, skipped, failed)


class Batch(ToolTest):
    def tree(self, top="."):
        """A library: nested folders, blanks and UTF-8 in names, upper-case
        extensions, a track without an LRC file, a broken one, a link to a
        folder elsewhere and a link that loops; neither link is followed."""
        files = {
            "music/A b/01 Grüße.mp3": v3_track(), "music/A b/01 Grüße.lrc": OTHER_LRC,
            "music/A b/sub/Two.MP3": tag(4, [text_frame(4, b"TIT2", "Two")]) + audio(5),
            "music/A b/sub/Two.Lrc": LRC,
            "music/none.mp3": audio(4),
            # Two tracks with one temporary name between them ("Same.mp$").
            "music/Same.mp3": v3_track(), "music/Same.MP3": v3_track(), "music/Same.lrc": OTHER_LRC,
            "music/broken.mp3": b"no audio here\n", "music/broken.lrc": LRC,
            "outside/x.mp3": v3_track(), "outside/x.lrc": LRC,
        }
        for name, data in files.items():
            os.makedirs(os.path.dirname(self.path(os.path.join(top, name))), exist_ok=True)
            self.write(os.path.join(top, name), data)
        os.symlink("../outside", self.path(os.path.join(top, "music/linked")))
        os.symlink("..", self.path(os.path.join(top, "music/A b/sub/loop")))

    def snapshot(self, top="."):
        """Every file below top, links not followed: bytes, inode, mtime."""
        found = {}
        for folder, _, names in os.walk(self.path(top)):
            for name in names:
                path = os.path.join(folder, name)
                if not os.path.islink(path):
                    st = os.stat(path)
                    found[os.path.relpath(path, self.path(top))] = (self.read(path), st.st_ino,
                                                                   st.st_mtime_ns)
        return found

    def tracks(self, n):
        """n tracks t0, t1, ... beside their LRC files; their stems."""
        names = ["t%d" % i for i in range(n)]
        for name in names:
            self.write(name + ".mp3", v3_track())
            self.write(name + ".lrc", OTHER_LRC)
        return names

    def batch(self, tool, *args, cwd="."):
        return self.run_tool(tool, *args, cwd=self.path(cwd), timeout=120)

    def test_a_library_is_imported_as_track_by_track(self):
        self.tree()
        first = (1, BROKEN + import_report(6, 4, 0, 1, 1))
        before = self.snapshot()
        self.assertEqual(self.batch(test_tools.IMPORT, "-n", "-r", "music"), first)
        self.assertEqual(self.snapshot(), before, "a dry run wrote")
        self.assertEqual(self.batch(test_tools.IMPORT, "-r", "music"), first)
        # Each track as the single-track form leaves it; nothing else moved.
        single = {"A b/01 Grüße": ("mp3", "lrc"), "A b/sub/Two": ("MP3", "Lrc")}
        os.mkdir(self.path("one"))
        for stem, (ext, lrcext) in single.items():
            track, lrc = "one/t.mp3", "one/t.lrc"
            self.write(track, before["music/%s.%s" % (stem, ext)][0])
            self.write(lrc, before["music/%s.%s" % (stem, lrcext)][0])
            self.assertImported([track, lrc])
            self.assertEqual(self.read("music/%s.%s" % (stem, ext)), self.read(track), stem)
        after = self.snapshot()
        for name in ("music/none.mp3", "music/broken.mp3", "outside/x.mp3"):
            self.assertEqual(after[name], before[name], name)
        # Again: every track holds its lyrics already, and stays as it is.
        self.assertEqual(self.batch(test_tools.IMPORT, "-r", "music"),
                         (1, BROKEN + import_report(6, 0, 4, 1, 1)))
        self.assertEqual(self.snapshot(), after)

    def test_the_number_of_workers_changes_nothing(self):
        results = []
        for jobs in ("1", "4"):
            top = "j" + jobs
            os.mkdir(self.path(top))
            self.tree(top)
            results.append((self.batch(test_tools.IMPORT, "-j", jobs, "-r", "music", cwd=top),
                            {name: data for name, (data, _, _) in self.snapshot(top).items()}))
        self.assertEqual(results[0], results[1])

    def test_export_keeps_what_differs_unless_forced(self):
        synced = tag(3, [text_frame(3, b"TIT2", "T"),
                         frame(3, b"SYLT", sylt_payload([("Hello\n", 1000)], 0, "d"))]) + audio()
        for name in ("equal", "different", "missing"):
            self.write(name + ".mp3", synced)
        self.write("plain.mp3", audio())
        self.assertEqual(self.export("equal.mp3"), (0, 'Created output file "equal.lrc".\n'))
        self.write("different.lrc", b"[00:09.00]mine\n")
        report = "4 tracks: %d exported, %d unchanged, %d kept, 1 without a SYLT frame, 0 failed.\n"
        self.assertEqual(self.batch(test_tools.EXPORT, "-r", "."), (0, report % (1, 1, 1)))
        self.assertEqual(self.read("different.lrc"), b"[00:09.00]mine\n")
        self.assertEqual(self.read("missing.lrc"), self.read("equal.lrc"))
        self.assertFalse(os.path.exists(self.path("plain.lrc")))
        self.assertEqual(self.batch(test_tools.EXPORT, "--force", "-r", "."), (0, report % (1, 2, 0)))
        self.assertEqual(self.read("different.lrc"), self.read("equal.lrc"))

    def test_a_stopped_batch_leaves_every_track_whole(self):
        """SIGINT while both workers are about to put a new track in place:
        those two end new, no other is begun, nothing is left behind."""
        names = self.tracks(6)
        run = subprocess.Popen(test_tools.paused("rename") + [test_tools.IMPORT, "-j", "2", "-r", "."],
                               cwd=self.dir, env=test_tools.paused_env("rename"),
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        workers = []
        for _ in range(2000):
            workers = [pid for pid in self.children(run.pid) if self.state(pid) == "T"]
            if len(workers) == 2:
                break
            time.sleep(0.005)
        self.assertEqual(len(workers), 2, "the workers did not reach their pause")
        os.kill(run.pid, signal.SIGINT)
        for pid in workers:
            os.kill(pid, signal.SIGCONT)
        out, err = run.communicate(timeout=60)
        self.assertEqual(run.returncode, 1)
        self.assertEqual(out.decode(), import_report(6, 2, 0, 0, 0))
        self.assertEqual(err.decode(), "lyrasil-import: stopped; 4 of 6 tracks were not handled.\n")
        changed = [n for n in names if self.read(n + ".mp3") != v3_track()]
        self.assertEqual(changed, ["t0", "t1"])
        self.assertEqual([n for n in os.listdir(self.dir) if n.endswith("$")], [])

    def test_a_group_sync_stands_in_for_each_files_only_where_it_reports_errors(self):
        """The new copies of a group are synced by one sync of their file
        system; each is synced on its own as well unless that sync succeeded
        where it reports every write error (Linux 5.8 and later; ext2/3/4,
        XFS, Btrfs).  strace counts the syncs and makes that sync fail."""
        if test_tools.EMULATOR or shutil.which("strace") is None or \
                subprocess.run(["strace", "-o", os.devnull, "true"]).returncode != 0:
            self.skipTest("strace cannot trace the converters here")
        kind = subprocess.run(["stat", "-f", "-c", "%t", self.dir], stdout=subprocess.PIPE).stdout
        release = tuple(int(n) for n in os.uname().release.split("-")[0].split(".")[:2])
        reported = release >= (5, 8) and kind.strip() in (b"ef53", b"58465342", b"9123683e")
        for failing in (False, True):
            self.tracks(3)
            log = self.path("strace.%d" % failing)
            inject = ["-e", "inject=syncfs:error=EIO"] if failing else []
            run = subprocess.run(["strace", "-f", "-y", "-o", log, "-e", "trace=fsync,syncfs"] + inject +
                                 [test_tools.IMPORT, "-j", "1", "-r", "."], cwd=self.dir, stdout=subprocess.PIPE,
                                 env=dict(os.environ, LC_ALL="C", ASAN_OPTIONS="detect_leaks=0"))  # no leak check under ptrace
            self.assertEqual((run.returncode, run.stdout.decode()), (0, import_report(3, 3, 0, 0, 0)))
            with open(log) as f:
                calls = f.read()
            self.assertEqual(calls.count("syncfs("), 1, calls)
            self.assertEqual(calls.count(".mp$>)"), 0 if reported and not failing else 3, calls)

    def test_groups_fit_a_low_limit_on_open_files(self):
        self.tracks(40)
        low = lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (64, 64))  # noqa: E731
        self.assertEqual(self.run_tool(test_tools.IMPORT, "-j", "1", "-r", ".", preexec=low),
                         (0, import_report(40, 40, 0, 0, 0)))

    @staticmethod
    def children(pid):
        found = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open("/proc/%s/stat" % entry) as f:
                        if int(f.read().rsplit(")", 1)[1].split()[1]) == pid:
                            found.append(int(entry))
                except (OSError, IndexError, ValueError):
                    pass
        return found

    @staticmethod
    def state(pid):
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0]

    def test_lines_makes_one_item_of_each_line(self):
        self.write("a.mp3", v3_track())
        self.write("a.lrc", b"[00:01.00]Hel<00:01.20>lo <00:01.50>you\n[00:03.00]next\n")
        shutil.copy(self.path("a.mp3"), self.path("b.mp3"))
        shutil.copy(self.path("a.lrc"), self.path("b.lrc"))
        self.assertImported(["--lines", "a.mp3"], 'Importing file "a.lrc".\n')
        self.assertEqual(self.batch(test_tools.IMPORT, "--lines", "-r", "b.mp3"),
                         (0, import_report(1, 1, 0, 0, 0)))
        id3 = self.mutagen()
        for name in ("a.mp3", "b.mp3"):
            self.assertEqual(id3.ID3(self.path(name)).getall("SYLT")[0].text,
                             [("Hello you\n", 1000), ("next\n", 3000)], name)

    def test_uslt_holds_what_an_export_writes(self):
        """--uslt: after the new SYLT frame, one USLT frame with this
        program's descriptor holding the text lyrasil-export writes, in the
        encoding the SYLT frame's rule gives it; an old one of ours replaced,
        another tagger's kept byte for byte."""
        cases = [(3, b"[00:01.00]plain words\n", 0), (3, "[00:01.00]Grüße\n".encode(), 1),
                 (4, "[00:01.00]Grüße\n".encode(), 3), (2, b"[00:01.00]plain words\n", 0)]
        for version, lrc, enc in cases:
            with self.subTest(version=version, enc=enc):
                ident = b"ULT" if version == 2 else b"USLT"
                foreign = frame(version, ident, b"\0deu" + b"\0" + b"Plain lyrics of another tagger")
                ours = frame(version, ident, b"\0eng" + b"Quorvane Lyrasil\0" + b"old text")
                self.write("s.mp3", tag(version, [text_frame(version, b"TT2" if version == 2 else b"TIT2", "T"),
                                                  ours, foreign]) + audio())
                self.write("s.lrc", lrc)
                self.assertImported(["--uslt", "s.mp3"], 'Importing file "s.lrc".\n')
                frames, _ = walk(self.read("s.mp3"))
                ids = [f[:3 if version == 2 else 4] for f in frames]
                sylt = b"SLT" if version == 2 else b"SYLT"
                self.assertEqual(ids[ids.index(sylt) + 1], ident, "USLT right after SYLT")
                self.assertIn(foreign, frames)
                self.assertNotIn(ours, frames)
                mine = [f for f in frames if f[:len(ident)] == ident and f != foreign]
                self.assertEqual(len(mine), 1)
                body = mine[0][6 if version == 2 else 10:]
                self.assertEqual((body[0], body[1:4]), (enc, b"eng"))
                self.assertEqual(self.export("s.mp3", "back"), (0, 'Created output file "back.lrc".\n'))
                if version > 2:  # mutagen reads version 2.3 and 2.4 tags only
                    got = [f for f in self.mutagen().ID3(self.path("s.mp3")).getall("USLT")
                           if f.desc == "Quorvane Lyrasil"]
                    self.assertEqual(got[0].text, self.read("back.lrc").decode())
                self.assertEqual(self.batch(test_tools.IMPORT, "--uslt", "-r", "s.mp3"),
                                 (0, import_report(1, 0, 1, 0, 0)))

    def test_usage_errors(self):
        cases = [(test_tools.IMPORT, ["-n", "a.mp3"]), (test_tools.IMPORT, ["-r"]),
                 (test_tools.IMPORT, ["-j", "0", "-r", "."]), (test_tools.IMPORT, ["--force", "-r", "."]),
                 (test_tools.EXPORT, ["--uslt", "a.mp3"]), (test_tools.EXPORT, ["-q", "a.mp3"])]
        for tool, args in cases:
            with self.subTest(args=args):
                status, out = self.batch(tool, *args)
                self.assertEqual(status, 1)
                self.assertIn("usage: ", out)
        self.assertEqual(self.files(), [])


if __name__ == "__main__":
    test_tools.main(__doc__)
