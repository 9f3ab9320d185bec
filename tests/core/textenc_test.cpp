// The text-encoding layer (core/internal.h): UTF-8 checks, UTF-16 and
// 8-bit decoding, UTF-16 coding for new frames.
#include <cstdlib>

#include "helpers.h"
#include "internal.h"

namespace {

std::string decode(int enc, const Bytes &b, int *bigendian)
{
    Str s{nullptr, 0, 0};
    EXPECT_EQ(enc_decode(enc, reinterpret_cast<const unsigned char *>(b.data()), b.size(),
                         bigendian, &s), 1);
    std::string out(s.p, s.len);
    free(s.p);
    return out;
}

TEST(TextEnc, Utf8SequencesAreCheckedStrictly)
{
    struct { Bytes in; size_t len; uint32_t cp; const char *what; } cases[] = {
        {"A", 1, 0x41, "ASCII"},
        {"\xC3\xA9", 2, 0xE9, "two bytes"},
        {"\xE2\x82\xAC", 3, 0x20AC, "three bytes"},
        {"\xEE\x80\x80", 3, 0xE000, "first code point after the surrogates"},
        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF, "U+10FFFF"},
        {"\xC0\x80", 0, 0, "overlong NUL"},
        {"\xC1\xBF", 0, 0, "overlong two bytes"},
        {"\xE0\x9F\xBF", 0, 0, "overlong three bytes"},
        {"\xF0\x8F\xBF\xBF", 0, 0, "overlong four bytes"},
        {"\xED\xA0\x80", 0, 0, "high surrogate"},
        {"\xED\xBF\xBF", 0, 0, "low surrogate"},
        {"\xED\xA0\xBD\xED\xB2\xA9", 0, 0, "surrogate pair coded as UTF-8"},
        {"\xF4\x90\x80\x80", 0, 0, "U+110000"},
        {"\xF5\x80\x80\x80", 0, 0, "lead byte beyond U+10FFFF"},
        {"\xE2\x82", 0, 0, "truncated"},
        {"\x80", 0, 0, "lone continuation byte"},
        {"\xE2\x28\xA1", 0, 0, "bad continuation byte"},
    };
    for (auto &c : cases) {
        uint32_t cp = 0;
        const auto *p = reinterpret_cast<const unsigned char *>(c.in.data());
        EXPECT_EQ(utf8_next(p, c.in.size(), &cp), c.len) << c.what;
        if (c.len) {
            EXPECT_EQ(cp, c.cp) << c.what;
        }
        EXPECT_EQ(utf8_valid(p, c.in.size()), c.len == c.in.size()) << c.what;
    }
}

TEST(TextEnc, Utf16Decoding)
{
    const char *repl = "\xEF\xBF\xBD";
    struct { int enc; Bytes in; int be_before; const char *out; int be_after; const char *what; } cases[] = {
        {1, Bytes("\xFF\xFE" "A\0", 4), 1, "A", 0, "little-endian byte order mark"},
        {1, Bytes("\xFE\xFF\0A", 4), 0, "A", 1, "big-endian byte order mark"},
        {1, Bytes("A\0", 2), 0, "A", 0, "no mark: the last order, little-endian"},
        {1, Bytes("\0A", 2), 1, "A", 1, "no mark: the last order, big-endian"},
        {2, Bytes("\0A", 2), 0, "A", 0, "encoding 2 is big-endian and keeps the order"},
        {1, Bytes("\xFF\xFE\x3D\xD8\x00\xDE", 6), 0, "\xF0\x9F\x98\x80", 0, "surrogate pair"},
        {1, Bytes("\xFF\xFE\xFF\xDB\xFF\xDF", 6), 0, "\xF4\x8F\xBF\xBF", 0, "U+10FFFF"},
        {1, Bytes("\xFF\xFE\xFF\xFF", 4), 0, "\xEF\xBF\xBF", 0, "U+FFFF"},
        {1, Bytes("\xFF\xFE\x3D\xD8", 4), 0, repl, 0, "high surrogate at the end"},
        {1, Bytes("\xFF\xFE\x3D\xD8" "A\0", 6), 0, "\xEF\xBF\xBD" "A", 0, "high surrogate, no low"},
        {1, Bytes("\xFF\xFE\x00\xDC", 4), 0, repl, 0, "lone low surrogate"},
        {1, Bytes("\xFF\xFE\x00\xDE\x3D\xD8", 6), 0, "\xEF\xBF\xBD\xEF\xBF\xBD", 0, "pair reversed"},
        {1, Bytes("\xFF\xFE" "A\0B", 5), 0, "A\xEF\xBF\xBD", 0, "odd trailing byte"},
        {1, Bytes("\xFF\xFE", 2), 1, "", 0, "only a mark"},
    };
    for (auto &c : cases) {
        int be = c.be_before;
        EXPECT_EQ(decode(c.enc, c.in, &be), c.out) << c.what;
        EXPECT_EQ(be, c.be_after) << c.what;
    }
}

TEST(TextEnc, ByteOrderCarriesFromStringToString)
{
    int be = 0;
    EXPECT_EQ(decode(1, Bytes("\xFE\xFF\0a", 4), &be), "a");
    EXPECT_EQ(decode(1, Bytes("\0b", 2), &be), "b");
    EXPECT_EQ(decode(1, Bytes("\xFF\xFE" "c\0", 4), &be), "c");
    EXPECT_EQ(decode(1, Bytes("d\0", 2), &be), "d");
}

TEST(TextEnc, EightBitText)
{
    int be = 0;
    // Encodings 0 and 3: valid UTF-8 stays, anything else is ISO-8859-1.
    EXPECT_EQ(decode(0, "Caf\xE9", &be), "Caf\xC3\xA9");
    EXPECT_EQ(decode(0, "Caf\xC3\xA9", &be), "Caf\xC3\xA9");
    EXPECT_EQ(decode(3, "\x80", &be), "\xC2\x80");

    // Windows-1252: Latin-1 plus 0x80-0x9F; its undefined bytes give U+FFFD.
    struct { unsigned char b; uint32_t cp; } cp1252[] = {
        {0x41, 0x41}, {0x80, 0x20AC}, {0x85, 0x2026}, {0x93, 0x201C}, {0x94, 0x201D},
        {0x96, 0x2013}, {0x97, 0x2014}, {0x9F, 0x0178}, {0xA0, 0xA0}, {0xE9, 0xE9},
        {0xFF, 0xFF}, {0x81, 0xFFFD}, {0x8D, 0xFFFD}, {0x8F, 0xFFFD}, {0x90, 0xFFFD},
        {0x9D, 0xFFFD},
    };
    for (auto &c : cp1252)
        EXPECT_EQ(cp1252_char(c.b), c.cp) << int(c.b);

    // Mixed text: UTF-8 sequences kept, the other bytes as Windows-1252.
    Str s{nullptr, 0, 0};
    Bytes mixed = "Caf\xC3\xA9 \xE9\x80\xC3";
    ASSERT_EQ(enc_utf8_or_cp1252(&s, reinterpret_cast<const unsigned char *>(mixed.data()),
                                 mixed.size()), 1);
    EXPECT_EQ(std::string(s.p, s.len), "Caf\xC3\xA9 \xC3\xA9\xE2\x82\xAC\xC3\x83");
    free(s.p);
}

TEST(TextEnc, TerminatorsFollowTheEncoding)
{
    const auto *p = reinterpret_cast<const unsigned char *>("A\0\0A\0\0\0");
    EXPECT_EQ(enc_strlen(0, p, 7), 1u);
    EXPECT_EQ(enc_strlen(1, p, 7), 4u);   // two zeros at an even offset only
    EXPECT_EQ(enc_strlen(2, p, 3), 3u);   // none: the whole length
}

TEST(TextEnc, Utf16CodingForNewFrames)
{
    struct { uint32_t cp; Bytes le; } cases[] = {
        {0x41, Bytes("A\0", 2)},
        {0x20AC, Bytes("\xAC\x20", 2)},
        {0xFFFF, Bytes("\xFF\xFF", 2)},
        {0x10000, Bytes("\x00\xD8\x00\xDC", 4)},
        {0x1F3B5, Bytes("\x3C\xD8\xB5\xDF", 4)},
        {0x10FFFF, Bytes("\xFF\xDB\xFF\xDF", 4)},
    };
    for (auto &c : cases) {
        unsigned char out[4];
        size_t n = enc_utf16le(c.cp, out);
        EXPECT_EQ(Bytes(reinterpret_cast<char *>(out), n), c.le) << c.cp;
        // And it decodes back to the same character.
        Str s{nullptr, 0, 0};
        ASSERT_TRUE(str_reserve(&s, 4));
        str_putcp(&s, c.cp);
        int be = 0;
        EXPECT_EQ(decode(1, c.le, &be), std::string(s.p, s.len)) << c.cp;
        free(s.p);
    }
}

} // namespace
