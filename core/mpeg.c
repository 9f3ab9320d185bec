/*
 * mpeg.c - the first MPEG audio frame after the tag: its duration, for time
 * stamps counted in frames, and whether the track holds MPEG audio at all.
 */
#define _POSIX_C_SOURCE 200809L /* fseeko */

#include "internal.h"

#include <assert.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#define MPEG_SCAN 65536 /* bytes searched for the first audio frame */

/* Reads up to MPEG_SCAN bytes from the start of the audio (after the tag
 * and footer) into a new block *block; returns how many, or -1 when the
 * stream cannot be positioned or read or memory runs out (*block null). */
static long read_audio_start(FILE *fp, unsigned char **block)
{
    TagInfo ti;
    size_t n;
    int r;

    *block = NULL;
    r = tag_open(fp, &ti);
    if (fseeko(fp, tag_audiostart(fp, &ti, r != TAG_NONE), SEEK_SET) != 0)
        return -1;
    *block = malloc(MPEG_SCAN);
    if (*block == NULL)
        return -1;
    n = fread(*block, 1, MPEG_SCAN, fp);
    if (ferror(fp)) {
        free(*block); /* the stream keeps its error: the caller can tell */
        *block = NULL;
        return -1;
    }
    return (long)n;
}

/* The first MPEG audio frame header among n bytes at p: its duration as
 * samples / rate. */
static int find_frame_header(const unsigned char *p, size_t n, uint32_t *samples, uint32_t *rate)
{
    static const uint32_t rates[3] = {44100, 48000, 32000};
    size_t i;
    int version, layer;

    for (i = 0; i + 3 < n; i++) {
        const unsigned char *h = p + i;
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
            continue;
        version = h[1] >> 3 & 3;   /* 0: MPEG-2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1 */
        layer = h[1] >> 1 & 3;     /* 1: III, 2: II, 3: I */
        if (version == 1 || layer == 0 || (h[2] >> 4) == 15 || (h[2] >> 2 & 3) == 3)
            continue;
        *rate = rates[h[2] >> 2 & 3] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
        *samples = layer == 3 ? 384 : layer == 2 || version == 3 ? 1152 : 576;
        return 1;
    }
    return 0;
}

int mpeg_frame(FILE *fp, uint32_t *samples, uint32_t *rate)
{
    unsigned char *block;
    long n;
    int found;

    if (fp == NULL)
        return 0;
    n = read_audio_start(fp, &block);
    found = n > 0 && find_frame_header(block, (size_t)n, samples, rate);
    free(block);
    return found;
}

int id3_ismpeg(Id3Tag *id3)
{
    /* Containers whose audio could hold a stray frame-sync pattern. */
    static const char *const foreign[3] = {"RIFF", "fLaC", "OggS"};
    uint32_t samples, rate;
    unsigned char *block;
    long n;
    int i, mpeg;

    assert(id3 != NULL);
    assert(id3->fp != NULL);
    n = read_audio_start(id3->fp, &block);
    if (n < 0) {
        id3->reason = !ferror(id3->fp) && errno == ENOMEM ? ID3_ENOMEM : ID3_EREAD;
        return 0;
    }
    mpeg = n == 0; /* a tag and nothing else */
    if (n > 0) {
        mpeg = find_frame_header(block, (size_t)n, &samples, &rate);
        for (i = 0; i < 3; i++)
            if (n >= 4 && memcmp(block, foreign[i], 4) == 0)
                mpeg = 0;
        if (n >= 8 && memcmp(block + 4, "ftyp", 4) == 0)
            mpeg = 0; /* MP4 and its relatives */
    }
    free(block);
    id3->reason = mpeg ? ID3_OK : ID3_ENOTMPEG;
    return mpeg;
}
