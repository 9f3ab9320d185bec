// Playable silence for the editor's tests and benchmarks.
#ifndef LYRASIL_TESTS_SILENCE_H
#define LYRASIL_TESTS_SILENCE_H

#include <cstdint>
#include <string>

inline std::string Be32(uint32_t v)
{
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// Playable silence: MPEG-1 Layer III, 48 kHz, 64 kbit/s, mono, frames of
// 192 bytes and 24 ms whose side information is all zero (the decoder's
// silence).  The first frame carries an "Info" header with the frame count,
// from which players know the length at once; without it they estimate it
// only while playing.
inline std::string SilentMp3(int ms, bool infoHeader = true)
{
    const std::string header("\xFF\xFB\x54\xC0", 4);
    const int frames = ms / 24;
    std::string out;
    for (int f = 0; f < frames; ++f) {
        std::string frame = header + std::string(188, '\0');
        if (f == 0 && infoHeader) {
            // After the header and the 17 bytes of mono side information.
            frame.replace(21, 12, "Info" + Be32(1) + Be32(static_cast<uint32_t>(frames - 1)));
        }
        out += frame;
    }
    return out;
}

#endif
