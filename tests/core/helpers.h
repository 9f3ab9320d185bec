// Byte builders and stream helpers shared by the core's tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "sylt.h"
#include "textbuffer.h"

using Bytes = std::string;

inline Bytes be32(uint32_t v)
{
    return Bytes{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

inline Bytes syncsafe(uint32_t v)
{
    return Bytes{char(v >> 21 & 0x7F), char(v >> 14 & 0x7F), char(v >> 7 & 0x7F), char(v & 0x7F)};
}

inline Bytes be24(uint32_t v)
{
    return Bytes{char(v >> 16), char(v >> 8), char(v)};
}

// "ID3", version, revision 0, flags, sync-safe size.
inline Bytes tag_header(int version, int flags, uint32_t size)
{
    return Bytes("ID3") + char(version) + '\0' + char(flags) + syncsafe(size);
}

// Frame headers: version 2 (24-bit size), 3 (plain), 4 (sync-safe).
inline Bytes frame2(const char *id, const Bytes &body) { return id + be24(body.size()) + body; }
inline Bytes frame3(const char *id, const Bytes &body) { return id + be32(body.size()) + Bytes(2, '\0') + body; }
inline Bytes frame4(const char *id, const Bytes &body) { return id + syncsafe(body.size()) + Bytes(2, '\0') + body; }

// A whole tag: header, frames, padding.
inline Bytes make_tag(int version, int flags, const Bytes &frames, size_t padding = 0)
{
    return tag_header(version, flags, frames.size() + padding) + frames + Bytes(padding, '\0');
}

// A text frame body in encoding 0.
inline Bytes text0(const std::string &s) { return Bytes(1, '\0') + s; }

// One sync item in a single-byte encoding: text, NUL, plain time.
inline Bytes item(const std::string &text, uint32_t ms) { return text + '\0' + be32(ms); }

// SYLT payload: encoding, "eng", time stamp format, type 1, descriptor.
inline Bytes payload(int enc, int format, const Bytes &descriptor, const Bytes &items)
{
    return Bytes(1, char(enc)) + "eng" + char(format) + '\1' + descriptor + items;
}

inline Bytes payload0(const Bytes &items) { return payload(0, 2, Bytes("d", 2), items); }

// An MPEG-1 layer III frame header (128 kbit/s, 44100 Hz) and some bytes.
inline Bytes audio(size_t n = 64)
{
    Bytes a("\xFF\xFB\x90\x64", 4);
    while (a.size() < n)
        a += char(a.size() * 7);
    return a.substr(0, n);
}

// A temporary file holding the bytes, positioned at its start.
inline FILE *open_bytes(const Bytes &b)
{
    FILE *fp = tmpfile();
    EXPECT_NE(fp, nullptr);
    if (!b.empty()) {
        EXPECT_EQ(fwrite(b.data(), 1, b.size(), fp), b.size());
    }
    rewind(fp);
    return fp;
}

inline Bytes read_all(FILE *fp)
{
    Bytes b;
    char buf[4096];
    size_t n;

    fflush(fp);
    rewind(fp);
    while ((n = fread(buf, 1, sizeof buf, fp)) > 0)
        b.append(buf, n);
    return b;
}

inline Bytes sylt_of(const Id3Tag &t)
{
    return t.sylt ? Bytes(reinterpret_cast<const char *>(t.sylt), t.syltsize) : Bytes();
}

// Every test starts and must end with an empty text buffer.  t is the
// context under test (an empty one to begin with) and track the stream it
// was opened on; both are closed after each test.
class Core : public ::testing::Test {
protected:
    Id3Tag t{};
    FILE *track = nullptr;

    void SetUp() override { txtbuf_Free(); }
    void TearDown() override
    {
        close();
        EXPECT_EQ(txtbuf_Get(), nullptr) << "text buffer left in use";
        txtbuf_Free();
    }
    void close()
    {
        id3_close(&t);
        if (track)
            fclose(track);
        track = nullptr;
    }
    // Closes what an earlier call opened, then opens t on a stream of file.
    int open(const Bytes &file)
    {
        close();
        track = open_bytes(file);
        return id3_init(track, &t);
    }
};
