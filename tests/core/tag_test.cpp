// Opening a tag (id3_init) and reading its SYLT frame (id3_readsylt).
#include <cstring>

#include "helpers.h"

namespace {

class Tag : public Core {};

TEST_F(Tag, HeaderFieldsAndResult)
{
    // "ID3", version 3, revision 0, flags 0, size 00 00 02 01 = 257.
    Bytes file = Bytes("ID3\x03\x00\x00\x00\x00\x02\x01", 10) + Bytes(257, '\0') + audio();
    ASSERT_EQ(open(file), 1);
    EXPECT_EQ(t.version, 3);
    EXPECT_EQ(t.flags, 0);
    EXPECT_EQ(t.size, 257);
    EXPECT_EQ(t.fp, track);
    EXPECT_EQ(ftello(track), 10);
}

TEST_F(Tag, RejectedHeaders)
{
    struct { Bytes file; int version; const char *why; } cases[] = {
        {audio(), 0, "no tag"},
        {Bytes("ID3\x03\x00", 5), 0, "shorter than a header"},
        {Bytes("", 0), 0, "empty file"},
        {tag_header(5, 0, 10) + Bytes(10, '\0'), 5, "version 5"},
        {tag_header(1, 0, 10) + Bytes(10, '\0'), 1, "version 1"},
        {tag_header(3, 0, 0), 3, "size 0"},
        // Extended header claiming more bytes than the tag holds.
        {tag_header(3, 0x40, 8) + be32(100) + Bytes(4, '\0'), 3, "extended header too long"},
    };
    for (auto &c : cases) {
        EXPECT_EQ(open(c.file), 0) << c.why;
        EXPECT_EQ(t.version, c.version) << c.why;
    }
}

TEST_F(Tag, SizeFieldBoundaries)
{
    // Sync-safe: seven bits per byte; top bits are ignored on reading.
    struct { Bytes field; int32_t size; } cases[] = {
        {Bytes("\x00\x00\x00\x7F", 4), 127},
        {Bytes("\x00\x00\x01\x00", 4), 128},
        {Bytes("\x00\x00\x01\x01", 4), 129},
        {Bytes("\x7F\x7F\x7F\x7F", 4), 0x0FFFFFFF},
        {Bytes("\xFF\xFF\xFF\xFF", 4), 0x0FFFFFFF},
        {Bytes("\x00\x00\x02\x2C", 4), 300},
    };
    for (auto &c : cases) {
        // The tag may claim more than the file holds: reading is lenient.
        ASSERT_EQ(open(Bytes("ID3\x04\x00\x00", 6) + c.field + Bytes(20, '\0')), 1);
        EXPECT_EQ(t.size, c.size);
    }
}

TEST_F(Tag, NullStreamGivesAnEmptyContext)
{
    t.size = 99;
    EXPECT_EQ(id3_init(nullptr, &t), 0);
    EXPECT_EQ(t.fp, nullptr);
    EXPECT_EQ(t.size, 0);
    EXPECT_EQ(t.version, 0);
    EXPECT_EQ(t.title, nullptr);
    EXPECT_EQ(t.lrc, nullptr);
    EXPECT_EQ(t.plainsizes, 0);
    id3_close(&t);
    id3_close(&t);
}

TEST_F(Tag, ExtendedHeaderSizeFollowsTheVersion)
{
    // Version 3: the size field counts the 6 (or 10) bytes after it.
    Bytes ext3 = be32(10) + Bytes(10, '\0');
    Bytes f3 = frame3("TIT2", text0("T")) + frame3("SYLT", payload0(item("a", 1)));
    ASSERT_EQ(open(make_tag(3, 0x40, ext3 + f3)), 1);
    EXPECT_EQ(ftello(track), 24);
    ASSERT_EQ(id3_readsylt(&t), 1);
    EXPECT_STREQ(t.title, "T");
    // Version 3 with unsynchronisation too: the size is still plain.
    ASSERT_EQ(open(make_tag(3, 0xC0, ext3 + f3)), 1);
    EXPECT_EQ(ftello(track), 24);
    // Version 4: the sync-safe size counts itself.
    Bytes ext4 = syncsafe(6) + Bytes("\x01\x00", 2);
    ASSERT_EQ(open(make_tag(4, 0x40, ext4 + frame4("SYLT", payload0(item("a", 1))))), 1);
    EXPECT_EQ(ftello(track), 16);
    EXPECT_EQ(id3_readsylt(&t), 1);
}

TEST_F(Tag, ReadsTextFramesBeforeTheFirstSyltFrame)
{
    Bytes p1 = payload0(item("one", 1000));
    Bytes frames = frame3("TIT2", text0("My song")) + frame3("TALB", text0("Old")) +
                   frame3("TALB", text0("Album")) + frame3("SYLT", p1) +
                   frame3("TPE1", text0("Late")) + frame3("SYLT", payload0(item("two", 2)));
    ASSERT_EQ(open(make_tag(3, 0, frames, 100) + audio()), 1);
    ASSERT_EQ(id3_readsylt(&t), 1);
    EXPECT_STREQ(t.title, "My song");
    EXPECT_STREQ(t.album, "Album");        // the later of two wins
    EXPECT_EQ(t.artist, nullptr);          // after the SYLT frame
    EXPECT_EQ(sylt_of(t), p1);             // only the first SYLT frame
    EXPECT_EQ(ftello(track), 10 + frames.size() - frame3("TPE1", text0("Late")).size() -
                              frame3("SYLT", payload0(item("two", 2))).size());
}

// The frame read is the one a rewrite replaces: the first holding lyrics
// (content type 1); without one, the first SYLT frame of any content.
TEST_F(Tag, TheLyricsFrameIsReadBeforeOtherSyltFrames)
{
    Bytes lyrics = payload0(item("words", 1000)), chords = lyrics, other = lyrics;
    chords[5] = 5;
    other[5] = 0;
    Bytes tit2 = frame3("TIT2", text0("Song")), tpe1 = frame3("TPE1", text0("Band"));
    struct { Bytes frames; Bytes sylt; const char *artist; const char *what; } cases[] = {
        {frame3("SYLT", chords) + tit2 + frame3("SYLT", lyrics) + tpe1, lyrics, nullptr,
         "chords first"},
        {frame3("SYLT", chords) + tit2 + frame3("SYLT", other) + tpe1, chords, "Band",
         "no lyrics: the first"},
        {frame3("SYLT", lyrics) + tit2 + frame3("SYLT", chords), lyrics, nullptr, "lyrics first"},
    };
    for (auto &c : cases) {
        ASSERT_EQ(open(make_tag(3, 0, c.frames, 10) + audio()), 1) << c.what;
        ASSERT_EQ(id3_readsylt(&t), 1) << c.what;
        EXPECT_EQ(sylt_of(t), c.sylt) << c.what;
        EXPECT_STREQ(t.artist, c.artist) << c.what;
        EXPECT_EQ(t.reason, ID3_OK) << c.what;
    }
}

TEST_F(Tag, Version2Frames)
{
    Bytes p = payload0(item("x", 5));
    Bytes frames = frame2("TT2", text0("Title")) + frame2("TP1", text0("Band")) +
                   frame2("TAL", text0("LP")) + frame2("SLT", p);
    ASSERT_EQ(open(make_tag(2, 0, frames, 10)), 1);
    ASSERT_EQ(id3_readsylt(&t), 1);
    EXPECT_STREQ(t.title, "Title");
    EXPECT_STREQ(t.artist, "Band");
    EXPECT_STREQ(t.album, "LP");
    EXPECT_EQ(sylt_of(t), p);
}

TEST_F(Tag, TagsWithoutASyltFrame)
{
    Bytes frames = frame3("TIT2", text0("x")) + frame3("TPE1", text0(""));
    // Ends in padding, or exactly at the tag's end, or in padding shorter
    // than a frame header.
    for (size_t padding : {0, 3, 500}) {
        ASSERT_EQ(open(make_tag(3, 0, frames, padding) + frame3("SYLT", payload0(item("a", 1)))), 1);
        EXPECT_EQ(id3_readsylt(&t), 0) << padding;
        EXPECT_EQ(t.sylt, nullptr);
        EXPECT_STREQ(t.title, "x");
        EXPECT_STREQ(t.artist, "");        // size 1: only the encoding byte
    }
}

TEST_F(Tag, TextFrameOfSizeZeroYieldsNoText)
{
    Bytes frames = frame3("TIT2", "") + frame3("SYLT", payload0(item("a", 1)));
    ASSERT_EQ(open(make_tag(3, 0, frames)), 1);
    ASSERT_EQ(id3_readsylt(&t), 1);
    EXPECT_EQ(t.title, nullptr);
}

// Frame sizes follow the version, not the unsynchronisation flag: sync-safe
// in version 4, plain in version 3 and in the version-4 tags that earlier
// versions of this program wrote (plain sizes, flag clear).
TEST_F(Tag, FrameSizesFollowTheVersion)
{
    const Bytes p = payload0(item("la", 10)), p3 = payload0(item("x", 0x01020304));
    const Bytes art = Bytes(1, '\0') + "image/png" + Bytes(1, '\0') + '\3' + Bytes(1, '\0') + Bytes(300, '\x89');
    const Bytes v4 = frame4("APIC", art) + frame4("TIT2", text0("Song")) + frame4("SYLT", p);
    ASSERT_EQ(v4.substr(4, 4), Bytes("\x00\x00\x02\x39", 4)); // 313, sync-safe
    const Bytes legacy = frame3("PRIV", Bytes(200, 'A')) + frame3("TIT2", text0("Song")) + frame3("SYLT", p);
    const struct { Bytes file; Bytes sylt; const char *title; int plainsizes; const char *what; } cases[] = {
        {make_tag(4, 0, v4, 64) + audio(), p, "Song", 0, "version 4, past a large frame"},
        {make_tag(4, 0, legacy), p, "Song", 1, "legacy version 4"},
        {make_tag(4, 0, legacy, 40), p, "Song", 1, "legacy version 4 with padding"},
        // Read sync-safe, the size 256 (00 00 01 00) is 128, and lands on
        // zero bytes inside the frame: padding only if nothing follows.
        {make_tag(4, 0, frame3("PRIV", Bytes(128, 'A') + Bytes(4, '\0') + Bytes(124, 'A')) +
                            frame3("TIT2", text0("Song")) + frame3("SYLT", p)),
         p, "Song", 1, "legacy version 4 read astray onto zero bytes"},
        // Sizes below 128 code the same both ways: the tag counts as sync-safe.
        {make_tag(4, 0, frame4("TIT2", text0("Song")) + frame4("SYLT", p), 10), p, "Song", 0, "small frames"},
        {make_tag(3, 0x80, frame3("PRIV", Bytes(130, 'z')) + frame3("SYLT", p3)), p3, nullptr, -1,
         "version 3 with the unsynchronisation flag"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(open(c.file), 1);
        if (c.plainsizes >= 0) {
            EXPECT_EQ(t.plainsizes, c.plainsizes);
        }
        ASSERT_EQ(id3_readsylt(&t), 1);
        EXPECT_STREQ(t.title, c.title);
        EXPECT_EQ(sylt_of(t), c.sylt);
    }
}

// Damaged tags end the walk, never read out of bounds.
TEST_F(Tag, DamagedFramesEndTheWalk)
{
    Bytes good = frame3("TIT2", text0("ok")) + frame3("SYLT", payload0(item("a", 1)));
    Bytes file = make_tag(3, 0, good, 20) + audio();
    size_t sizeat = 10 + 4; // first byte of TIT2's size
    struct { Bytes file; const char *why; } cases[] = {
        {file.substr(0, 5), "truncated to 5 bytes"},
        {file.substr(0, 15), "truncated inside a frame header"},
        {file.substr(0, 30), "truncated inside the SYLT frame"},
        {file.substr(0, sizeat) + "\x80" + file.substr(sizeat + 1), "negative frame size"},
        {file.substr(0, sizeat) + "\x00\x01" + file.substr(sizeat + 2), "size past the tag"},
        {file.substr(0, 10) + "TI\x01\x32" + file.substr(14), "invalid identifier"},
    };
    for (auto &c : cases) {
        open(c.file);
        if (t.version == 3 && t.size > 0) {
            EXPECT_EQ(id3_readsylt(&t), 0) << c.why;
        }
        EXPECT_EQ(t.sylt, nullptr) << c.why;
    }
}

TEST_F(Tag, FrameBeforeDamageStillCounts)
{
    // A SYLT frame before the damage is found; damage after it is not seen.
    Bytes p = payload0(item("a", 1));
    Bytes frames = frame3("SYLT", p) + "TALB" + be32(0x7FFFFFF0) + Bytes(2, '\0') + "x";
    ASSERT_EQ(open(make_tag(3, 0, frames)), 1);
    ASSERT_EQ(id3_readsylt(&t), 1);
    EXPECT_EQ(sylt_of(t), p);
}

// Title, artist and album decoded from their declared encodings.
TEST_F(Tag, TextFrameEncodings)
{
    struct { Bytes body; const char *utf8; } cases[] = {
        {Bytes("\x00" "Caf\xE9", 5), "Caf\xC3\xA9"},                      // ISO-8859-1
        {Bytes("\x00" "Caf\xC3\xA9", 6), "Caf\xC3\xA9"},                  // UTF-8 declared 0
        {Bytes("\x01\xFF\xFE" "C\0\xE9\0\0\0", 9), "C\xC3\xA9"},          // UTF-16 LE, BOM
        {Bytes("\x01\xFE\xFF\0C\0\xE9", 7), "C\xC3\xA9"},                 // UTF-16 BE, BOM
        {Bytes("\x02\0C\x20\xAC", 5), "C\xE2\x82\xAC"},                   // UTF-16BE
        {Bytes("\x03\xE2\x82\xAC" "1", 5), "\xE2\x82\xAC" "1"},           // UTF-8
        {Bytes("\x03" "A\0B", 4), "A"},                                   // ends at NUL
        {Bytes("\x01\xFF\xFE\x3D\xD8\x00\xDE", 7), "\xF0\x9F\x98\x80"},   // surrogate pair
        {Bytes("\x01\xFF\xFE\x3D\xD8" "A\0", 7), "\xEF\xBF\xBD" "A"},     // lone high surrogate
        {Bytes("\x02\xDC\x00", 3), "\xEF\xBF\xBD"},                       // lone low surrogate
        {Bytes("\x02\0A\0", 4), "A\xEF\xBF\xBD"},                         // odd byte count
    };
    for (auto &c : cases) {
        ASSERT_EQ(open(make_tag(3, 0, frame3("TPE1", c.body) + frame3("SYLT", payload0(""))) ), 1);
        ASSERT_EQ(id3_readsylt(&t), 1);
        EXPECT_STREQ(t.artist, c.utf8);
    }
}

// Unsynchronisation: a zero byte after every 0xFF that is followed by a
// zero or by three set top bits.
Bytes unsync(const Bytes &b)
{
    Bytes out;
    for (size_t i = 0; i < b.size(); i++) {
        out += b[i];
        unsigned char next = i + 1 < b.size() ? (unsigned char)b[i + 1] : 0;
        if ((unsigned char)b[i] == 0xFF && (next == 0 || (next & 0xE0) == 0xE0))
            out += '\0';
    }
    return out;
}

// A frame header with flag bytes of its own; sizes as given.
Bytes framef(const char *id, const Bytes &size, const char *flags, const Bytes &body)
{
    return id + size + Bytes(flags, 2) + body;
}

TEST_F(Tag, FramesReadThroughTheirFlags)
{
    // UTF-16 texts and a time of 0xFFE0: bytes that unsynchronisation changes.
    Bytes p = payload(1, 2, Bytes("\xFF\xFE" "d\0\0\0", 6),
                      Bytes("\xFF\xFE\xFF\0\0\0", 6) + be32(0xFFE0));
    Bytes title = Bytes("\x01\xFF\xFE\xFF\0", 5);              // UTF-16 "ÿ"
    Bytes u = unsync(p), ut = unsync(title);
    ASSERT_GT(u.size(), p.size());
    Bytes dli = syncsafe(p.size());                                // data length indicator
    struct { Bytes file; const char *what; } cases[] = {
        // Version 3, the tag unsynchronised as a whole; frame sizes count
        // the bytes after it is undone, or (some writers) before.
        {tag_header(3, 0x80, unsync(frame3("TIT2", title) + frame3("SYLT", p)).size()) +
             unsync(frame3("TIT2", title) + frame3("SYLT", p)),
         "version 3, tag unsynchronised"},
        {make_tag(3, 0x80, framef("TIT2", be32(ut.size()), "\0\0", ut) +
                               framef("SYLT", be32(u.size()), "\0\0", u)),
         "version 3, tag unsynchronised, sizes before undoing"},
        {make_tag(3, 0, framef("TIT2", be32(title.size() + 1), "\0\x20", "G" + title) +
                            framef("SYLT", be32(p.size() + 1), "\0\x20", "G" + p)),
         "version 3, group bytes"},
        // Version 4: frame flags unsynchronised (0x02), data length (0x01).
        {make_tag(4, 0, framef("TIT2", syncsafe(ut.size()), "\0\x02", ut) +
                            framef("SYLT", syncsafe(u.size()), "\0\x02", u)),
         "version 4, frames unsynchronised"},
        {make_tag(4, 0, framef("TIT2", syncsafe(4 + title.size()), "\0\x01", syncsafe(title.size()) + title) +
                            framef("SYLT", syncsafe(4 + p.size()), "\0\x01", dli + p)),
         "version 4, data length indicator"},
        {make_tag(4, 0, framef("SYLT", syncsafe(unsync(dli + p).size()), "\0\x03", unsync(dli + p))),
         "version 4, unsynchronised with data length indicator"},
        {make_tag(4, 0, framef("SYLT", syncsafe(5 + p.size()), "\0\x41", "G" + dli + p)),
         "version 4, group byte and data length indicator"},
        {make_tag(4, 0x80, frame4("TIT2", ut) + frame4("SYLT", u)),
         "version 4, tag flag: every frame unsynchronised"},
        // Encrypted frames are passed over.
        {make_tag(4, 0, framef("SYLT", syncsafe(1 + p.size()), "\0\x04", "E" + p) + frame4("SYLT", p)),
         "version 4, encrypted frame first"},
        {make_tag(3, 0, framef("SYLT", be32(1 + p.size()), "\0\x40", "E" + p) + frame3("SYLT", p)),
         "version 3, encrypted frame first"},
    };
    for (auto &c : cases) {
        ASSERT_EQ(open(c.file + audio()), 1) << c.what;
        ASSERT_EQ(id3_readsylt(&t), 1) << c.what;
        EXPECT_EQ(sylt_of(t), p) << c.what;
        if (c.file.find("TIT2") != Bytes::npos) {
            EXPECT_STREQ(t.title, "\xC3\xBF") << c.what;
        }
        EXPECT_EQ(t.reason, ID3_OK) << c.what;
        ASSERT_EQ(lrc_fromsylt(&t, 1), 1) << c.what;
        EXPECT_STREQ(t.lrc, "[01:05.50]\xC3\xBF") << c.what;
    }
}

TEST_F(Tag, CompressedFrames)
{
    Bytes p = payload0(item("a", 1)), chords = payload(0, 2, Bytes("c\0", 2), item("Am", 1));
    chords[5] = 5;
    Bytes z = be32(100) + "x\x9C compressed";
    struct { Bytes file; int found; const char *what; } cases[] = {
        // The frame a rewrite replaces is the readable lyrics frame.
        {make_tag(3, 0, framef("SYLT", be32(z.size()), "\0\x80", z) + frame3("SYLT", p)), 1,
         "version 3, lyrics after it"},
        {make_tag(3, 0, framef("SYLT", be32(z.size()), "\0\x80", z) + frame3("SYLT", chords)), 0,
         "version 3, chords after it"},
        {make_tag(4, 0, framef("SYLT", syncsafe(z.size()), "\0\x09", z)), 0, "version 4"},
        // A compressed text frame is passed over.
        {make_tag(4, 0, framef("TIT2", syncsafe(z.size()), "\0\x09", z) + frame4("SYLT", p)), 1,
         "version 4, compressed title"},
    };
    for (auto &c : cases) {
        ASSERT_EQ(open(c.file), 1) << c.what;
        EXPECT_EQ(id3_readsylt(&t), c.found) << c.what;
        EXPECT_EQ(t.reason, c.found ? ID3_OK : ID3_ECOMPRESSED) << c.what;
        EXPECT_EQ(t.title, nullptr) << c.what;
    }
}

} // namespace
