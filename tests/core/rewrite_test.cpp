// Writing a new copy of a track: id3_copytag, id3_writesylt, id3_appendmp3.
#include <cstdlib>
#include <cstring>

#include "helpers.h"

namespace {

class Rewrite : public Core {
protected:
    int copied = 0, written = 0, appended = 0;

    void open(const Bytes &old, const Bytes &payload)
    {
        Core::open(old);
        if (!payload.empty()) {
            t.sylt = static_cast<unsigned char *>(malloc(payload.size()));
            memcpy(t.sylt, payload.data(), payload.size());
            t.syltsize = int32_t(payload.size());
        }
    }
    // The three steps into out, as the callers run them.
    void steps(FILE *out)
    {
        copied = written = appended = 0;
        copied = id3_copytag(out, &t);
        if (copied) {
            written = id3_writesylt(out, &t);
            appended = id3_appendmp3(out, &t);
        }
    }
    Bytes rewrite(const Bytes &old, const Bytes &payload)
    {
        open(old, payload);
        FILE *out = tmpfile();
        steps(out);
        Bytes b = read_all(out);
        fclose(out);
        return b;
    }
};

Bytes payload_of(size_t n)
{
    Bytes p = payload0("");
    while (p.size() < n)
        p += char('a' + p.size() % 26);
    return p;
}

TEST_F(Rewrite, TrackWithoutTagGetsANewVersion4Tag)
{
    Bytes p = payload_of(200), old = audio(1000);
    Bytes out = rewrite(old, p);
    EXPECT_EQ(copied + written + appended, 3);
    Bytes want = Bytes("ID3\x04\x00\x00", 6) + syncsafe(10 + 200)  // new header
                 + "SYLT" + Bytes("\x00\x00\x01\x48", 4) + Bytes(2, '\0') // 200, sync-safe
                 + p + old;
    EXPECT_EQ(out, want);
    EXPECT_EQ(t.version, 4);
    EXPECT_EQ(t.size, 210);
}

TEST_F(Rewrite, Version3TagKeepsItsFramesAndDropsPadding)
{
    Bytes tit2 = frame3("TIT2", text0("My song")), talb = frame3("TALB", text0("Albu"));
    ASSERT_EQ(tit2.size(), 18u);
    ASSERT_EQ(talb.size(), 15u);
    Bytes old = make_tag(3, 0, tit2 + frame3("SYLT", payload0(item("old", 1))) + talb, 500);
    Bytes p = payload_of(300), a = audio(777);
    Bytes out = rewrite(old + a, p);
    EXPECT_EQ(copied + written + appended, 3);
    Bytes want = Bytes("ID3\x03\x00\x00", 6) + Bytes("\x00\x00\x02\x57", 4) // 343
                 + tit2 + talb
                 + "SYLT" + Bytes("\x00\x00\x01\x2C", 4) + Bytes(2, '\0') // 300, plain
                 + p;
    ASSERT_EQ(want.size(), 353u);
    EXPECT_EQ(out, want + a);
    EXPECT_EQ(t.size, 343);
}

TEST_F(Rewrite, Version2Tag)
{
    Bytes tt2 = frame2("TT2", text0("x"));
    Bytes old = make_tag(2, 0, frame2("SLT", payload0("")) + tt2, 7);
    Bytes p = payload_of(300);
    Bytes out = rewrite(old + audio(), p);
    Bytes want = Bytes("ID3\x02\x00\x00", 6) + syncsafe(tt2.size() + 6 + 300) + tt2 +
                 "SLT" + Bytes("\x00\x01\x2C", 3) + p + audio();
    EXPECT_EQ(out, want);
}

// Of the old SYLT frames only the one replaced goes: the first holding
// lyrics, or one saved again unchanged.  The new frame comes first, the
// others follow byte for byte.
TEST_F(Rewrite, OtherSyltFramesAreKeptAfterTheNewOne)
{
    Bytes lyrics = payload0(item("old", 1)), again = payload0(item("again", 2));
    Bytes chords = payload0(item("Am", 3)), other = payload0(item("x", 4));
    chords[5] = 5;
    other[5] = 0;
    Bytes z = be32(100) + "x\x9C compressed";
    Bytes tpe1 = frame4("TPE1", text0("b")), p = payload_of(50);
    Bytes zipped = "SYLT" + syncsafe(z.size()) + Bytes("\0\x09", 2) + z;
    struct { Bytes old; Bytes payload; Bytes frames; const char *what; } cases[] = {
        {frame4("SYLT", lyrics) + tpe1 + frame4("SYLT", again), p,
         tpe1 + frame4("SYLT", p) + frame4("SYLT", again), "two lyrics frames: the first"},
        {frame4("SYLT", chords) + tpe1 + frame4("SYLT", lyrics) + frame4("SYLT", other), p,
         tpe1 + frame4("SYLT", p) + frame4("SYLT", chords) + frame4("SYLT", other), "chords first"},
        {frame4("SYLT", chords) + tpe1, p, tpe1 + frame4("SYLT", p) + frame4("SYLT", chords),
         "no lyrics: none"},
        {frame4("SYLT", chords) + frame4("SYLT", other) + tpe1, other,
         tpe1 + frame4("SYLT", other) + frame4("SYLT", chords), "a frame saved again unchanged"},
        {zipped + frame4("SYLT", lyrics), p, frame4("SYLT", p) + zipped, "compressed: kept"},
        // Without a payload the lyrics frame goes and the others stay put.
        {frame4("SYLT", chords) + tpe1 + frame4("SYLT", lyrics) + frame4("SYLT", other), "",
         frame4("SYLT", chords) + tpe1 + frame4("SYLT", other), "no payload"},
    };
    for (auto &c : cases) {
        open(make_tag(4, 0, c.old, 20) + audio(), c.payload);
        FILE *out = tmpfile();
        ASSERT_EQ(id3_rewrite(out, &t), 1) << c.what;
        EXPECT_EQ(t.reason, ID3_OK) << c.what;
        EXPECT_EQ(read_all(out), make_tag(4, 0, c.frames) + audio()) << c.what;
        fclose(out);
    }
    // Version 2, and what it reads back: the new lyrics.
    Bytes tt2 = frame2("TT2", text0("x"));
    Bytes out = rewrite(make_tag(2, 0, frame2("SLT", chords) + tt2 + frame2("SLT", lyrics), 7), p);
    EXPECT_EQ(out, make_tag(2, 0, tt2 + frame2("SLT", p) + frame2("SLT", chords)));
    EXPECT_EQ(read_track(out + audio()).lrc, read_track(make_tag(2, 0, frame2("SLT", p)) + audio()).lrc);
    // The frames kept count towards the tag's size.
    open(make_tag(3, 0, frame3("SYLT", chords)) + audio(), payload_of(100));
    FILE *big = tmpfile();
    ASSERT_EQ(id3_copytag(big, &t), 1);
    t.size = 0x0FFFFFFF - 110 - int32_t(frame3("SYLT", chords).size()) + 1;
    EXPECT_EQ(id3_writesylt(big, &t), 0);
    EXPECT_EQ(t.reason, ID3_ETOOBIG);
    fclose(big);
}

TEST_F(Rewrite, ExtendedHeaderIsCopiedAndCounted)
{
    Bytes ext = be32(6) + Bytes("\x00\x00\x00\x00\x00\x00", 6); // 10 bytes in version 3
    Bytes f = frame3("TIT2", text0("t"));
    Bytes p = payload_of(20);
    Bytes out = rewrite(make_tag(3, 0x40, ext + f, 30) + audio(), p);
    EXPECT_EQ(out, tag_header(3, 0x40, 10 + f.size() + 30) + ext + f + frame3("SYLT", p) + audio());
}

TEST_F(Rewrite, AudioIsCopiedWhole)
{
    Bytes tag = make_tag(3, 0, frame3("TIT2", text0("t")));
    Bytes p = payload_of(10);
    for (size_t n : {0, 1, 1024, 1300, 65536, 65537, 200000}) {
        Bytes a = audio(n);
        Bytes out = rewrite(tag + a, p);
        EXPECT_EQ(appended, 1) << n;
        ASSERT_GE(out.size(), n);
        EXPECT_EQ(out.size(), tag.size() + 20 + n) << n;
        EXPECT_TRUE(out.compare(out.size() - n, n, a) == 0) << n;
    }
}

TEST_F(Rewrite, WithoutPayloadNothingIsWritten)
{
    Bytes f = frame3("TIT2", text0("t"));
    Bytes out = rewrite(make_tag(3, 0, f, 10), "");
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(out, tag_header(3, 0, f.size()) + f);
    // The rewrite as a whole: a tag without a SYLT frame, then the audio.
    open(make_tag(3, 0, f + frame3("SYLT", payload0("")), 10) + audio(), "");
    FILE *fp = tmpfile();
    EXPECT_EQ(id3_rewrite(fp, &t), 1);
    EXPECT_EQ(read_all(fp), tag_header(3, 0, f.size()) + f + audio());
    fclose(fp);
}

TEST_F(Rewrite, FrameSizeCodingAtItsBoundaries)
{
    struct { size_t n; Bytes v4; Bytes v3; } cases[] = {
        {127, Bytes("\x00\x00\x00\x7F", 4), Bytes("\x00\x00\x00\x7F", 4)},
        {128, Bytes("\x00\x00\x01\x00", 4), Bytes("\x00\x00\x00\x80", 4)},
        {129, Bytes("\x00\x00\x01\x01", 4), Bytes("\x00\x00\x00\x81", 4)},
        {16384, Bytes("\x00\x01\x00\x00", 4), Bytes("\x00\x00\x40\x00", 4)},
    };
    for (auto &c : cases) {
        Bytes p = payload_of(c.n);
        Bytes out = rewrite(make_tag(4, 0, frame4("TIT2", text0("t"))), p);
        EXPECT_EQ(out.substr(10 + 12, 10), "SYLT" + c.v4 + Bytes(2, '\0')) << c.n;
        out = rewrite(make_tag(3, 0, frame3("TIT2", text0("t"))), p);
        EXPECT_EQ(out.substr(10 + 12, 10), "SYLT" + c.v3 + Bytes(2, '\0')) << c.n;
        EXPECT_EQ(out.substr(6, 4), syncsafe(12 + 10 + c.n)) << c.n;
    }
}

TEST_F(Rewrite, TagThatWouldOutgrowItsSizeFieldIsRefused)
{
    open(audio(), payload_of(100));
    FILE *out = tmpfile();
    ASSERT_EQ(id3_copytag(out, &t), 1);
    t.size = 0x0FFFFFFF - 100;
    EXPECT_EQ(id3_writesylt(out, &t), 0);
    EXPECT_EQ(t.reason, ID3_ETOOBIG);
    EXPECT_EQ(read_all(out).size(), 10u);
    fclose(out);
}

// Version 4 sizes are written sync-safe, those of the tags that earlier
// versions wrote with plain sizes too: kept plain, a tag could read back
// both ways.
TEST_F(Rewrite, Version4SizesAreWrittenSyncSafeLegacyTagsIncluded)
{
    Bytes p = payload_of(300);
    Bytes big = frame4("PRIV", Bytes(200, 'x'));
    Bytes out = rewrite(make_tag(4, 0, big + frame4("SYLT", payload0("")), 20), p);
    EXPECT_EQ(out, tag_header(4, 0, big.size() + 310) + big + "SYLT" +
                       Bytes("\x00\x00\x02\x2C", 4) + Bytes(2, '\0') + p);

    Bytes legacy = frame3("PRIV", Bytes(200, 'x'));
    out = rewrite(make_tag(4, 0, legacy + frame3("SYLT", payload0(""))), p);
    EXPECT_EQ(t.plainsizes, 1);
    EXPECT_EQ(out, tag_header(4, 0, big.size() + 310) + big + "SYLT" +
                       Bytes("\x00\x00\x02\x2C", 4) + Bytes(2, '\0') + p);
    // And it reads back.
    FILE *fp = open_bytes(out);
    Id3Tag back{};
    ASSERT_EQ(id3_init(fp, &back), 1);
    ASSERT_EQ(id3_readsylt(&back), 1);
    EXPECT_EQ(sylt_of(back), p);
    id3_close(&back);
    fclose(fp);
}

TEST_F(Rewrite, FooterIsNotCarriedOver)
{
    Bytes f = frame4("TIT2", text0("t"));
    Bytes tag = make_tag(4, 0x10, f);
    Bytes footer = "3DI" + tag.substr(3, 7);
    Bytes p = payload_of(10);
    Bytes out = rewrite(tag + footer + audio(), p);
    EXPECT_EQ(out, tag_header(4, 0, f.size() + 20) + f + frame4("SYLT", p) + audio());
}

// A tag that cannot be copied faithfully is refused.
TEST_F(Rewrite, UnfaithfulCopiesAreRefused)
{
    Bytes f = frame3("TIT2", text0("title")) + frame3("TALB", text0("album"));
    Bytes good = make_tag(3, 0, f, 10) + audio();
    Bytes ext = be32(6) + Bytes(6, '\0');
    struct { Bytes old; const char *why; } cases[] = {
        {good.substr(0, 14) + "\x7F" + good.substr(15), "size runs past the tag"},
        {good.substr(0, 17) + "\x08" + good.substr(18), "frames do not land on a header"},
        {good.substr(0, 14) + "\x80" + good.substr(15), "negative size"},
        {good.substr(0, 30), "tag longer than the file"},
        {make_tag(3, 0x80, f) + audio(), "unsynchronisation"},
        {make_tag(4, 0x80, frame4("TIT2", text0("t"))), "unsynchronisation, version 4"},
        {make_tag(5, 0, f), "unsupported version"},
        {tag_header(3, 0x40, 6) + be32(600) + "xx", "extended header past the tag"},
        {make_tag(3, 0, f + "\x01\x02", 0), "trailing bytes that are no frame"},
        // A size that claims audio: what follows the padding is not zero.
        {tag_header(3, 0, f.size() + 100 + 1500) + f + Bytes(100, '\0') + audio(1500) + audio(),
         "tag size reaching into the audio"},
        {make_tag(3, 0, f + Bytes(60, '\0') + "\x01" + Bytes(39, '\0')), "a stray byte in the padding"},
    };
    for (auto &c : cases) {
        open(c.old, payload_of(30));
        FILE *out = tmpfile();
        EXPECT_EQ(id3_copytag(out, &t), 0) << c.why;
        EXPECT_EQ(t.reason, c.old[3] == 5 ? ID3_EVERSION : ID3_ETAG) << c.why;
        fclose(out);
    }
    (void)ext;
}

TEST_F(Rewrite, FramesWithFlagsOfTheirOwnAreCopiedAsTheyStand)
{
    // Unsynchronised with a data length indicator, and compressed.
    Bytes body = syncsafe(3) + Bytes("\xFF\x00\xE0\x01", 4);
    Bytes kept = "TXXX" + syncsafe(body.size()) + Bytes("\0\x03", 2) + body +
                 "TIT2" + syncsafe(8) + Bytes("\0\x09", 2) + be32(3) + "zzzz";
    Bytes p = payload_of(20);
    Bytes out = rewrite(make_tag(4, 0, kept, 30) + audio(), p);
    EXPECT_EQ(out, tag_header(4, 0, kept.size() + 30) + kept + frame4("SYLT", p) + audio());
}

TEST_F(Rewrite, FailingWritesAreReported)
{
    Bytes old = make_tag(3, 0, frame3("TIT2", text0("t"))) + audio(5000);
    for (const Bytes &track : {old, audio(5000)}) {
        open(track, payload_of(40));
        FILE *full = fopen("/dev/full", "w");
        ASSERT_NE(full, nullptr);
        setvbuf(full, nullptr, _IONBF, 0);
        for (auto step : {id3_copytag, id3_writesylt, id3_appendmp3}) {
            EXPECT_EQ(step(full, &t), 0);
            EXPECT_EQ(t.reason, ID3_EWRITE);
        }
        fclose(full);
    }
    // Room for the tag but not for the audio.
    char buf[200];
    FILE *small = fmemopen(buf, sizeof buf, "w");
    ASSERT_NE(small, nullptr);
    setvbuf(small, nullptr, _IONBF, 0);
    open(old, payload_of(40));
    steps(small);
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(appended, 0);
    fclose(small);
}

TEST_F(Rewrite, FailingReadsAreReported)
{
    open(make_tag(3, 0, frame3("TIT2", text0("t"))) + audio(), payload_of(40));
    FILE *out = tmpfile();
    ASSERT_EQ(id3_copytag(out, &t), 1);
    // The old track's stream turns unreadable before the audio is copied.
    FILE *unreadable = fopen("/dev/null", "w");
    FILE *old = t.fp;
    t.fp = unreadable;
    EXPECT_EQ(id3_appendmp3(out, &t), 0);
    EXPECT_EQ(t.reason, ID3_EREAD);
    t.fp = old;
    fclose(unreadable);
    fclose(out);
}

TEST_F(Rewrite, RewrittenTrackReadsBack)
{
    Bytes old = make_tag(3, 0, frame3("TIT2", text0("Song")) + frame3("APIC", Bytes(5000, 'p')), 100) + audio();
    open(old, "");
    t.lrc = strdup("[00:01.00]Gr\xC3\xBC\xC3\x9F <00:02.00>dich\n");
    ASSERT_EQ(lrc_tosylt(&t), 1);
    FILE *out = tmpfile();
    ASSERT_EQ(id3_rewrite(out, &t), 1);
    EXPECT_EQ(t.reason, ID3_OK);
    Id3Tag back{};
    ASSERT_EQ(id3_init(out, &back), 1);
    ASSERT_EQ(id3_readsylt(&back), 1);
    EXPECT_STREQ(back.title, "Song");
    EXPECT_EQ(back.sylt[0], 1); // UTF-16 in a version-3 tag
    ASSERT_EQ(lrc_fromsylt(&back, 1), 1);
    EXPECT_STREQ(back.lrc, "[00:01.00]Gr\xC3\xBC\xC3\x9F <00:02.00>dich\n");
    id3_close(&back);
    Bytes b = read_all(out);
    EXPECT_EQ(b.substr(b.size() - audio().size()), audio());
    fclose(out);
}

} // namespace

TEST(AudioCheck, MpegAudioIsToldFromOtherContentAfterTheTag)
{
    const Bytes tag = make_tag(3, 0, frame3("TIT2", text0("x")), 16);
    // Free format (bit rate index 0): the frames do not say their length.
    const Bytes free = Bytes("\xFF\xFB\x04\x64", 4) + Bytes(600, 'f');
    // AAC in ADTS: the MPEG sync, layer bits 00, frames of 16 bytes.
    Bytes adts;
    for (int i = 0; i < 4; ++i)
        adts += Bytes("\xFF\xF1\x50\x80\x02\x1F\xFC", 7) + Bytes(9, 'a');
    const struct {
        const char *what;
        Bytes file;
        int mpeg;
    } cases[] = {
        {"tagged MPEG audio", tag + audio(), 1},
        {"untagged MPEG audio", audio(), 1},
        {"junk before the first frame", tag + Bytes(100, 'j') + audio(), 1},
        {"a tag and nothing else", tag, 1},
        {"70,000 zero bytes before the first frame", tag + Bytes(70000, '\0') + audio(), 1},
        {"a track of one whole frame", audio(417), 1},
        {"the free format", tag + free + free, 1},
        {"a frame cut short", tag + audio(300), 0},
        {"a lone frame header", tag + audio(4) + Bytes(2000, 'x'), 0},
        {"a second header of another layer", audio(417) + "\xFF\xFD\x90\x64" + Bytes(500, 'x'), 0},
        {"AAC in ADTS, then a stray header", adts + audio(), 0},
        {"zero bytes only", tag + Bytes(1000, '\0'), 0},
        {"a WAV file", tag + "RIFF" + be32(36) + "WAVEfmt " + audio(), 0},
        {"an MP4 file", be32(24) + "ftypM4A " + audio(), 0},
        {"a Matroska file", Bytes("\x1A\x45\xDF\xA3", 4) + audio(), 0},
        {"plain text", tag + "just some words\nand more\n", 0},
        {"a frame header beyond 64 KiB", tag + Bytes(65536, 'x') + audio(), 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Id3Tag t{};
        FILE *fp = open_bytes(c.file);
        id3_init(fp, &t);
        EXPECT_EQ(id3_ismpeg(&t), c.mpeg);
        EXPECT_EQ(t.reason, c.mpeg ? ID3_OK : ID3_ENOTMPEG);
        id3_close(&t);
        fclose(fp);
    }
}
