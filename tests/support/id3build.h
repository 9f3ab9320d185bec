// ID3v2 tags and MPEG tracks built byte by byte, for the core's and the
// editor's tests and the editor's benchmark (the Python tests share
// id3build.py beside this file).  Bytes are std::string; versions are 2, 3
// and 4; times are milliseconds.
#ifndef LYRASIL_TESTS_ID3BUILD_H
#define LYRASIL_TESTS_ID3BUILD_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "sylt.h"

using Bytes = std::string;

// --- numbers ---

inline Bytes be32(uint32_t v)
{
    return Bytes{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

inline Bytes be24(uint32_t v)
{
    return Bytes{char(v >> 16), char(v >> 8), char(v)};
}

// Seven bits a byte: tag sizes, version-4 frame sizes.
inline Bytes syncsafe(uint32_t v)
{
    return Bytes{char(v >> 21 & 0x7F), char(v >> 14 & 0x7F), char(v >> 7 & 0x7F), char(v & 0x7F)};
}

// --- tags and frames ---

// "ID3", version, revision 0, flags, sync-safe size.
inline Bytes tag_header(int version, int flags, uint32_t size)
{
    return Bytes("ID3") + char(version) + '\0' + char(flags) + syncsafe(size);
}

// A whole tag: header, frames, padding.
inline Bytes make_tag(int version, int flags, const Bytes &frames, size_t padding = 0)
{
    return tag_header(version, flags, frames.size() + padding) + frames + Bytes(padding, '\0');
}

// Frame headers: version 2 (24-bit size), 3 (plain), 4 (sync-safe).
inline Bytes frame2(const char *id, const Bytes &body) { return id + be24(body.size()) + body; }
inline Bytes frame3(const char *id, const Bytes &body) { return id + be32(body.size()) + Bytes(2, '\0') + body; }
inline Bytes frame4(const char *id, const Bytes &body) { return id + syncsafe(body.size()) + Bytes(2, '\0') + body; }

inline Bytes frame_of(int version, const char *id, const Bytes &body)
{
    return version == 2 ? frame2(id, body) : version == 3 ? frame3(id, body) : frame4(id, body);
}

// A text frame body in encoding 0.
inline Bytes text0(const std::string &s) { return Bytes(1, '\0') + s; }

// A picture frame well over 128 bytes, so its size coding is exercised
// (versions 3 and 4).
inline Bytes cover_frame(int version)
{
    Bytes data;
    for (int i = 0; i < 768; ++i)
        data += char(i);
    return frame_of(version, "APIC", Bytes(1, '\0') + Bytes("image/jpeg", 11) + "\x03" + Bytes(1, '\0') + data);
}

// --- SYLT frames ---

// One sync item in a single-byte encoding: text, NUL, plain time.
inline Bytes item(const std::string &text, uint32_t ms) { return text + '\0' + be32(ms); }

// SYLT payload: encoding, "eng", time stamp format, type 1, descriptor.
inline Bytes payload(int enc, int format, const Bytes &descriptor, const Bytes &items)
{
    return Bytes(1, char(enc)) + "eng" + char(format) + '\1' + descriptor + items;
}

inline Bytes payload0(const Bytes &items) { return payload(0, 2, Bytes("d", 2), items); }

// A SYLT frame in milliseconds, encoding 0, of (text, ms) items.
inline Bytes sylt_frame(int version, const std::vector<std::pair<std::string, uint32_t>> &items)
{
    Bytes body;
    for (const auto &i : items)
        body += item(i.first, i.second);
    return frame_of(version, "SYLT", payload0(body));
}

// --- audio and tracks ---

// MPEG-1 layer III frames (128 kbit/s, 44100 Hz: 417 bytes each, a
// header and bytes that look like audio to every reader, never a false
// frame sync), cut to n bytes; by default two whole frames.
inline Bytes audio(size_t n = 2 * 417)
{
    static const char header[4] = {'\xFF', '\xFB', '\x90', '\x64'};
    Bytes a;
    for (size_t i = 0; i < n; ++i)
        a += i % 417 < 4 ? header[i % 417] : char(i * 7);
    return a;
}

// Playable silence: MPEG-1 Layer III, 48 kHz, 64 kbit/s, mono, frames of
// 192 bytes and 24 ms whose side information is all zero (the decoder's
// silence).  The first frame carries an "Info" header with the frame count,
// from which players know the length at once; without it they estimate it
// only while playing.
inline Bytes silent_mp3(int ms, bool infoHeader = true)
{
    const int frames = ms / 24;
    Bytes out;
    for (int f = 0; f < frames; ++f) {
        Bytes frame = Bytes("\xFF\xFB\x54\xC0", 4) + Bytes(188, '\0');
        if (f == 0 && infoHeader) {
            // After the header and the 17 bytes of mono side information.
            frame.replace(21, 12, "Info" + be32(1) + be32(static_cast<uint32_t>(frames - 1)));
        }
        out += frame;
    }
    return out;
}

// A tagged track: title, a cover, the given extra frames, padding, audio.
inline Bytes tagged_track(int version, const Bytes &extra = Bytes())
{
    Bytes frames = frame_of(version, "TIT2", text0("Song")) + cover_frame(version) + extra;
    return make_tag(version, 0, frames, 100) + audio(2000);
}

// --- reading back ---

// A temporary file holding the bytes, positioned at its start.
inline FILE *open_bytes(const Bytes &b)
{
    FILE *fp = tmpfile();
    if (fp == nullptr || fwrite(b.data(), 1, b.size(), fp) != b.size()) {
        perror("open_bytes");
        abort();
    }
    rewind(fp);
    return fp;
}

// What the core reads from a track file.
struct TrackContents {
    bool hasTag = false;
    int version = 0;
    std::string lrc;   // its SYLT frame in the inline form ("" when it has none)
    int encoding = -1; // the SYLT payload's encoding byte
};

inline TrackContents read_track(const Bytes &file)
{
    TrackContents c;
    FILE *fp = open_bytes(file);
    Id3Tag t{};
    c.hasTag = id3_init(fp, &t) != 0;
    c.version = t.version;
    if (c.hasTag && id3_readsylt(&t)) {
        c.encoding = t.sylt[0];
        if (lrc_fromsylt(&t, 1))
            c.lrc = t.lrc;
    }
    id3_close(&t);
    fclose(fp);
    return c;
}

#endif
