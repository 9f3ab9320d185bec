// LRC reading and LRC-to-SYLT conversion on arbitrary LRC files.
//
// The first input byte chooses the tag version the payload is built for
// (none, 2, 3 or 4: ISO-8859-1, UTF-16 or UTF-8 texts) and whether the file
// is also read into the row form; the rest is the LRC file.
//
// Checked: reading succeeds; every text it gives is valid UTF-8 without a
// carriage return; without word stamps every line of it starts with a line
// stamp, in time order; the text read without word stamps converts to
// a payload and back to inline LRC text, and that text converts again to
// the same lyrics: the same characters between the stamps and the same
// times in the same order.  (Not always the same text: a line feed that is
// an item's whole text moves to the other side of its stamp, as SYLT puts
// line feeds in front of a line.)  The payload's encoding byte follows
// the text and the version.  The row form converts too.  The text buffer
// is empty after every step.
#include <cstring>
#include <string>
#include <vector>

#include "scratch.h"
#include "sylt.h"
#include "textbuffer.h"

// The lyrics of an inline LRC text: its characters without the stamps,
// and the times of the stamps in order.
struct Lyrics {
    std::string text;
    std::vector<int32_t> times;
    bool operator==(const Lyrics &o) const { return text == o.text && times == o.times; }
};

static Lyrics lyrics_of(const std::string &lrc)
{
    Lyrics l;
    for (size_t i = 0; i < lrc.size();) {
        const char *p = lrc.c_str() + i;
        int32_t time;
        if ((p[0] == '[' && p[1] == ']') || (p[0] == '<' && p[1] == '>')) {
            l.times.push_back(ID3_NOTIME);
            i += 2;
        } else if ((p[0] == '[' || p[0] == '<') && lrc_timestamp(p, &time)) {
            l.times.push_back(time);
            i = lrc.find(p[0] == '[' ? ']' : '>', i) + 1;
        } else {
            l.text += lrc[i++];
        }
    }
    return l;
}

// What lrc_read hands on: UTF-8 without carriage returns, and, in the
// inline form, lines that each start with a line stamp, in time order.
static void check_read(const Id3Tag &t, bool rows)
{
    for (const char *s : {t.title, t.artist, t.album, t.lrc})
        if (s != nullptr)
            FUZZ_CHECK(scratch::valid_utf8(s));
    FUZZ_CHECK(t.skipped >= 0);
    if (t.lrc == nullptr)
        return;
    FUZZ_CHECK(std::strchr(t.lrc, '\r') == nullptr);
    if (rows)
        return;
    int32_t last = 0, time;
    for (const char *line = t.lrc; *line != '\0';) {
        FUZZ_CHECK(lrc_timestamp(line, &time) == 1);
        FUZZ_CHECK(time >= last);
        last = time;
        const char *lf = std::strchr(line, '\n');
        line = lf ? lf + 1 : line + std::strlen(line);
    }
}

static bool ascii(const char *s)
{
    for (; *s; s++)
        if ((unsigned char)*s >= 0x80)
            return false;
    return true;
}

static std::string round_trip(Id3Tag &t)
{
    FUZZ_CHECK(lrc_tosylt(&t) == 1);
    FUZZ_CHECK(t.sylt != nullptr && t.syltsize > 0);
    int enc = ascii(t.lrc) ? 0 : t.version == 2 || t.version == 3 ? 1 : 3;
    FUZZ_CHECK(t.sylt[0] == enc);
    FUZZ_CHECK(lrc_fromsylt(&t, 1) == 1);
    FUZZ_CHECK(txtbuf_GetSize() == 0);
    return t.lrc;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const uint8_t versions[4] = {0, 2, 3, 4};
    static scratch::MemFile file;
    if (size < 1)
        return 0;
    uint8_t version = versions[data[0] & 3];
    bool rows = data[0] & 4;

    for (int wordstamps = 0; wordstamps <= (rows ? 1 : 0); wordstamps++) {
        FILE *fp = file.open_read(data + 1, size - 1);
        Id3Tag t;
        id3_init(nullptr, &t);
        t.version = version;
        FUZZ_CHECK(lrc_read(fp, &t, wordstamps) == 1);
        std::fclose(fp);
        FUZZ_CHECK(txtbuf_GetSize() == 0);
        check_read(t, wordstamps);
        if (t.lrc != nullptr) {
            if (wordstamps == 0) {
                std::string once = round_trip(t);
                std::string twice = round_trip(t);
                if (!(lyrics_of(once) == lyrics_of(twice))) {
                    std::fprintf(stderr, "once:  \"%s\"\ntwice: \"%s\"\n", once.c_str(), twice.c_str());
                    FUZZ_CHECK(lyrics_of(once) == lyrics_of(twice));
                }
                FUZZ_CHECK(lrc_fromsylt(&t, 0) == 1);
                FUZZ_CHECK(txtbuf_GetSize() == 0);
            } else {
                FUZZ_CHECK(lrc_tosylt(&t) == 1);
            }
        }
        id3_close(&t);
    }
    return 0;
}
