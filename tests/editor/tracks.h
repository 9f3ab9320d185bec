// Tracks for the editor's tests, built from bytes: a tag of the wanted
// version with the wanted frames, then a little MPEG audio.  The byte
// builders are the core tests' own.
#ifndef LYRASIL_TESTS_TRACKS_H
#define LYRASIL_TESTS_TRACKS_H

#include <string>
#include <utility>
#include <vector>

#include "helpers.h"
#include "silence.h"

// A frame of the tag's version.
inline Bytes FrameOf(int version, const char* id, const Bytes& body)
{
    return version == 4 ? frame4(id, body) : frame3(id, body);
}

// A picture frame well over 128 bytes, so its size coding is exercised.
inline Bytes CoverFrame(int version)
{
    Bytes data;
    for (int i = 0; i < 768; ++i)
        data += char(i);
    return FrameOf(version, "APIC", Bytes(1, '\0') + Bytes("image/jpeg", 11) + "\x03" + Bytes(1, '\0') + data);
}

// Bytes that look like MPEG audio to every reader (a frame header first).
inline Bytes TrackAudio()
{
    return audio(2000);
}

// A tagged track: title, a cover, the given extra frames, padding, audio.
inline Bytes TaggedTrack(int version, const Bytes& extra = Bytes())
{
    Bytes frames = FrameOf(version, "TIT2", text0("Song")) + CoverFrame(version) + extra;
    return make_tag(version, 0, frames, 100) + TrackAudio();
}

// A SYLT frame in milliseconds, encoding 0, of (text, ms) items.
inline Bytes SyltFrame(int version, const std::vector<std::pair<std::string, uint32_t>>& items)
{
    Bytes body;
    for (const auto& i : items)
        body += item(i.first, i.second);
    return FrameOf(version, "SYLT", payload(0, 2, Bytes("d", 2), body));
}

// What the core reads from a track file: its SYLT frame in the inline form
// ("" when it has none), and its other frames.
struct TrackContents {
    bool hasTag = false;
    int version = 0;
    std::string lrc;          // lrc_fromsylt with word stamps
    int encoding = -1;        // the SYLT payload's encoding byte
};

inline TrackContents ReadTrack(const std::string& file)
{
    TrackContents c;
    FILE* fp = open_bytes(file);
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
