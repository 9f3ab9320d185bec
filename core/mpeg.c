/*
 * mpeg.c - the first MPEG audio frame after the tag: its duration, for time
 * stamps counted in frames, and whether the track holds MPEG audio at all.
 *
 * A frame header is only believed when the next frame's header stands
 * where its length says: a lone header-like pattern turns up in any large
 * file.  Zero bytes between the tag and the first frame are skipped,
 * however many there are.
 */
#define _POSIX_C_SOURCE 200809L /* fseeko */

#include "internal.h"

#include <assert.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#define MPEG_SCAN 65536 /* bytes searched for the first audio frame */
#define MPEG_MAXFRAME 2881 /* the longest frame: layer II, 160 kbit/s, 8 kHz */
/* A header found in the scan and the one after it must both lie in the
 * block; the longest ADTS frame is 8191 bytes. */
#define SCAN_BLOCK (MPEG_SCAN + 8192 + 8)

/* The audio after the tag as read for the checks. */
typedef struct Audio {
    unsigned char head[8]; /* its first bytes, for other containers' signatures */
    size_t headn;          /* 0: nothing follows the tag */
    unsigned char *block;  /* from its first byte that is not zero */
    size_t n;
    int eof;               /* the block holds the rest of the file */
} Audio;

/* Reads the audio after the tag (and footer) into *a; 0 when the stream
 * cannot be positioned or read or memory runs out (a->block null). */
static int read_audio(FILE *fp, Audio *a)
{
    TagInfo ti;
    size_t skip;
    int r;

    memset(a, 0, sizeof *a);
    r = tag_open(fp, &ti);
    if (fseeko(fp, tag_audiostart(fp, &ti, r != TAG_NONE), SEEK_SET) != 0)
        return 0;
    if ((a->block = malloc(SCAN_BLOCK)) == NULL)
        return 0;
    a->n = fread(a->block, 1, SCAN_BLOCK, fp);
    a->headn = a->n < sizeof a->head ? a->n : sizeof a->head;
    memcpy(a->head, a->block, a->headn);
    for (;;) {
        for (skip = 0; skip < a->n && a->block[skip] == 0; skip++)
            ;
        if (skip < a->n || a->n < SCAN_BLOCK)
            break;
        a->n = fread(a->block, 1, SCAN_BLOCK, fp); /* a block of zeros: on */
    }
    memmove(a->block, a->block + skip, a->n - skip);
    a->n -= skip;
    a->n += fread(a->block + a->n, 1, SCAN_BLOCK - a->n, fp);
    a->eof = feof(fp);
    if (ferror(fp)) {
        free(a->block); /* the stream keeps its error: the caller can tell */
        a->block = NULL;
        return 0;
    }
    return 1;
}

/* An MPEG audio frame header: its duration as samples / rate, and its
 * length in bytes (0 for the free format, whose frames do not say). */
typedef struct Header {
    uint32_t samples, rate;
    size_t length;
} Header;

/* Decodes the 4 bytes at h; 0 when they are no MPEG audio frame header
 * (reserved version, layer, rate, emphasis, or the bit rate index 15). */
static int mpeg_header(const unsigned char *h, Header *out)
{
    static const uint16_t kbps[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
    };
    static const uint32_t rates[3] = {44100, 48000, 32000};
    int version = h[1] >> 3 & 3; /* 0: MPEG-2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1 */
    int layer = 3 - (h[1] >> 1 & 3); /* 0: I, 1: II, 2: III; 3: reserved */
    int bitrate = h[2] >> 4, pad = h[2] >> 1 & 1, lsf = version != 3;
    uint32_t bps;

    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || version == 1 || layer == 3 || bitrate == 15 ||
        (h[2] >> 2 & 3) == 3 || (h[3] & 3) == 2)
        return 0;
    out->rate = rates[h[2] >> 2 & 3] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    out->samples = layer == 0 ? 384 : layer == 1 || !lsf ? 1152 : 576;
    bps = kbps[lsf][layer][bitrate] * 1000u;
    if (layer == 0)
        out->length = (12 * bps / out->rate + pad) * 4;
    else
        out->length = (layer == 2 && lsf ? 72 : 144) * bps / out->rate + pad;
    return 1;
}

/* The length of an AAC frame in ADTS whose header starts at h (7 bytes
 * available): the MPEG sync with the layer bits 00; 0 when none does. */
static size_t adts_length(const unsigned char *h)
{
    size_t length = (size_t)(h[3] & 3) << 11 | (size_t)h[4] << 3 | h[5] >> 5;

    if (h[0] != 0xFF || (h[1] & 0xF6) != 0xF0 || (h[2] >> 2 & 15) > 12 || length < 7)
        return 0;
    return length;
}

/* Whether the frame whose header is at p[i] (h) is followed by another of
 * the same stream: a header of the same version, layer and rate where its
 * length says, or anywhere in the next few kilobytes for the free format;
 * or the file ends right after it. */
static int frame_confirmed(const Audio *a, size_t i, const Header *h)
{
    const unsigned char *p = a->block;
    Header next;
    size_t j, end;

    if (h->length == 0) {
        end = i + MPEG_MAXFRAME + 4 < a->n ? i + MPEG_MAXFRAME + 4 : a->n;
        for (j = i + 4; j + 4 <= end; j++)
            if (p[j] == 0xFF && (p[j + 1] & 0xFE) == (p[i + 1] & 0xFE) &&
                (p[j + 2] & 0xFC) == (p[i + 2] & 0xFC) && (p[j + 3] & 3) != 2)
                return 1;
        return 0;
    }
    j = i + h->length;
    if (j == a->n)
        return a->eof; /* a track of one frame */
    return j + 4 <= a->n && mpeg_header(p + j, &next) &&
           (p[j + 1] & 0x1E) == (p[i + 1] & 0x1E) && (p[j + 2] & 0x0C) == (p[i + 2] & 0x0C);
}

enum { SCAN_NONE, SCAN_MPEG, SCAN_ADTS };

/* The first frame in the first MPEG_SCAN bytes of the block that another
 * frame confirms: MPEG audio (its header in *h) or AAC in ADTS. */
static int scan(const Audio *a, Header *h)
{
    const unsigned char *p = a->block;
    size_t i, len, end = a->n < MPEG_SCAN ? a->n : MPEG_SCAN;

    for (i = 0; i + 4 <= end; i++) {
        if (p[i] != 0xFF)
            continue;
        if (i + 7 <= a->n && (len = adts_length(p + i)) > 0 && i + len + 7 <= a->n &&
            adts_length(p + i + len) > 0)
            return SCAN_ADTS;
        if (mpeg_header(p + i, h) && frame_confirmed(a, i, h))
            return SCAN_MPEG;
    }
    return SCAN_NONE;
}

int mpeg_frame(FILE *fp, uint32_t *samples, uint32_t *rate)
{
    Audio a;
    Header h;
    size_t i;
    int found = 0;

    if (fp == NULL || !read_audio(fp, &a))
        return 0;
    if (scan(&a, &h) == SCAN_MPEG) {
        found = 1;
    } else {
        /* Reading only: a lone header still tells the frame duration. */
        for (i = 0; !found && i + 4 <= a.n && i < MPEG_SCAN; i++)
            found = mpeg_header(a.block + i, &h);
    }
    if (found) {
        *samples = h.samples;
        *rate = h.rate;
    }
    free(a.block);
    return found;
}

/* Whether the audio starts with the signature of another container, one
 * that could hold MPEG audio or a stray frame-sync pattern. */
static int foreign_container(const Audio *a)
{
    static const struct {
        size_t at, len;
        const char *magic;
    } sigs[] = {
        {0, 4, "RIFF"}, {0, 4, "RF64"},   /* WAV, AVI */
        {0, 4, "fLaC"}, {0, 4, "OggS"},
        {4, 4, "ftyp"},                   /* MP4 and its relatives */
        {0, 4, "FORM"},                   /* AIFF, AIFC */
        {0, 4, "MAC "},                   /* APE */
        {0, 4, "wvpk"},                   /* WavPack */
        {0, 4, "\x1A\x45\xDF\xA3"},       /* Matroska, WebM */
        {0, 8, "\x30\x26\xB2\x75\x8E\x66\xCF\x11"}, /* ASF: WMA, WMV */
        {0, 4, "MThd"},                   /* MIDI */
        {0, 4, ".snd"},                   /* AU */
        {0, 4, "caff"},                   /* CAF */
        {0, 4, "MPCK"}, {0, 3, "MP+"},    /* Musepack */
        {0, 4, "TTA1"},                   /* TTA */
    };
    size_t i;

    for (i = 0; i < sizeof sigs / sizeof sigs[0]; i++)
        if (a->headn >= sigs[i].at + sigs[i].len &&
            memcmp(a->head + sigs[i].at, sigs[i].magic, sigs[i].len) == 0)
            return 1;
    return 0;
}

int id3_ismpeg(Id3Tag *id3)
{
    Audio a;
    Header h;
    int mpeg;

    assert(id3 != NULL);
    assert(id3->fp != NULL);
    errno = 0;
    if (!read_audio(id3->fp, &a)) {
        id3->reason = !ferror(id3->fp) && errno == ENOMEM ? ID3_ENOMEM : ID3_EREAD;
        return 0;
    }
    if (a.headn == 0)
        mpeg = 1; /* a tag and nothing else */
    else
        mpeg = !foreign_container(&a) && scan(&a, &h) == SCAN_MPEG;
    free(a.block);
    id3->reason = mpeg ? ID3_OK : ID3_ENOTMPEG;
    return mpeg;
}
