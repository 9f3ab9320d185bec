// Opening a tag (id3_init) and reading its SYLT frame (id3_readsylt).
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

// D1: frame sizes follow the version, not the unsynchronisation flag.
TEST_F(Tag, Version4SyncSafeSizesPastALargeFrame)
{
    Bytes art = Bytes(1, '\0') + "image/png" + Bytes(1, '\0') + '\3' + Bytes(1, '\0') + Bytes(300, '\x89');
    Bytes p = payload0(item("la", 10));
    Bytes frames = frame4("APIC", art) + frame4("TIT2", text0("Song")) + frame4("SYLT", p);
    ASSERT_EQ(frames.substr(4, 4), Bytes("\x00\x00\x02\x39", 4)); // 313, sync-safe
    ASSERT_EQ(open(make_tag(4, 0, frames, 64) + audio()), 1);
    EXPECT_EQ(t.plainsizes, 0);
    ASSERT_EQ(id3_readsylt(&t), 1);
    EXPECT_STREQ(t.title, "Song");
    EXPECT_EQ(sylt_of(t), p);
}

TEST_F(Tag, LegacyPlainVersion4Tag)
{
    // Written by earlier versions of this program: plain sizes, flag clear.
    Bytes art = Bytes(200, 'A');
    Bytes p = payload0(item("la", 10));
    Bytes frames = frame3("PRIV", art) + frame3("TIT2", text0("Old")) + frame3("SYLT", p);
    for (size_t padding : {0, 40}) {
        ASSERT_EQ(open(make_tag(4, 0, frames, padding)), 1);
        EXPECT_EQ(t.plainsizes, 1) << padding;
        ASSERT_EQ(id3_readsylt(&t), 1);
        EXPECT_STREQ(t.title, "Old");
        EXPECT_EQ(sylt_of(t), p);
    }
}

TEST_F(Tag, SmallFramesReadAlikeEitherWay)
{
    // Sizes below 128 code the same both ways: the tag counts as sync-safe.
    Bytes frames = frame4("TIT2", text0("s")) + frame4("SYLT", payload0(item("a", 1)));
    ASSERT_EQ(open(make_tag(4, 0, frames, 10)), 1);
    EXPECT_EQ(t.plainsizes, 0);
}

TEST_F(Tag, Version3WithUnsynchronisationFlagKeepsPlainSizes)
{
    Bytes p = payload0(item("x", 0x01020304));
    Bytes frames = frame3("PRIV", Bytes(130, 'z')) + frame3("SYLT", p);
    ASSERT_EQ(open(make_tag(3, 0x80, frames)), 1);
    ASSERT_EQ(id3_readsylt(&t), 1);
    EXPECT_EQ(sylt_of(t), p);
}

// D6: damaged tags end the walk, never read out of bounds.
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

// D2: title, artist and album decoded from their declared encodings.
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

} // namespace
