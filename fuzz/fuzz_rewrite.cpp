// Tag rewriting on arbitrary tracks.
//
// The input is the old track.  A fixed LRC text (plain ASCII, or with
// accents, chosen by the input's length) is turned into a payload for the
// track's tag version and the track is rewritten to a new file as
// lyrasil-import does it, with a block size to pad to (none, usable ones,
// unusable ones: chosen by the last byte's low three bits).  The old track
// and the new file are streams in memory, or, when the last byte has bit 3
// set, files in memory with descriptors, through which the system copies
// the audio.
//
// Checked: a failure names its reason; when the rewrite reports success:
//  - the new file's audio (everything after its tag) equals the old audio,
//    byte for byte, the old audio being everything after the tag that the
//    old header claims (and after its version-4 footer), or the whole file
//    when it does not start with a tag;
//  - a tag whose header claims more bytes than the file holds, that has
//    the unsynchronisation flag, or whose padding holds anything but zero
//    bytes, was refused;
//  - the new tag has the old version (4 for a created tag), revision and
//    flags (less the footer flag), opens, holds the new SYLT frame, and its
//    lyrics convert back to the LRC text given;
//  - its frames are the old tag's frames without their SYLT frames, byte
//    for byte and in order, followed by the new SYLT frame and then the old
//    SYLT frames in order, less at most one (the lyrics replaced) (the
//    frames are walked here independently of the core); a version-4 tag
//    whose sizes were plain has them sync-safe, nothing else changed;
//  - its padding is zero bytes: with a usable block size and audio, fewer
//    than a block, ending the tag at the old audio's offset within a
//    block; none otherwise.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "scratch.h"
#include "sylt.h"
#include "textbuffer.h"

static const char *const lyrics[2] = {
    "[00:01.00]Hello <00:01.50>world\n[00:03.00]Next line\n",
    "[00:00.50]Caf\xc3\xa9 <00:01.10>au lait\n[00:02.00]D\xc3\xa9j\xc3\xa0 vu <00:02.50>\xe2\x99\xaa\n",
};

static uint32_t syncsafe(const uint8_t *b)
{
    return (uint32_t)(b[0] & 0x7F) << 21 | (uint32_t)(b[1] & 0x7F) << 14 |
           (uint32_t)(b[2] & 0x7F) << 7 | (uint32_t)(b[3] & 0x7F);
}

static uint32_t plain32(const uint8_t *b)
{
    return (uint32_t)b[0] << 24 | (uint32_t)b[1] << 16 | (uint32_t)b[2] << 8 | b[3];
}

// The frames of a tag body, each with its header, when they walk cleanly to
// padding (a zero identifier) or to the body's exact end; false otherwise.
// Identifiers are capital letters and digits; a sync-safe size has no byte
// with its top bit set.  *padding: where the frames end.
static bool walk(const uint8_t *p, size_t len, int version, bool plain,
                 std::vector<std::string_view> &frames, size_t *padding = nullptr)
{
    size_t head = version == 2 ? 6 : 10, idlen = version == 2 ? 3 : 4, pos = 0;
    frames.clear();
    if (padding)
        *padding = len;
    while (pos < len) {
        const uint8_t *h = p + pos;
        size_t n = std::min(len - pos, idlen);
        if (std::all_of(h, h + n, [](uint8_t c) { return c == 0; })) {
            if (padding)
                *padding = pos;
            return true; // padding
        }
        if (len - pos < head ||
            !std::all_of(h, h + idlen, [](uint8_t c) { return isupper(c) || isdigit(c); }))
            return false;
        if (version == 4 && !plain && ((h[4] | h[5] | h[6] | h[7]) & 0x80))
            return false;
        uint64_t size = version == 2 ? ((uint32_t)h[3] << 16 | h[4] << 8 | h[5])
                        : plain ? plain32(h + 4) : syncsafe(h + 4);
        if (size > len - pos - head)
            return false;
        frames.emplace_back(reinterpret_cast<const char *>(h), head + size);
        pos += head + size;
    }
    return true;
}

// Where the frames of a tag start: after the header and, in versions 3 and
// 4, an extended header (version 3 counts it without its size field).
static size_t frames_start(const uint8_t *tag, size_t len)
{
    if (tag[3] < 3 || !(tag[5] & 0x40) || len < 14)
        return 10;
    uint64_t ext = tag[3] == 3 ? 4 + (uint64_t)plain32(tag + 10) : syncsafe(tag + 10);
    return ext > len - 10 ? len : 10 + (size_t)ext;
}

static const uint32_t blocks[] = {0, 512, 4096, 65536, 1, 3, 65537, 0xFFFFFFFF};

static bool is_sylt(std::string_view frame, int version)
{
    return frame.compare(0, version == 2 ? 3 : 4, version == 2 ? "SLT" : "SYLT") == 0;
}

// The payload of lyrics[which] for a tag of the given version.  It depends
// on nothing else, so each is built once, when first needed.
static const std::string &payload_of(int which, uint8_t version)
{
    static std::string payloads[2][256];
    std::string &p = payloads[which][version];
    if (p.empty()) {
        Id3Tag t;
        id3_init(nullptr, &t);
        t.version = version;
        t.lrc = strdup(lyrics[which]);
        FUZZ_CHECK(lrc_tosylt(&t) == 1 && t.syltsize > 0);
        p.assign(reinterpret_cast<char *>(t.sylt), static_cast<size_t>(t.syltsize));
        id3_close(&t);
    }
    return p;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static scratch::MemFile oldmem, newmem, back;
    static scratch::FdFile oldfd, newfd;
    const char *text = lyrics[size % 2];
    uint8_t last = size > 0 ? data[size - 1] : 0;
    uint32_t block = blocks[last % (sizeof blocks / sizeof *blocks)];
    scratch::File &oldfile = last & 8 ? static_cast<scratch::File &>(oldfd) : oldmem;
    scratch::File &newfile = last & 8 ? static_cast<scratch::File &>(newfd) : newmem;

    FILE *in = oldfile.open_read(data, size);
    Id3Tag t;
    int had_tag = id3_init(in, &t);
    uint8_t old_version = t.version, old_flags = t.flags;
    const std::string &payload = payload_of(size % 2, t.version);
    FUZZ_CHECK(id3_setsylt(&t, payload.data(), payload.size()) == 1);
    t.blocksize = block;

    FILE *out = newfile.open_write();
    bool ok = id3_rewrite(out, &t);
    FUZZ_CHECK(ok == (t.reason == ID3_OK));
    id3_close(&t);
    FUZZ_CHECK(std::fclose(out) == 0);
    std::fclose(in);
    FUZZ_CHECK(txtbuf_GetSize() == 0);
    if (!ok)
        return 0;

    // Where the old audio starts, judged from the old header alone: after
    // the tag and, in version 4, the footer that its flag announces (the
    // old footer would describe the old tag, so it is not carried over).
    bool old_header = size >= 10 && std::memcmp(data, "ID3", 3) == 0;
    uint64_t tagend = old_header ? 10 + (uint64_t)syncsafe(data + 6) : 0, audio = tagend;
    FUZZ_CHECK(tagend <= size);
    if (old_header && data[3] == 4 && (data[5] & 0x10) && size - tagend >= 3 &&
        std::memcmp(data + tagend, "3DI", 3) == 0)
        audio = std::min<uint64_t>(tagend + 10, size);
    if (had_tag)
        FUZZ_CHECK((old_flags & 0x80) == 0);

    const uint8_t *n = newfile.data();
    size_t nsize = newfile.size();
    FUZZ_CHECK(nsize >= 10 && std::memcmp(n, "ID3", 3) == 0);
    uint64_t newtag = 10 + (uint64_t)syncsafe(n + 6);
    FUZZ_CHECK(newtag <= nsize);
    FUZZ_CHECK(nsize - newtag == size - audio &&
               std::memcmp(n + newtag, data + audio, size - audio) == 0);
    // A header of a known version is kept even when its tag is empty.
    uint8_t want_version = old_version >= 2 && old_version <= 4 ? old_version : 4;
    FUZZ_CHECK(n[3] == want_version);
    if (want_version == old_version) {
        uint8_t want_flags = old_version == 4 ? old_flags & ~0x10 : old_flags;
        FUZZ_CHECK(n[4] == data[4] && n[5] == want_flags);
    }

    // The frames, old and new, with the old tag's size coding; where the
    // new frames end (after the new SYLT frame alone in a tag that had no
    // frames).
    size_t frames_end = 10 + (want_version == 2 ? 6 : 10) + payload.size();
    if (had_tag) {
        const uint8_t *o = data;
        size_t ostart = frames_start(o, tagend), nstart = frames_start(n, newtag);
        FUZZ_CHECK(ostart - 10 == nstart - 10 && std::memcmp(o + 10, n + 10, ostart - 10) == 0);
        std::vector<std::string_view> before, after;
        // Version 4 sizes are plain when the sync-safe reading does not
        // walk cleanly: to the end, or to padding of zero bytes only.
        size_t padding;
        bool plain = old_version == 3 ||
                     (old_version == 4 && !(walk(o + ostart, tagend - ostart, 4, false, before, &padding) &&
                                            std::all_of(o + ostart + padding, o + tagend,
                                                        [](uint8_t c) { return c == 0; })));
        FUZZ_CHECK(walk(o + ostart, tagend - ostart, old_version, plain, before, &padding));
        FUZZ_CHECK(std::all_of(o + ostart + padding, o + tagend, [](uint8_t c) { return c == 0; }));
        // Plain version-4 sizes are written sync-safe.
        bool new_plain = old_version == 3;
        std::vector<std::string> recoded;
        if (plain && !new_plain) {
            for (std::string_view f : before) {
                std::string c(f);
                uint32_t body = static_cast<uint32_t>(c.size() - 10);
                for (int i = 0; i < 4; i++)
                    c[4 + i] = static_cast<char>((body >> (21 - 7 * i)) & 0x7F);
                recoded.push_back(std::move(c));
            }
            before.assign(recoded.begin(), recoded.end());
        }
        FUZZ_CHECK(walk(n + nstart, newtag - nstart, old_version, new_plain, after, &padding));
        frames_end = nstart + padding;
        std::vector<std::string_view> kept, sylts;
        for (std::string_view f : before)
            (is_sylt(f, old_version) ? sylts : kept).push_back(f);
        FUZZ_CHECK(after.size() > kept.size() && is_sylt(after[kept.size()], old_version));
        FUZZ_CHECK(std::equal(kept.begin(), kept.end(), after.begin()));
        // The old SYLT frames follow in order, less at most one.
        std::vector<std::string_view> rest(after.begin() + kept.size() + 1, after.end());
        FUZZ_CHECK(rest.size() == sylts.size() || rest.size() + 1 == sylts.size());
        size_t same = 0;
        while (same < rest.size() && rest[same] == sylts[same])
            same++;
        FUZZ_CHECK(std::equal(rest.begin() + same, rest.end(), sylts.end() - (rest.size() - same)));
    }
    FUZZ_CHECK(frames_end <= newtag);
    FUZZ_CHECK(std::all_of(n + frames_end, n + newtag, [](uint8_t c) { return c == 0; }));
    if (block >= 2 && block <= ID3_MAXBLOCK && audio < size)
        FUZZ_CHECK(newtag - frames_end < block && newtag % block == audio % block);
    else
        FUZZ_CHECK(newtag == frames_end);

    FILE *again = back.open_read(n, nsize);
    Id3Tag r;
    FUZZ_CHECK(id3_init(again, &r) == 1);
    FUZZ_CHECK(id3_readsylt(&r) == 1);
    FUZZ_CHECK(r.syltsize == (int32_t)payload.size() &&
               std::memcmp(r.sylt, payload.data(), payload.size()) == 0);
    FUZZ_CHECK(lrc_fromsylt(&r, 1) == 1);
    FUZZ_CHECK(std::strcmp(r.lrc, text) == 0);
    id3_close(&r);
    std::fclose(again);
    return 0;
}
