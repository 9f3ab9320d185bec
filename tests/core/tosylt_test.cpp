// LRC reading (lrc_read) and LRC text to SYLT payload (lrc_tosylt).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "helpers.h"

namespace {

class LrcRead : public Core {
protected:
    // The lrc text read from a file, or "NULL" when none was kept.
    std::string read(const std::string &file, int wordstamps)
    {
        id3_close(&t);
        FILE *fp = open_bytes(file);
        EXPECT_EQ(lrc_read(fp, &t, wordstamps), 1);
        fclose(fp);
        return t.lrc ? t.lrc : "NULL";
    }
};

TEST_F(LrcRead, TagsAndLinesInBothForms)
{
    std::string file = "[ti:Song]\n[ar:Band]\n[offset:+200]\n"
                       "[00:01.00]Hello <00:01.50>world\n[00:03.00]Next line\n";
    EXPECT_EQ(read(file, 0), "[00:01.00]Hello <00:01.50>world\n[00:03.00]Next line\n");
    EXPECT_EQ(read(file, 1), "[00:01.00]Hello\n[00:01.50] world\n[00:03.00]Next line\n");
    EXPECT_STREQ(t.title, "Song");
    EXPECT_STREQ(t.artist, "Band");
    EXPECT_EQ(t.album, nullptr);
}

TEST_F(LrcRead, WordStampsBecomeRows)
{
    struct { const char *line; const char *rows; } cases[] = {
        {"[00:01.00]Hel<00:01.20>lo", "[00:01.00]Hel\n[00:01.20]_lo"},
        {"[00:01.00]Hi<00:01.20> there", "[00:01.00]Hi\n[00:01.20] there"},
        {"[00:01.00]Hi <00:01.20>there", "[00:01.00]Hi\n[00:01.20] there"},
        {"[00:01.00]well-<00:01.20>known", "[00:01.00]well-\n[00:01.20]_known"},
        {"[00:01.00]a<00:01.20>-b", "[00:01.00]a\n[00:01.20]-b"},
        {"[00:01.00]a <b> c", "[00:01.00]a <b> c"},
        {"[00:01.00]<00:01.20>x", "[00:01.00]\n[00:01.20]_x"},
        {"[00:01.00] <00:01.20>x", "[00:01.00]\n[00:01.20] x"},
        {"[00:01.00]x<00:01.20>\n", "[00:01.00]x\n[00:01.20]\n"},
        {"[00:01.00]ca<00:01.20>f\xC3\xA9", "[00:01.00]ca\n[00:01.20]_f\xC3\xA9"},
        {"[00:01.00]x<>y", "[00:01.00]x<>y"},
        // A line whose text begins like a continuation keeps its line start.
        {"[00:01.00] spoken", "[00:01.00]# spoken"},
        {"[00:01.00]-- aside <00:02.00>x", "[00:01.00]#-- aside\n[00:02.00] x"},
    };
    for (auto &c : cases)
        EXPECT_EQ(read(c.line, 1), c.rows) << c.line;
    // Without word stamps such a line stays unchanged.
    EXPECT_EQ(read("[00:01.00] spoken\n", 0), "[00:01.00] spoken\n");
}

TEST_F(LrcRead, LineClassification)
{
    std::string file = "   \t[00:02.00]indented\n[]\nHi\n[TI:Upper]\n[al: Spaced]\n"
                       "<00:03.00>angle]\n[ti]\n[chorus]\n[00:04]\n[ar:x\n";
    EXPECT_EQ(read(file, 0), "[00:02.00]indented\n[00:04]\n");
    EXPECT_STREQ(t.title, "Upper");
    EXPECT_STREQ(t.album, " Spaced");
    EXPECT_EQ(t.artist, nullptr);
}

TEST_F(LrcRead, WithoutLyricsTheTextStaysAsItWas)
{
    EXPECT_EQ(read("[ti:Only tags]\nplain text\n", 1), "NULL");
    EXPECT_STREQ(t.title, "Only tags");
    t.lrc = strdup("kept");
    FILE *fp = open_bytes("");
    EXPECT_EQ(lrc_read(fp, &t, 0), 1);
    EXPECT_STREQ(t.lrc, "kept");
    fclose(fp);
}

// D5: lines of any length are read whole.
TEST_F(LrcRead, LongLinesAndLongStamps)
{
    std::string words;
    for (int i = 0; i < 300; i++)
        words += "<00:" + std::to_string(10 + i % 50) + ".00>w" + std::to_string(i) + " ";
    std::string line = "[00:01.00]" + words + "\n";
    ASSERT_GT(line.size(), 3000u);
    EXPECT_EQ(read(line, 0), line);
    std::string rows = read(line, 1);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 301);
    EXPECT_NE(rows.find("\n[00:10.00]_w0\n[00:11.00] w1\n"), std::string::npos);
    EXPECT_NE(rows.find("\n[00:59.00] w299 \n"), std::string::npos);
    // A stamp with a thousand leading zeros is valid, and so is its row.
    std::string digits(1000, '0');
    std::string odd = "[00:01.00]a<" + digits + "1:00.00>b\n";
    EXPECT_EQ(read(odd, 1), "[00:01.00]a\n[" + digits + "1:00.00]_b\n");
    // A title of 10,000 characters.
    EXPECT_EQ(read("[ti:" + std::string(10000, 't') + "]\n", 0), "NULL");
    EXPECT_EQ(strlen(t.title), 10000u);
}

TEST_F(LrcRead, ByteOrderMarkAndLineEnds)
{
    EXPECT_EQ(read("\xEF\xBB\xBF[ti:T]\r\n[00:01.00]a\r\n[00:02.00]b", 0),
              "[00:01.00]a\r\n[00:02.00]b");
    EXPECT_STREQ(t.title, "T");
}

TEST_F(LrcRead, ReadErrorsAreReported)
{
    FILE *fp = fopen("/dev/null", "w"); // not readable
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(lrc_read(fp, &t, 0), 0);
    fclose(fp);
}

class ToSylt : public Core {
protected:
    Bytes build(const char *lrc, int version = 0)
    {
        id3_close(&t);
        id3_init(nullptr, &t);
        t.version = uint8_t(version);
        t.lrc = strdup(lrc);
        EXPECT_EQ(lrc_tosylt(&t), 1);
        return sylt_of(t);
    }
};

const Bytes Fixed = Bytes("\x00" "eng" "\x02\x01" "Quorvane Lyrasil", 22) + Bytes(1, '\0');

TEST_F(ToSylt, PayloadLayoutByteForByte)
{
    Bytes want = Bytes(1, '\0')             // encoding: ISO-8859-1
                 + "eng"                    // language
                 + '\2'                     // time stamps in milliseconds
                 + '\1'                     // content: lyrics
                 + "Quorvane Lyrasil" + Bytes(1, '\0') // descriptor
                 + "Hello " + Bytes(1, '\0') + Bytes("\x00\x00\x03\xE8", 4)   // 1000
                 + "world\n" + Bytes(1, '\0') + Bytes("\x00\x00\x05\xDC", 4)  // 1500
                 + "Next line\n" + Bytes(1, '\0') + Bytes("\x00\x00\x0B\xB8", 4); // 3000
    EXPECT_EQ(build("[00:01.00]Hello <00:01.50>world\n[00:03.00]Next line\n"), want);
    // Sync-safe codings never apply to times, whatever the flags say.
    t.flags = 0x80;
    t.version = 4;
    ASSERT_EQ(lrc_tosylt(&t), 1);
    EXPECT_EQ(sylt_of(t), want);
}

TEST_F(ToSylt, ItemsFromStampsAndText)
{
    struct { const char *lrc; Bytes items; } cases[] = {
        {"[]\nHello", item("\nHello", ID3_NOTIME)},
        {"<>a[00:01.00]b", item("a", ID3_NOTIME) + item("b", 1000)},
        {"pre[00:01.00]x", "pre" + item("x", 1000)},
        {"[00:01.00][00:05.00]text", item("", 1000) + item("text", 5000)},
        {"[chorus][00:01.00]a[", "[chorus]" + item("a[", 1000)},
        {"no stamps at all", "no stamps at all"},
        {"", ""},
        {"[00:01.00]", item("", 1000)},
    };
    for (auto &c : cases)
        EXPECT_EQ(build(c.lrc), Fixed + c.items) << c.lrc;
}

TEST_F(ToSylt, SizeIsFiveAStampPlusTheOtherCharacters)
{
    // s stamps (empty ones included) and n other characters.
    const char *lrc = "[00:01.00]ab<00:02.00>c[]d<>\n[1:2]e";
    size_t s = 5, n = 6;
    EXPECT_EQ(build(lrc).size(), 5 * s + n + 6 + strlen("Quorvane Lyrasil") + 1);
}

// D2: non-ASCII text is stored in an encoding that declares it.
TEST_F(ToSylt, EncodingFollowsTheTagVersion)
{
    const char *lrc = "[00:01.00]Caf\xC3\xA9 <00:02.00>\xF0\x9F\x8E\xB5";
    Bytes utf8 = Bytes(1, '\3') + Fixed.substr(1) + item("Caf\xC3\xA9 ", 1000) +
                 item("\xF0\x9F\x8E\xB5", 2000);
    EXPECT_EQ(build(lrc, 4), utf8);
    EXPECT_EQ(build(lrc, 0), utf8);   // a track that gets a new tag
    EXPECT_EQ(build(lrc, 7), utf8);   // an unsupported tag is replaced

    Bytes bom("\xFF\xFE", 2), z2(2, '\0');
    Bytes desc;
    for (char c : std::string("Quorvane Lyrasil"))
        desc += Bytes{c, '\0'};
    Bytes utf16 = Bytes("\x01" "eng" "\x02\x01", 6)
                  + bom + desc + z2                                        // descriptor
                  + bom + Bytes("C\0a\0f\0\xE9\0 \0", 10) + z2 + be32(1000) // "Café "
                  + bom + Bytes("\x3C\xD8\xB5\xDF", 4) + z2 + be32(2000);  // U+1F3B5
    EXPECT_EQ(build(lrc, 3), utf16);
    EXPECT_EQ(build(lrc, 2), utf16);
    // Empty items still carry a byte order mark.
    EXPECT_EQ(build("[00:01.00][00:02.00]\xC3\xA9", 3),
              Bytes("\x01" "eng" "\x02\x01", 6) + bom + desc + z2 + bom + z2 + be32(1000) +
                  bom + Bytes("\xE9\0", 2) + z2 + be32(2000));
    // Text that is not UTF-8 comes from an 8-bit file: stored as it is.
    EXPECT_EQ(build("[00:01.00]Caf\xE9", 3), Fixed + item("Caf\xE9", 1000));
}

TEST_F(ToSylt, RoundTripsThroughEveryEncoding)
{
    const char *lrc = "\n[00:01.00]\xC3\x9C" "ber <00:01.50>\xE2\x82\xAC<00:02.00>x\n[]\xF0\x9F\x8E\xB5";
    for (int version : {0, 2, 3, 4}) {
        build(lrc, version);
        ASSERT_EQ(lrc_fromsylt(&t, 1), 1) << version;
        EXPECT_STREQ(t.lrc, lrc) << version;
    }
}

} // namespace
