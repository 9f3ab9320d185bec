// The core tests' fixture and stream helpers; the byte builders are the
// shared ones of tests/support.
#pragma once

#include <cstdio>

#include <gtest/gtest.h>

#include "id3build.h"
#include "sylt.h"
#include "textbuffer.h"

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
