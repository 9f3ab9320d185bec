#!/usr/bin/python3
"""End-to-end tests of rewriting on file systems that share blocks.

Run by tests/support/on-xfs.sh, which mounts two XFS images: one made with
reflink (LYRASIL_XFS_SHARED), where a new copy of a track shares the old
audio's blocks, and one made without (LYRASIL_XFS_PLAIN), where it cannot.
The same import on both must give the same track, apart from the padding
that lets the shared copy's audio lie at the old track's block offsets.

    on-xfs.sh test_blocks.py EXPORT IMPORT [unittest arguments]
"""
import fcntl
import os
import struct
import sys
import tempfile
import unittest

EXPORT = IMPORT = None
HERE = os.path.dirname(os.path.abspath(__file__))

sys.path.insert(0, HERE)
from test_tools import LRC, OTHER_LRC, ToolTest  # noqa: E402
from id3build import (audio, cover_frame, frame, sylt_payload, syncsafe, tag,  # noqa: E402
                      text_frame, unsyncsafe, walk)

try:
    from mutagen.id3 import ID3
except ImportError:  # the comparison through the peer is skipped
    ID3 = None

def tag_end(data):
    return 10 + unsyncsafe(data[6:10]) if data[:3] == b"ID3" else 0


def padded(track, n):
    """track with n zero bytes of padding added to its tag, and counted."""
    end = tag_end(track)
    return track[:6] + syncsafe(end - 10 + n) + track[10:end] + bytes(n) + track[end:]


def shared_bytes(path):
    """How many bytes of the file lie in extents that the file system marks
    as shared with another file (FIEMAP, after syncing the file)."""
    count = 32
    buf = bytearray(struct.pack("=QQIIII", 0, 2**64 - 1, 1, 0, count, 0) + bytes(56 * count))
    with open(path, "rb") as f:
        fcntl.ioctl(f.fileno(), 0xC020660B, buf)  # FS_IOC_FIEMAP, FIEMAP_FLAG_SYNC
    mapped = struct.unpack_from("=I", buf, 20)[0]
    extents = [struct.unpack_from("=16xQ16xI", buf, 32 + 56 * i) for i in range(mapped)]
    return sum(length for length, flags in extents if flags & 0x2000)  # FIEMAP_EXTENT_SHARED


class Blocks(ToolTest):
    def setUp(self):
        super().setUp()  # self.dir on the shared file system (TMPDIR)
        self.shared = self.dir
        self.plain_tmp = tempfile.TemporaryDirectory(dir=os.environ["LYRASIL_XFS_PLAIN"])
        self.plain = self.plain_tmp.name
        self.block = os.statvfs(self.shared).f_bsize

    def tearDown(self):
        self.plain_tmp.cleanup()
        super().tearDown()

    def import_both(self, lrc):
        """Imports lrc into song.mp3 in both folders; the two results."""
        for folder in (self.shared, self.plain):
            self.write(os.path.join(folder, "song.lrc"), lrc)
            status, out = self.run_tool(IMPORT, os.path.join(folder, "song.mp3"))
            self.assertEqual((status, out[-5:]), (0, "Done\n"), out)
        return tuple(self.read(os.path.join(folder, "song.mp3")) for folder in (self.shared, self.plain))

    def assertPaddedTwin(self, shared, plain, old):
        """shared is plain with less than a block of padding, which puts its
        audio at the old audio's offset within a block."""
        n = len(shared) - len(plain)
        self.assertTrue(0 <= n < self.block, n)
        self.assertEqual(shared, padded(plain, n))
        self.assertEqual(tag_end(shared) % self.block, tag_end(old) % self.block)
        frames, end = walk(plain)  # no padding where blocks cannot be shared
        self.assertEqual(sum(map(len, frames)), end - 10)

    def test_imports_share_the_old_audio(self):
        sound = audio(5000)  # about 2 MB
        tracks = {
            "no tag": sound,
            "version 2": tag(2, [text_frame(2, b"TT2", "Song")]) + sound,
            "version 3, padded": tag(3, [text_frame(3, b"TIT2", "Song"), cover_frame(3),
                                         frame(3, b"SYLT", sylt_payload([("old", 0)]))],
                                     padding=300) + sound,
            "version 4": tag(4, [text_frame(4, b"TIT2", "Song"), cover_frame(4)]) + sound,
        }
        for what, old in tracks.items():
            with self.subTest(what):
                for folder in (self.shared, self.plain):
                    for name in os.listdir(folder):
                        os.unlink(os.path.join(folder, name))
                    self.write(os.path.join(folder, "song.mp3"), old)
                os.sync()
                os.link(os.path.join(self.shared, "song.mp3"), os.path.join(self.shared, "old.mp3"))
                before = os.statvfs(self.shared)
                shared, plain = self.import_both(LRC)
                after = os.statvfs(self.shared)
                self.assertPaddedTwin(shared, plain, old)
                new = os.path.join(self.shared, "song.mp3")
                self.assertGreaterEqual(shared_bytes(new), len(sound) - 2 * self.block)
                used = (before.f_bfree - after.f_bfree) * before.f_frsize
                self.assertLess(used, len(sound) // 4)
                self.assertEqual(sorted(os.listdir(self.shared)), ["old.mp3", "song.lrc", "song.mp3"])

                # A padded tag reads and rewrites as any other.
                if ID3 is not None:
                    self.assertEqual(ID3(new).pprint(), ID3(os.path.join(self.plain, "song.mp3")).pprint())
                again, plain_again = self.import_both(OTHER_LRC)
                self.assertPaddedTwin(again, plain_again, shared)
                for folder in (self.shared, self.plain):
                    self.assertEqual(self.run_tool(EXPORT, os.path.join(folder, "song.mp3"))[0], 0)
                self.assertEqual(self.read(os.path.join(self.shared, "song.lrc")),
                                 self.read(os.path.join(self.plain, "song.lrc")))

    def test_a_full_disk(self):
        """With room for the tag but not the audio: the shared copy needs
        none, the plain one fails cleanly in the middle of the copy."""
        old = tag(3, [text_frame(3, b"TIT2", "Song")]) + audio(5000)
        for folder in (self.shared, self.plain):
            self.write(os.path.join(folder, "song.mp3"), old)
            self.write(os.path.join(folder, "song.lrc"), LRC)
            os.sync()
            with open(os.path.join(folder, "filler"), "wb") as f:
                room = os.statvfs(folder)
                os.posix_fallocate(f.fileno(), 0, room.f_bavail * room.f_frsize - 512 * 1024)
        self.assertEqual(self.run_tool(IMPORT, "song.mp3"), (0, 'Importing file "song.lrc".\nDone\n'))
        self.assertTrue(self.read(os.path.join(self.shared, "song.mp3")).endswith(audio(5000)))
        status, out = self.run_tool(IMPORT, os.path.join(self.plain, "song.mp3"))
        self.assertEqual((status, out.splitlines()[-1]),
                         (1, 'Error writing temporary file "%s/song.mp$": No space left on device. '
                             'The track was not changed.' % self.plain))
        self.assertEqual(self.read(os.path.join(self.plain, "song.mp3")), old)
        self.assertEqual(sorted(os.listdir(self.plain)), ["filler", "song.lrc", "song.mp3"])


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    if "LYRASIL_XFS_SHARED" not in os.environ:
        sys.exit("run through tests/support/on-xfs.sh")
    EXPORT, IMPORT = (os.path.abspath(p) for p in sys.argv[1:3])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
