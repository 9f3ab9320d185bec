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
    // CR LF ends a line like LF; the CR is not kept.
    EXPECT_EQ(read("\xEF\xBB\xBF[ti:T]\r\n[00:01.00]a\r\n[00:02.00]b", 0),
              "[00:01.00]a\n[00:02.00]b");
    EXPECT_STREQ(t.title, "T");
}

TEST_F(LrcRead, ReadErrorsAreReported)
{
    FILE *fp = fopen("/dev/null", "w"); // not readable
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(lrc_read(fp, &t, 0), 0);
    fclose(fp);
}

// UTF-16 text with a byte order mark, from UTF-8.
Bytes utf16(const std::u16string &text, bool bigendian)
{
    Bytes b = bigendian ? Bytes("\xFE\xFF", 2) : Bytes("\xFF\xFE", 2);
    for (char16_t c : text)
        b += bigendian ? Bytes{char(c >> 8), char(c & 0xFF)} : Bytes{char(c & 0xFF), char(c >> 8)};
    return b;
}

TEST_F(LrcRead, EncodingsBecomeUtf8)
{
    std::u16string lines = u"[ti:T\u00EFtle]\r\n[00:01.00]Gr\u00FC\u00DFe \U0001F3B5\r\n[00:02.00]\u20AC\r\n";
    const char *want = "[00:01.00]Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\xB5\n[00:02.00]\xE2\x82\xAC\n";
    struct { Bytes file; const char *lrc; const char *title; const char *what; } cases[] = {
        {utf16(lines, false), want, "T\xC3\xAFtle", "UTF-16 little-endian"},
        {utf16(lines, true), want, "T\xC3\xAFtle", "UTF-16 big-endian"},
        {"\xEF\xBB\xBF[ti:T\xC3\xAFtle]\n[00:01.00]Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\xB5\n"
         "[00:02.00]\xE2\x82\xAC\n", want, "T\xC3\xAFtle", "UTF-8 with a byte order mark"},
        // Each 8-bit line is read as Windows-1252, the UTF-8 lines as UTF-8.
        {"[ti:Bj\xF6rk]\n[00:01.00]Caf\xE9 \x93quoted\x94 \x80 \x81\n[00:02.00]Gr\xC3\xBC\xC3\x9F\n",
         "[00:01.00]Caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC \xEF\xBF\xBD\n"
         "[00:02.00]Gr\xC3\xBC\xC3\x9F\n", "Bj\xC3\xB6rk", "Windows-1252 lines among UTF-8 lines"},
    };
    for (auto &c : cases) {
        free(t.title);
        t.title = nullptr;
        EXPECT_EQ(read(c.file, 0), c.lrc) << c.what;
        EXPECT_STREQ(t.title, c.title) << c.what;
    }
}

// Files as users have them: stray bytes, UTF-16 without a byte order
// mark, files joined, a last byte cut off.
TEST_F(LrcRead, MixedAndUnmarkedEncodings)
{
    auto wide = [](const std::u16string &text, bool bigendian) { return utf16(text, bigendian).substr(2); };
    std::u16string cyrillic = u"[ti:\u041F\u0435\u0441\u043D\u044F]\r\n[00:01.00]\u041F\u0440\u0438\u0432\u0435\u0442\r\n";
    std::u16string japanese = u"[00:01.00]\u65E5\u672C\u8A9E\u3000\u306E\u6B4C\n[00:02.00]\u3000\u3000\u6B4C\n";
    const char *ru = "[00:01.00]\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\n";
    const char *ja = "[00:01.00]\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x80\x80\xE3\x81\xAE\xE6\xAD\x8C\n"
                     "[00:02.00]\xE3\x80\x80\xE3\x80\x80\xE6\xAD\x8C\n";
    struct { Bytes file; std::string lrc; const char *what; } cases[] = {
        {"[00:01.00]Gr\xC3\xBC\xC3\x9F" "e \x96 dich\n", "[00:01.00]Gr\xC3\xBC\xC3\x9F" "e \xE2\x80\x93 dich\n",
         "one 8-bit byte in a UTF-8 line"},
        {wide(cyrillic, false), ru, "UTF-16 little-endian without a byte order mark"},
        {wide(cyrillic, true), ru, "UTF-16 big-endian without a byte order mark"},
        {wide(japanese, false), ja, "UTF-16 with ideographic spaces"},
        {"[00:01.00]a\n\xEF\xBB\xBF[00:02.00]b\n", "[00:01.00]a\n[00:02.00]b\n", "UTF-8 files joined"},
        {utf16(u"[00:01.00]a\n", false) + utf16(u"[00:02.00]b\n", true), "[00:01.00]a\n[00:02.00]b\n",
         "UTF-16 files of both orders joined"},
        {utf16(u"[00:01.00]a\n", false) + "\x01", "[00:01.00]a\n", "an odd last byte in UTF-16"},
    };
    for (auto &c : cases) {
        EXPECT_EQ(read(c.file, 0), c.lrc) << c.what;
        EXPECT_EQ(t.skipped, 0) << c.what;
    }
    read(wide(cyrillic, false), 0);
    EXPECT_STREQ(t.title, "\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F");
}

TEST_F(LrcRead, LineEndsAndNulBytes)
{
    struct { Bytes file; const char *lrc; const char *what; } cases[] = {
        {"[00:01.00]a\r[00:02.00]b\r", "[00:01.00]a\n[00:02.00]b\n", "CR only"},
        {"[00:01.00]a\r\n[00:02.00]b\r\n", "[00:01.00]a\n[00:02.00]b\n", "CR LF"},
        {"[00:01.00]a\r\r\n[00:02.00]b\n\r", "[00:01.00]a\n[00:02.00]b\n", "mixed, with blank lines"},
        {Bytes("[00:01.00]a\0b\n[00:02.00]c\n", 26), "[00:01.00]ab\n[00:02.00]c\n", "NUL in the text"},
        {Bytes("[00:0\0" "1.00]x\0\0\n", 16), "[00:01.00]x\n", "NUL in the stamp"},
        {utf16(std::u16string(u"[00:01.00]a") + u'\0' + u"b\r[00:02.00]c", false), "[00:01.00]ab\n[00:02.00]c",
         "NUL and CR in UTF-16"},
    };
    for (auto &c : cases)
        EXPECT_EQ(read(c.file, 0), c.lrc) << c.what;
}

TEST_F(LrcRead, LinesWithSeveralStampsAreRepeatedInTimeOrder)
{
    struct { const char *file; int wordstamps; const char *lrc; } cases[] = {
        {"[00:12.00][01:30.00]Chorus\n[00:20.00]Verse\n", 0,
         "[00:12.00]Chorus\n[00:20.00]Verse\n[01:30.00]Chorus\n"},
        {"[00:12.00][01:30.00]Chorus\n[00:20.00]Verse\n", 1,
         "[00:12.00]Chorus\n[00:20.00]Verse\n[01:30.00]Chorus\n"},
        // Lines out of order are sorted; equal times keep the file's order.
        {"[00:03.00]c\n[00:01.00]a\n[00:03.00]d\n", 0, "[00:01.00]a\n[00:03.00]c\n[00:03.00]d\n"},
        // The last line, without a line feed, gets one where it moves up.
        {"[00:03.00]c\n[00:01.00]a", 0, "[00:01.00]a\n[00:03.00]c\n"},
        {"[00:01.00][00:02.00]x", 0, "[00:01.00]x\n[00:02.00]x"},
        {"[00:04.00]y\n[00:05.00][00:01.00][00:03.00]x", 0,
         "[00:01.00]x\n[00:03.00]x\n[00:04.00]y\n[00:05.00]x"},
        // Word stamps move with each copy of the line.
        {"[00:10.00][01:00.00]la <00:10.50>la<>\n", 0,
         "[00:10.00]la <00:10.50>la<>\n[01:00.00]la <01:00.50>la<>\n"},
        {"[00:10.00][01:00.00]la <00:10.50>la\n", 1,
         "[00:10.00]la\n[00:10.50] la\n[01:00.00]la\n[01:00.50] la\n"},
        {"[00:05.00][00:01.00]a<00:02.00>b\n", 0,
         "[00:01.00]a<00:00.00>b\n[00:05.00]a<00:02.00>b\n"}, // moved below 0: kept at 0
        // Only stamps that follow each other directly count.
        {"[00:01.00] [00:02.00]x\n", 0, "[00:01.00] [00:02.00]x\n"},
    };
    for (auto &c : cases)
        EXPECT_EQ(read(c.file, c.wordstamps), c.lrc) << c.file;

    // Every stamp of a line counts, however many there are.
    std::string many, want;
    for (int i = 0; i < 70; i++) {
        many += "[" + std::to_string(10 + i) + ":00.00]";
        want += "[" + std::to_string(10 + i) + ":00.00]x\n";
    }
    EXPECT_EQ(read(many + "x\n", 0), want);
}

// What a hostile file costs is bounded by what it produces: text that no
// tag could hold is refused before it is built.
TEST_F(LrcRead, TextLargerThanATagIsRefused)
{
    std::string stamps;
    for (int i = 0; i < 30000; i++)
        stamps += "[00:01.00]";
    FILE *fp = open_bytes("[00:00.50]kept\n" + stamps + std::string(10000, 'x') + "\n");
    t.lrc = strdup("before");
    t.skipped = 7;
    EXPECT_EQ(lrc_read(fp, &t, 0), 0);
    EXPECT_EQ(t.reason, ID3_ETOOBIG);
    EXPECT_STREQ(t.lrc, "before");
    EXPECT_EQ(t.skipped, 7);
    fclose(fp);
}

TEST_F(LrcRead, StampFormsFoundInTheWild)
{
    struct { const char *line; const char *lrc; } cases[] = {
        {"[00:02:50]a", "[00:02.50]a\n"},
        {"[00:02,50]a", "[00:02.50]a\n"},
        {"[00:02,5]a", "[00:02.50]a\n"},
        {"[00:02:505]a", "[00:02.505]a\n"},
        {"[1:02:03.45]a", "[62:03.45]a\n"},
        {"[01:02:03,45]a", "[62:03.45]a\n"},
        {"[ 00:02.50]a", "[00:02.50]a\n"},
        {"[\t00:02.50 ]a", "[00:02.50]a\n"},
        {"[ 00:02]a", "[00:02.00]a\n"},
        {"[01 :23.45 ]a", "[01 :23.45 ]a\n"},   // read by lrc_timestamp: kept as written
        {"[00:75.00]a", "[00:75.00]a\n"},
    };
    for (auto &c : cases) {
        EXPECT_EQ(read(std::string(c.line) + "\n", 0), c.lrc) << c.line;
        EXPECT_EQ(t.skipped, 0) << c.line;
    }
    // Still unreadable: skipped and counted.  A signed field is no time.
    for (const char *line : {"[00:61]a", "[1:60:00.00]a", "[1:00:60.00]a", "[00:02;50]a",
                             "[00:02.50.10]a", "[00:02:50:10]a", "[ :02.50]a", "[00:02,]a",
                             "[01:-1.00]a", "[00:-0.50]a", "[00:+1.00]a", "[01:-1:00]a",
                             "[0:-1:00.00]a"}) {
        EXPECT_EQ(read(std::string(line) + "\n", 0), "NULL") << line;
        EXPECT_EQ(t.skipped, 1) << line;
    }
    // lrc_timestamp, the editor's check of a typed stamp, keeps its verdicts.
    for (const char *stamp : {"[00:02:50]", "[00:02,50]", "[1:02:03.45]", "[ 00:02.50]"})
        EXPECT_EQ(lrc_timestamp(stamp, nullptr), 0) << stamp;
}

TEST_F(LrcRead, SkippedLinesAndTags)
{
    std::string file = "[ti:One]\n[ti:Two]\n[AR:First]\n[ar:Second]\n[offset:+500]\n\n   \n"
                       "[00:61]bad\n[chorus]\nplain words\n[]\n[00:01.00]ok\n[length: 03:20]\n";
    EXPECT_EQ(read(file + std::string("\0\0\n", 3), 0), "[00:01.00]ok\n");
    EXPECT_EQ(t.skipped, 4);
    EXPECT_STREQ(t.title, "One");
    EXPECT_STREQ(t.artist, "First");
    EXPECT_EQ(read("[00:01.00]ok\n", 0), "[00:01.00]ok\n");
    EXPECT_EQ(t.skipped, 0);
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

// Non-ASCII text is stored in an encoding that declares it.
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
    // Bytes that are not UTF-8 are taken as Windows-1252.
    EXPECT_EQ(build("[00:01.00]Caf\xE9 \x80", 4),
              Bytes(1, '\3') + Fixed.substr(1) + item("Caf\xC3\xA9 \xE2\x82\xAC", 1000));
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
