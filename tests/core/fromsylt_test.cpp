// SYLT payload to LRC text (lrc_fromsylt), time stamps, LRC writing.
#include <cstdlib>
#include <cstring>

#include "helpers.h"

namespace {

class FromSylt : public Core {
protected:
    void load(const Bytes &p)
    {
        free(t.sylt);
        t.sylt = static_cast<unsigned char *>(malloc(p.size() + 1));
        memcpy(t.sylt, p.data(), p.size());
        t.syltsize = int32_t(p.size());
    }
    // The text for a payload, or "FAIL".
    std::string convert(const Bytes &p, int wordstamps)
    {
        load(p);
        if (!lrc_fromsylt(&t, wordstamps))
            return "FAIL";
        EXPECT_EQ(txtbuf_Get(), nullptr);
        return t.lrc;
    }
};

TEST_F(FromSylt, StampsRoundToHundredths)
{
    struct { uint32_t ms; const char *text; } cases[] = {
        {0, "[00:00.00]x"}, {83454, "[01:23.45]x"}, {83455, "[01:23.46]x"},
        {1999, "[00:02.00]x"}, {59995, "[01:00.00]x"}, {6000000, "[100:00.00]x"},
        {ID3_NOTIME, "[]x"}, {ID3_NOTIME - 1, "[35791:23.65]x"},
        {0x80000000u, "[]x"}, {0xFFFFFFFFu, "[]x"}, // negative: no text form
    };
    for (auto c : cases)
        EXPECT_EQ(convert(payload0(item("x", c.ms)), 0), c.text) << c.ms;
}

TEST_F(FromSylt, InlineAndRowForms)
{
    struct { Bytes items; const char *inline_form; const char *rows; } cases[] = {
        {item("\nHello", 1000) + item(" world", 1500) + item("\nNext", 3000),
         "\n[00:01.00]Hello<00:01.50> world\n[00:03.00]Next",
         "\n[00:01.00]Hello\n[00:01.50] world\n[00:03.00]Next"},
        {item("Hel", 1000) + item("lo", 1200),
         "[00:01.00]Hel<00:01.20>lo", "[00:01.00]Hel\n[00:01.20]_lo"},
        {item("one\n", 1000) + item(" two", 2000),
         "[00:01.00]one\n[00:02.00] two", "[00:01.00]one\n[00:02.00]# two"},
        {item("well-", 1000) + item("-known", 1200) + item("", 1300),
         "[00:01.00]well-<00:01.20>-known<00:01.30>",
         "[00:01.00]well-\n[00:01.20]-known\n[00:01.30]"},
        {item("a", 1000) + item("b", ID3_NOTIME) + item("\r\nc", 3000),
         "[00:01.00]a<>b\r\n[00:03.00]c", "[00:01.00]a\n[]_b\r\n[00:03.00]c"},
        {item("_x", 10), "[00:00.01]_x", "[00:00.01]#_x"},
        // Non-ASCII continues a word: bytes above 127 are not blanks.
        {item("caf", 1000) + item("\xC3\xA9", 1100),
         "[00:01.00]caf<00:01.10>\xC3\xA9", "[00:01.00]caf\n[00:01.10]_\xC3\xA9"},
        // A payload without items gives an empty text.
        {"", "", ""},
    };
    for (auto &c : cases) {
        EXPECT_EQ(convert(payload0(c.items), 1), c.inline_form);
        EXPECT_EQ(convert(payload0(c.items), 0), c.rows);
    }
}

TEST_F(FromSylt, MalformedPayloadsFailAndLeaveTheBufferEmpty)
{
    Bytes good = payload0(item("abc", 1000) + item("de", 2000));
    struct { Bytes p; const char *why; } cases[] = {
        {good.substr(0, 6), "fixed part only"},
        {good.substr(0, 3), "shorter than the fixed part"},
        {payload(0, 2, "desc", ""), "descriptor without NUL"},
        {good.substr(0, good.size() - 6), "last text without NUL"},
        {good.substr(0, good.size() - 1), "three time bytes"},
        {good.substr(0, good.size() - 4), "no time bytes"},
        {payload(1, 2, Bytes("\xFF\xFE" "d\0\0", 5), ""), "UTF-16 descriptor with one zero"},
    };
    for (auto &c : cases) {
        std::free(t.lrc);
        t.lrc = nullptr;
        EXPECT_EQ(convert(c.p, 1), "FAIL") << c.why;
        EXPECT_EQ(txtbuf_Get(), nullptr) << c.why;
        EXPECT_EQ(t.lrc, nullptr) << c.why;
    }
}

// Item texts decoded from the payload's encoding.
TEST_F(FromSylt, ItemTextEncodings)
{
    Bytes le = Bytes("\xFF\xFE", 2), be = Bytes("\xFE\xFF", 2), z2 = Bytes(2, '\0');
    struct { int enc; Bytes desc; Bytes items; const char *text; } cases[] = {
        {0, Bytes("d\0", 2), item("Caf\xE9", 1000), "[00:01.00]Caf\xC3\xA9"},
        {0, Bytes("d\0", 2), item("Caf\xC3\xA9", 1000), "[00:01.00]Caf\xC3\xA9"},
        {3, Bytes("d\0", 2), item("\xE2\x82\xAC", 1000), "[00:01.00]\xE2\x82\xAC"},
        // UTF-16 with a BOM on every string (as mutagen writes it).
        {1, le + Bytes("d\0", 2) + z2,
         le + Bytes("H\0i\0", 4) + z2 + be32(1000) + le + Bytes("\xAC\x20", 2) + z2 + be32(2000),
         "[00:01.00]Hi<00:02.00>\xE2\x82\xAC"},
        // Strings without a BOM take the order of the last one.
        {1, be + Bytes("\0d", 2) + z2,
         Bytes("\0H\0i", 4) + z2 + be32(1000) + le + Bytes("a\0", 2) + z2 + be32(2000) +
             Bytes("b\0", 2) + z2 + be32(3000),
         "[00:01.00]Hi<00:02.00>a<00:03.00>b"},
        // An empty UTF-16 string, and a text whose low byte is 0.
        {1, z2, le + z2 + be32(1000) + le + Bytes("\0\x01", 2) + z2 + be32(2000),
         "[00:01.00]<00:02.00>\xC4\x80"},
        {2, Bytes("\0d", 2) + z2, Bytes("\0\n\0H", 4) + z2 + be32(1000),
         "\n[00:01.00]H"},
    };
    for (auto &c : cases)
        EXPECT_EQ(convert(payload(c.enc, 2, c.desc, c.items), 1), c.text);
}

// The same items whatever the encoding, language and descriptor; any other
// text or time, or one item more, is not the same.
TEST_F(FromSylt, SameItems)
{
    Bytes le = Bytes("\xFF\xFE", 2), z2 = Bytes(2, '\0');
    Bytes latin = payload0(item("Caf\xE9", 1000) + item("!", 2000));
    struct { Bytes other; bool same; } cases[] = {
        {payload(3, 2, Bytes("other\0", 6), item("Caf\xC3\xA9", 1000) + item("!", 2000)), true},
        {payload(1, 2, le + Bytes("d\0", 2) + z2,
                 le + Bytes("C\0a\0f\0\xE9\0", 8) + z2 + be32(1000) + le + Bytes("!\0", 2) + z2 + be32(2000)),
         true},
        {payload0(item("Caf\xE9", 1000) + item("!", 2010)), false},
        {payload0(item("Cafe", 1000) + item("!", 2000)), false},
        {payload0(item("Caf\xE9", 1000)), false},
        {payload0(item("Caf\xE9", 1000) + item("!", 2000) + item("", 3000)), false},
        {Bytes("\0eng\2\1d", 7), false},  // malformed: no end to the descriptor
    };
    Id3Tag a{}, b{};
    ASSERT_EQ(id3_setsylt(&a, latin.data(), latin.size()), 1);
    for (auto &c : cases) {
        ASSERT_EQ(id3_setsylt(&b, c.other.data(), c.other.size()), 1);
        EXPECT_EQ(lrc_sameitems(&a, &b), c.same) << c.other;
        EXPECT_EQ(lrc_sameitems(&b, &a), c.same) << c.other;
    }
    id3_close(&a);
    id3_close(&b);
}

// Time stamps in MPEG frames need the track's frame duration.
TEST_F(FromSylt, MpegFrameTimeStamps)
{
    struct { Bytes header; const char *text; } cases[] = {
        // MPEG-1 layer III, 44100 Hz: 1152 samples, 26.122 ms a frame.
        {Bytes("\xFF\xFB\x90\x64", 4), "[00:00.26]a<00:02.61>b<00:00.58>r<>c"},
        // MPEG-2 layer III, 22050 Hz: 576 samples, also 26.122 ms.
        {Bytes("\xFF\xF3\x90\x64", 4), "[00:00.26]a<00:02.61>b<00:00.58>r<>c"},
        // MPEG-1 layer I, 48000 Hz: 384 samples, 8 ms.
        {Bytes("\xFF\xFF\x94\x00", 4), "[00:00.08]a<00:00.80>b<00:00.18>r<>c"},
        // MPEG-2.5 layer III, 8000 Hz: 576 samples, 72 ms.
        {Bytes("\xFF\xE3\x98\x00", 4), "[00:00.72]a<00:07.20>b<00:01.58>r<>c"},
    };
    // 22 frames at 44100 Hz are 574.69 ms: rounded, not cut, to 575.
    Bytes items = item("a", 10) + item("b", 100) + item("r", 22) + item("c", ID3_NOTIME);
    Bytes p = payload(0, 1, Bytes("d\0", 2), items);
    for (auto &c : cases) {
        id3_close(&t);
        // Junk before the header, after the tag, is skipped.
        FILE *fp = open_bytes(make_tag(3, 0, frame3("SYLT", p)) + Bytes("\xFF\x00junk", 6) + c.header + Bytes(50, '\0'));
        ASSERT_EQ(id3_init(fp, &t), 1);
        ASSERT_EQ(id3_readsylt(&t), 1);
        ASSERT_EQ(lrc_fromsylt(&t, 1), 1);
        EXPECT_STREQ(t.lrc, c.text);
        fclose(fp);
        t.fp = nullptr;
    }
}

TEST_F(FromSylt, MpegFrameTimeStampsWithoutAudioFail)
{
    Bytes p = payload(0, 1, Bytes("d\0", 2), item("a", 10));
    EXPECT_EQ(convert(p, 1), "FAIL");      // no track in the context
    id3_close(&t);
    FILE *fp = open_bytes(make_tag(3, 0, frame3("SYLT", p)) + Bytes(100, '\x11'));
    ASSERT_EQ(id3_init(fp, &t), 1);
    ASSERT_EQ(id3_readsylt(&t), 1);
    EXPECT_EQ(lrc_fromsylt(&t, 0), 0);
    EXPECT_EQ(txtbuf_Get(), nullptr);
    fclose(fp);
}

TEST(Timestamp, AcceptedAndRejected)
{
    struct { const char *text; int32_t ms; } good[] = {
        {"[01:23.45]", 83450}, {"<1:2.5>", 62500}, {"[00:05]", 5000},
        {"[00:60.00]", 60000}, {"[00:01.]", 1000}, {"[00:01.23456]", 1234},
        {"[01 :23.45 ]x", 83450}, {"[00: 7.1]", 7100},
        {"[35791:23.64]", 2147483640}, {"[0:2147483.646]", 2147483646},
    };
    for (auto &c : good) {
        int32_t ms = -1;
        EXPECT_EQ(lrc_timestamp(c.text, &ms), 1) << c.text;
        EXPECT_EQ(ms, c.ms) << c.text;
        EXPECT_EQ(lrc_timestamp(c.text, nullptr), 1) << c.text;
    }
    const char *bad[] = {
        "[00:60]", "[ 1:00.00]", "[01:23.45>", "[ti:Title]", "[]", "<>", "01:23.45",
        "[01:23", "[01:23.45", "[:23.45]", "[01:.45]", "[01:x]", "[00:-5.00]",
        "[01:-5.00]", "[01:+5.00]", "[00:-0.50]",
        "[35791:23.65]", "[0:2147483.647]", "[99999999999999999999:00.00]", "[00:99999999999999.00]", "",
    };
    for (const char *b : bad) {
        int32_t ms = -7;
        EXPECT_EQ(lrc_timestamp(b, &ms), 0) << b;
        EXPECT_EQ(ms, -7) << b;
    }
}

TEST(LrcWrite, HeaderLinesThenTheText)
{
    Id3Tag t{};
    id3_init(nullptr, &t);
    t.album = strdup("Al");
    t.lrc = strdup("[00:01.00]x\n");
    FILE *fp = tmpfile();
    ASSERT_EQ(lrc_write(fp, &t), 1);
    EXPECT_EQ(read_all(fp), "[al:Al]\n[re:Quorvane Lyrasil]\n[00:01.00]x\n");
    fclose(fp);
    t.title = strdup("T\xC3\xA9");
    t.artist = strdup("A");
    fp = tmpfile();
    ASSERT_EQ(lrc_write(fp, &t), 1);
    EXPECT_EQ(read_all(fp), "[ti:T\xC3\xA9]\n[ar:A]\n[al:Al]\n[re:Quorvane Lyrasil]\n[00:01.00]x\n");
    fclose(fp);
    // A full device: the failure is reported.
    fp = fopen("/dev/full", "w");
    ASSERT_NE(fp, nullptr);
    setvbuf(fp, nullptr, _IONBF, 0);
    EXPECT_EQ(lrc_write(fp, &t), 0);
    fclose(fp);
    id3_close(&t);
}

} // namespace
