"""ID3v2 tags and MPEG tracks built byte by byte, and the frames of a tag
read back: the one set of builders for the end-to-end tests, the fuzz
seeds and the benchmarks.  Needs only Python 3.

Versions are 2, 3 and 4; identifiers and bodies are bytes, texts are str,
times are milliseconds.
"""
import struct

CODECS = {0: "latin-1", 1: "utf-16", 2: "utf-16-be", 3: "utf-8"}
COVER = bytes(range(256)) * 3
NOTIME = 2**31 - 1  # the time of an empty stamp ("[]" or "<>")


def syncsafe(n):
    """n in four bytes of seven bits (tag sizes, version-4 frame sizes)."""
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def unsyncsafe(b):
    return (b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3]


def be32(n):
    return struct.pack(">I", n)


def audio(frames=3, payload=None):
    """MPEG-1 Layer III, 128 kbit/s, 44100 Hz: 417-byte frames, each a header
    and 413 bytes of payload, by default a pattern that never holds 0xFF (so
    no false sync) and repeats every 251 frames."""
    if payload is not None:
        return (b"\xff\xfb\x90\x64" + payload) * frames
    period = [b"\xff\xfb\x90\x64" + bytes((f * 31 + i) % 251 for i in range(413))
              for f in range(min(frames, 251))]
    return b"".join(period[f % 251] for f in range(frames))


def frame(version, ident, body, flags=b"\0\0", size=None):
    """A frame: a 24-bit size and no flags in version 2, a plain size in 3
    (and in the plain-size version-4 tags some writers make), a sync-safe one
    in 4.  size is claimed instead of the body's length when given."""
    n = len(body) if size is None else size
    if version == 2:
        return ident + be32(n)[1:] + body
    return ident + (syncsafe(n) if version == 4 else be32(n)) + flags + body


def tag(version, frames, padding=0, flags=0, size=None, ext=b""):
    """A tag header, the extended header ext (flags 0x40), the frames (a
    list of bytes) and padding; size is claimed instead of theirs when given."""
    body = ext + b"".join(frames) + b"\0" * padding
    return b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body) if size is None else size) + body


def encode(text, enc):
    """text in encoding enc with its terminator (UTF-16 with a byte order mark)."""
    return text.encode(CODECS[enc]) + (b"\0\0" if enc in (1, 2) else b"\0")


def text_frame(version, ident, text, enc=0):
    return frame(version, ident, bytes([enc]) + text.encode(CODECS[enc]))


def sylt_payload(items, enc=0, desc="", fmt=2, lang=b"eng", kind=1):
    """A SYLT body: encoding, language, time stamp format fmt (2
    milliseconds, 1 MPEG frames), content type kind (1 lyrics, 5 chords),
    descriptor, then each (text, time)."""
    out = bytes([enc]) + lang + bytes([fmt, kind]) + encode(desc, enc)
    for text, time in items:
        out += encode(text, enc) + be32(time)
    return out


def cover_frame(version):
    """A picture frame of COVER, well over 128 bytes."""
    return frame(version, b"PIC" if version == 2 else b"APIC",
                 b"\0" + (b"JPG" if version == 2 else b"image/jpeg\0") + b"\x03\0" + COVER)


def unsync(data):
    """Unsynchronised: a zero byte after each 0xFF that ends the data or is
    followed by a zero or by 111xxxxx."""
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def walk(data):
    """The raw frames of a tag and the offset where the audio starts."""
    version, flags = data[3], data[5]
    end = 10 + unsyncsafe(data[6:10])
    pos, frames = 10, []
    if version == 3 and flags & 0x40:  # the size counts the bytes after it
        pos += 4 + struct.unpack(">I", data[10:14])[0]
    elif version == 4 and flags & 0x40:  # the size counts itself
        pos += unsyncsafe(data[10:14])
    head = 6 if version == 2 else 10
    while pos + head <= end and data[pos:pos + 1] != b"\0":
        if version == 2:
            size = struct.unpack(">I", b"\0" + data[pos + 3:pos + 6])[0]
        elif version == 4:
            size = unsyncsafe(data[pos + 4:pos + 8])
        else:
            size = struct.unpack(">I", data[pos + 4:pos + 8])[0]
        frames.append(data[pos:pos + head + size])
        pos += head + size
    return frames, end


def inline_lrc(items):
    """The LRC text of sync items in the inline form the export writes: a
    line's first item gets [mm:ss.xx], the others <mm:ss.xx>."""
    out, linestart = [], True
    for text, ms in items:
        while text[:1] in ("\n", "\r"):
            out.append(text[0])
            text, linestart = text[1:], True
        if ms == NOTIME:
            stamp = ""
        else:
            h = (ms + 5) // 10
            stamp = "%02d:%02d.%02d" % (h // 6000, h // 100 % 60, h % 100)
        out.append(("[%s]" if linestart else "<%s>") % stamp + text)
        linestart = text.endswith("\n")
    return "".join(out)
