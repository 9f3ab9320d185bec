/*
 * sylt.c - ID3v2 tags, SYLT frames and LRC text.
 *
 * Reading is layered so that no layer reads past what it checked:
 *   1. the tag header (tag_open): magic, version, flags, sync-safe size,
 *      extended header, file length;
 *   2. the frame walk (walk_next), shared by reading and copying: one frame
 *      header at a time, each checked against the tag's end and the file's;
 *   3. frame bodies, which work on bytes and a length only; text encodings
 *      are decoded to UTF-8 once, at this boundary.
 */
#define _POSIX_C_SOURCE 200809L /* getline, fseeko, ftello */

#include "sylt.h"
#include "textbuffer.h"

#include <assert.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>

#define SYNCSAFE_MAX 0x0FFFFFFF     /* largest value of a sync-safe field */
#define DESCRIPTOR "Quorvane Lyrasil"
#define COPY_BLOCK 65536
#define MPEG_SCAN 65536             /* bytes searched for the first audio frame */
#define OFF_UNKNOWN ((off_t)INT64_MAX)

static unsigned char CopyBlock[COPY_BLOCK];

/* ------------------------------------------------------------------ */
/* Integer codings                                                     */
/* ------------------------------------------------------------------ */

static uint32_t getint24(const unsigned char *p)
{
    return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
}

/* Sync-safe: the low seven bits of each byte; plain: big-endian. */
static uint32_t getint32(const unsigned char *p, int syncsafe)
{
    if (syncsafe)
        return (uint32_t)(p[0] & 0x7F) << 21 | (uint32_t)(p[1] & 0x7F) << 14 |
               (uint32_t)(p[2] & 0x7F) << 7 | (uint32_t)(p[3] & 0x7F);
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

static void setint32(unsigned char *p, uint32_t v, int syncsafe)
{
    if (syncsafe) {
        p[0] = (v >> 21) & 0x7F;
        p[1] = (v >> 14) & 0x7F;
        p[2] = (v >> 7) & 0x7F;
        p[3] = v & 0x7F;
    } else {
        p[0] = (v >> 24) & 0xFF;
        p[1] = (v >> 16) & 0xFF;
        p[2] = (v >> 8) & 0xFF;
        p[3] = v & 0xFF;
    }
}

/* ------------------------------------------------------------------ */
/* Layer 1: the tag header                                             */
/* ------------------------------------------------------------------ */

enum { TAG_NONE, TAG_UNSUPPORTED, TAG_BAD, TAG_OK };

typedef struct TagInfo {
    unsigned char header[10];
    uint8_t version, flags;
    int32_t size;        /* bytes after the header */
    off_t frames;        /* offset of the first frame */
    off_t end;           /* offset just past the tag: 10 + size */
    off_t fileend;       /* length of the file, or OFF_UNKNOWN */
} TagInfo;

static int read_at(FILE *fp, off_t pos, void *buf, size_t n)
{
    return fseeko(fp, pos, SEEK_SET) == 0 && fread(buf, 1, n, fp) == n;
}

/* Reads the tag header at the start of fp.  TAG_NONE: no "ID3" (or fewer
 * than 10 bytes); TAG_UNSUPPORTED: a version other than 2, 3 or 4; TAG_BAD:
 * an extended header that does not fit in the tag; TAG_OK otherwise. */
static int tag_open(FILE *fp, TagInfo *ti)
{
    unsigned char ext[4];
    int64_t extlen;

    memset(ti, 0, sizeof *ti);
    ti->fileend = OFF_UNKNOWN;
    if (fseeko(fp, 0, SEEK_END) == 0) {
        off_t len = ftello(fp);
        if (len >= 0)
            ti->fileend = len;
    }
    if (!read_at(fp, 0, ti->header, 10) || memcmp(ti->header, "ID3", 3) != 0)
        return TAG_NONE;
    ti->version = ti->header[3];
    ti->flags = ti->header[5];
    ti->size = (int32_t)getint32(ti->header + 6, 1);
    ti->frames = 10;
    ti->end = 10 + (off_t)ti->size;
    if (ti->version < 2 || ti->version > 4)
        return TAG_UNSUPPORTED;
    if (ti->version > 2 && (ti->flags & 0x40)) {
        if (ti->size < 4 || !read_at(fp, 10, ext, 4))
            return TAG_BAD;
        if (ti->version == 3) /* the size field counts the bytes after it */
            extlen = 4 + (int64_t)getint32(ext, 0);
        else                  /* version 4: it counts itself, sync-safe */
            extlen = getint32(ext, 1);
        if (extlen < 4 || extlen > ti->size)
            return TAG_BAD;
        ti->frames = 10 + (off_t)extlen;
    }
    return TAG_OK;
}

/* Where the audio starts: after the tag and, in version 4, its footer. */
static off_t audio_start(FILE *fp, const TagInfo *ti, int found)
{
    unsigned char footer[3];

    if (!found)
        return 0;
    if (ti->version == 4 && (ti->flags & 0x10) &&
        read_at(fp, ti->end, footer, 3) && memcmp(footer, "3DI", 3) == 0)
        return ti->end + 10;
    return ti->end;
}

/* ------------------------------------------------------------------ */
/* Layer 2: the frame walk                                             */
/* ------------------------------------------------------------------ */

enum { W_FRAME, W_PADDING, W_END, W_BAD };

typedef struct Walk {
    FILE *fp;
    int version;
    int plain;           /* version 4 only: plain 32-bit frame sizes */
    off_t pos, end, fileend;
} Walk;

typedef struct Frame {
    unsigned char header[10];
    int hdrlen;          /* 6 in version 2, 10 otherwise */
    char id[5];
    uint32_t size;       /* payload bytes */
    off_t body;          /* offset of the payload */
} Frame;

static void walk_init(Walk *w, FILE *fp, const TagInfo *ti, int plain)
{
    w->fp = fp;
    w->version = ti->version;
    w->plain = plain;
    w->pos = ti->frames;
    w->end = ti->end;
    w->fileend = ti->fileend;
}

static int valid_id(const unsigned char *p, int n)
{
    int i;

    for (i = 0; i < n; i++)
        if (!((p[i] >= 'A' && p[i] <= 'Z') || (p[i] >= '0' && p[i] <= '9')))
            return 0;
    return 1;
}

/* Reads the next frame header.  W_FRAME: *f describes a frame whose payload
 * lies inside the tag and the file; W_PADDING: a zero identifier; W_END: the
 * tag's exact end; W_BAD: anything else (short read, bad identifier, a size
 * that is negative or runs past the tag or the file). */
static int walk_next(Walk *w, Frame *f)
{
    int idlen = w->version == 2 ? 3 : 4;
    int i, zero = 1;
    off_t left = w->end - w->pos;
    size_t n;
    int64_t size;

    if (left == 0)
        return W_END;
    if (left < 0)
        return W_BAD;
    f->hdrlen = w->version == 2 ? 6 : 10;
    n = left < f->hdrlen ? (size_t)left : (size_t)f->hdrlen;
    if (!read_at(w->fp, w->pos, f->header, n))
        return W_BAD;
    for (i = 0; i < idlen && (size_t)i < n; i++)
        if (f->header[i] != 0)
            zero = 0;
    if (zero)
        return W_PADDING;
    if (n < (size_t)f->hdrlen || !valid_id(f->header, idlen))
        return W_BAD;
    memcpy(f->id, f->header, idlen);
    f->id[idlen] = '\0';
    if (w->version == 2) {
        size = getint24(f->header + 3);
    } else if (w->version == 3 || w->plain) {
        size = getint32(f->header + 4, 0);
        if (size > INT32_MAX)
            return W_BAD; /* negative as a signed size */
    } else {
        for (i = 4; i < 8; i++)
            if (f->header[i] & 0x80)
                return W_BAD; /* not a sync-safe integer */
        size = getint32(f->header + 4, 1);
    }
    f->body = w->pos + f->hdrlen;
    if (size > w->end - f->body || size > w->fileend - f->body)
        return W_BAD;
    f->size = (uint32_t)size;
    w->pos = f->body + (off_t)size;
    return W_FRAME;
}

/* Whether the frames walk cleanly to padding or to the tag's exact end. */
static int walk_clean(FILE *fp, const TagInfo *ti, int plain)
{
    Walk w;
    Frame f;
    int r;

    walk_init(&w, fp, ti, plain);
    while ((r = walk_next(&w, &f)) == W_FRAME)
        ;
    return r != W_BAD;
}

static int is_sylt(int version, const Frame *f)
{
    return strcmp(f->id, version == 2 ? "SLT" : "SYLT") == 0;
}

/* ------------------------------------------------------------------ */
/* Layer 3: text encodings                                             */
/* ------------------------------------------------------------------ */

enum { ENC_LATIN1, ENC_UTF16, ENC_UTF16BE, ENC_UTF8 };

typedef struct Str {
    char *p;
    size_t len, cap;
} Str;

static int str_reserve(Str *s, size_t extra)
{
    size_t cap;
    char *p;

    if (extra < s->cap - s->len)
        return 1;
    if (extra >= SIZE_MAX / 2 - s->len)
        return 0;
    cap = s->cap ? s->cap : 64;
    while (cap <= s->len + extra)
        cap *= 2;
    p = realloc(s->p, cap);
    if (p == NULL)
        return 0;
    s->p = p;
    s->cap = cap;
    return 1;
}

static void str_putcp(Str *s, uint32_t cp) /* room for 4 bytes reserved */
{
    char *d = s->p + s->len;

    if (cp < 0x80) {
        d[0] = (char)cp;
        s->len += 1;
    } else if (cp < 0x800) {
        d[0] = (char)(0xC0 | cp >> 6);
        d[1] = (char)(0x80 | (cp & 0x3F));
        s->len += 2;
    } else if (cp < 0x10000) {
        d[0] = (char)(0xE0 | cp >> 12);
        d[1] = (char)(0x80 | (cp >> 6 & 0x3F));
        d[2] = (char)(0x80 | (cp & 0x3F));
        s->len += 3;
    } else {
        d[0] = (char)(0xF0 | cp >> 18);
        d[1] = (char)(0x80 | (cp >> 12 & 0x3F));
        d[2] = (char)(0x80 | (cp >> 6 & 0x3F));
        d[3] = (char)(0x80 | (cp & 0x3F));
        s->len += 4;
    }
}

/* Decodes one UTF-8 sequence at p (n bytes available).  Returns its length
 * and stores the code point, or returns 0 for an invalid sequence (overlong
 * forms, surrogates and values above U+10FFFF included). */
static size_t utf8_next(const unsigned char *p, size_t n, uint32_t *cp)
{
    size_t len, i;
    uint32_t c, min;

    if (p[0] < 0x80) {
        *cp = p[0];
        return 1;
    }
    if (p[0] >= 0xC2 && p[0] <= 0xDF)
        len = 2, c = p[0] & 0x1F, min = 0x80;
    else if (p[0] >= 0xE0 && p[0] <= 0xEF)
        len = 3, c = p[0] & 0x0F, min = 0x800;
    else if (p[0] >= 0xF0 && p[0] <= 0xF4)
        len = 4, c = p[0] & 0x07, min = 0x10000;
    else
        return 0;
    if (n < len)
        return 0;
    for (i = 1; i < len; i++) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (p[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *cp = c;
    return len;
}

static int utf8_valid(const unsigned char *p, size_t n)
{
    uint32_t cp;
    size_t k;

    while (n > 0) {
        k = utf8_next(p, n, &cp);
        if (k == 0)
            return 0;
        p += k;
        n -= k;
    }
    return 1;
}

static int is_wide(int enc)
{
    return enc == ENC_UTF16 || enc == ENC_UTF16BE;
}

/* Length of the string at p (n bytes available) up to its terminator: one
 * zero byte, or two at an even offset in UTF-16.  n when there is none. */
static size_t term_find(int enc, const unsigned char *p, size_t n)
{
    size_t i;
    const unsigned char *z;

    if (!is_wide(enc)) {
        z = memchr(p, 0, n);
        return z ? (size_t)(z - p) : n;
    }
    for (i = 0; i + 1 < n; i += 2)
        if (p[i] == 0 && p[i + 1] == 0)
            return i;
    return n;
}

/* Decodes n bytes (no terminator) of the given encoding into s, replacing
 * its contents, and NUL-terminates it.  *bigendian carries the byte order
 * of the last byte order mark from string to string.  Returns 0 only when
 * memory runs out. */
static int decode(int enc, const unsigned char *p, size_t n, int *bigendian, Str *s)
{
    size_t i;

    s->len = 0;
    if (n > (SIZE_MAX - 8) / 3 || !str_reserve(s, n / 2 * 3 + n + 8))
        return 0;
    if (!is_wide(enc)) {
        /* Encoding 0 (and unknown ones) holding valid UTF-8 is taken as
         * UTF-8: earlier versions of this program wrote such frames.  UTF-8
         * that is not valid is taken as ISO-8859-1, so every text decodes. */
        if (utf8_valid(p, n)) {
            memcpy(s->p, p, n);
            s->len = n;
        } else {
            for (i = 0; i < n; i++)
                str_putcp(s, p[i]);
        }
    } else {
        int be = *bigendian;
        uint32_t u, v;

        i = 0;
        if (n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
            be = p[0] == 0xFE;
            i = 2;
        }
        if (enc == ENC_UTF16BE)
            be = 1;
        else
            *bigendian = be;
        for (; i + 1 < n; i += 2) {
            u = be ? (uint32_t)p[i] << 8 | p[i + 1] : (uint32_t)p[i + 1] << 8 | p[i];
            if (u >= 0xD800 && u <= 0xDBFF && i + 3 < n) {
                v = be ? (uint32_t)p[i + 2] << 8 | p[i + 3]
                       : (uint32_t)p[i + 3] << 8 | p[i + 2];
                if (v >= 0xDC00 && v <= 0xDFFF) {
                    str_putcp(s, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                    i += 2;
                    continue;
                }
            }
            if (u >= 0xD800 && u <= 0xDFFF)
                u = 0xFFFD; /* lone surrogate */
            str_putcp(s, u);
        }
        if (i < n)
            str_putcp(s, 0xFFFD); /* odd trailing byte */
    }
    s->p[s->len] = '\0';
    return 1;
}

/* A text frame's body: encoding byte, then the text up to its terminator. */
static char *decode_textframe(const unsigned char *body, size_t n)
{
    Str s = {NULL, 0, 0};
    int be = 0;
    int enc;
    size_t len;

    if (n == 0)
        return NULL;
    enc = body[0];
    len = term_find(enc, body + 1, n - 1);
    if (!decode(enc, body + 1, len, &be, &s)) {
        free(s.p);
        return NULL;
    }
    return s.p;
}

/* ------------------------------------------------------------------ */
/* Opening, closing, reading the SYLT frame                            */
/* ------------------------------------------------------------------ */

int id3_init(FILE *fp, Id3Tag *id3)
{
    TagInfo ti;
    int r;

    assert(id3 != NULL);
    memset(id3, 0, sizeof *id3);
    id3->fp = fp;
    if (fp == NULL)
        return 0;
    r = tag_open(fp, &ti);
    if (r == TAG_NONE)
        return 0;
    id3->version = ti.version;
    id3->flags = ti.flags;
    id3->size = ti.size;
    if (r != TAG_OK || ti.size == 0)
        return 0;
    /* Earlier versions of this program wrote version-4 frame sizes as plain
     * integers: take them so only when the sync-safe walk fails and the
     * plain one lands cleanly. */
    if (ti.version == 4 && !walk_clean(fp, &ti, 0) && walk_clean(fp, &ti, 1))
        id3->plainsizes = 1;
    return fseeko(fp, ti.frames, SEEK_SET) == 0;
}

void id3_close(Id3Tag *id3)
{
    assert(id3 != NULL);
    free(id3->sylt);
    id3->sylt = NULL;
    free(id3->lrc);
    id3->lrc = NULL;
    free(id3->title);
    id3->title = NULL;
    free(id3->artist);
    id3->artist = NULL;
    free(id3->album);
    id3->album = NULL;
}

static unsigned char *read_body(FILE *fp, const Frame *f)
{
    unsigned char *body = malloc(f->size ? f->size : 1);

    if (body != NULL && !read_at(fp, f->body, body, f->size)) {
        free(body);
        body = NULL;
    }
    return body;
}

static char **text_field(Id3Tag *id3, int version, const Frame *f)
{
    static const char *const ids[2][3] = {
        {"TT2", "TP1", "TAL"},
        {"TIT2", "TPE1", "TALB"},
    };
    const char *const *row = ids[version == 2 ? 0 : 1];

    if (strcmp(f->id, row[0]) == 0)
        return &id3->title;
    if (strcmp(f->id, row[1]) == 0)
        return &id3->artist;
    if (strcmp(f->id, row[2]) == 0)
        return &id3->album;
    return NULL;
}

int id3_readsylt(Id3Tag *id3)
{
    TagInfo ti;
    Walk w;
    Frame f;
    char **field;
    unsigned char *body;
    char *text;

    assert(id3 != NULL);
    assert(id3->fp != NULL);
    assert(id3->version >= 2 && id3->version <= 4 && id3->size > 0);
    if (tag_open(id3->fp, &ti) != TAG_OK)
        return 0;
    walk_init(&w, id3->fp, &ti, ti.version == 4 && id3->plainsizes);
    while (walk_next(&w, &f) == W_FRAME) {
        if (is_sylt(ti.version, &f)) {
            body = read_body(id3->fp, &f);
            if (body == NULL)
                return 0;
            free(id3->sylt);
            id3->sylt = body;
            id3->syltsize = (int32_t)f.size;
            return 1;
        }
        field = text_field(id3, ti.version, &f);
        if (field == NULL || f.size == 0) /* a text frame of size 0 has no text */
            continue;
        body = read_body(id3->fp, &f);
        if (body == NULL)
            return 0;
        text = decode_textframe(body, f.size);
        free(body);
        if (text != NULL) {
            free(*field);
            *field = text;
        }
    }
    return 0;
}

/* ------------------------------------------------------------------ */
/* Time stamps                                                         */
/* ------------------------------------------------------------------ */

static int is_blank(int c)
{
    return c >= 1 && c <= 32;
}

static int is_digit(int c)
{
    return c >= '0' && c <= '9';
}

/* "[mm:ss.xx]" or "<mm:ss.xx>"; the empty stamp for times without one. */
static void compose_stamp(char *out, size_t n, int32_t t, int line)
{
    int64_t h;

    if (t < 0 || t == ID3_NOTIME) {
        snprintf(out, n, "%s", line ? "[]" : "<>");
        return;
    }
    h = ((int64_t)t + 5) / 10;
    snprintf(out, n, line ? "[%02d:%02d.%02d]" : "<%02d:%02d.%02d>",
             (int)(h / 6000), (int)(h / 100 % 60), (int)(h % 100));
}

/* Reads decimal digits, saturating far above any valid time. */
static const char *read_digits(const char *p, int64_t *value)
{
    *value = 0;
    for (; is_digit((unsigned char)*p); p++)
        if (*value < 1000000000000LL)
            *value = *value * 10 + (*p - '0');
    return p;
}

int lrc_timestamp(const char *ptr, int32_t *time)
{
    const char *p = ptr;
    char close;
    int64_t minutes, seconds, fraction = 0, ms;
    int negative = 0, n;

    assert(ptr != NULL);
    if (*p == '[')
        close = ']';
    else if (*p == '<')
        close = '>';
    else
        return 0;
    p++;
    if (!is_digit((unsigned char)*p))
        return 0;
    p = read_digits(p, &minutes);
    while (is_blank((unsigned char)*p))
        p++;
    if (*p++ != ':')
        return 0;
    /* The seconds follow strtol's rules: leading white space and a sign. */
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (!is_digit((unsigned char)*p))
        return 0;
    p = read_digits(p, &seconds);
    if (negative)
        seconds = -seconds;
    while (is_blank((unsigned char)*p))
        p++;
    if (*p == '.') {
        /* Only the digits right after the point count; the first three
         * give the milliseconds, further ones are cut off. */
        for (p++, n = 0; is_digit((unsigned char)*p); p++, n++)
            if (n < 3)
                fraction = fraction * 10 + (*p - '0');
        for (; n < 3; n++)
            fraction *= 10;
        while (is_blank((unsigned char)*p))
            p++;
    } else if (seconds < 0 || seconds > 59) {
        return 0;
    }
    if (*p != close)
        return 0;
    ms = minutes * 60000 + seconds * 1000 + fraction;
    if (ms < 0 || ms >= ID3_NOTIME)
        return 0; /* no time stamp can say this */
    if (time != NULL)
        *time = (int32_t)ms;
    return 1;
}

/* Length of the stamp (valid or empty) starting at s, 0 when none does;
 * its time through *time. */
static size_t stamp_at(const char *s, int32_t *time)
{
    const char *close;

    if ((s[0] == '[' && s[1] == ']') || (s[0] == '<' && s[1] == '>')) {
        *time = ID3_NOTIME;
        return 2;
    }
    if (!lrc_timestamp(s, time))
        return 0;
    close = strchr(s, s[0] == '[' ? ']' : '>');
    return (size_t)(close - s) + 1;
}

/* ------------------------------------------------------------------ */
/* MPEG audio frames, for time stamps counted in frames                */
/* ------------------------------------------------------------------ */

/* Reads up to MPEG_SCAN bytes from the start of the audio (after the tag
 * and footer) into CopyBlock; returns how many, or -1 when the stream
 * cannot be positioned or read. */
static long read_audio_start(FILE *fp)
{
    TagInfo ti;
    size_t n;
    int r;

    r = tag_open(fp, &ti);
    if (fseeko(fp, audio_start(fp, &ti, r != TAG_NONE), SEEK_SET) != 0)
        return -1;
    n = fread(CopyBlock, 1, MPEG_SCAN, fp);
    if (ferror(fp)) {
        clearerr(fp);
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

/* Finds the first MPEG audio frame header after the tag and gives the
 * duration of one frame as samples / rate. */
static int mpeg_frame(FILE *fp, uint32_t *samples, uint32_t *rate)
{
    long n;

    if (fp == NULL)
        return 0;
    n = read_audio_start(fp);
    return n > 0 && find_frame_header(CopyBlock, (size_t)n, samples, rate);
}

int id3_ismpeg(Id3Tag *id3)
{
    /* Containers whose audio could hold a stray frame-sync pattern. */
    static const char *const foreign[3] = {"RIFF", "fLaC", "OggS"};
    uint32_t samples, rate;
    long n;
    int i;

    assert(id3 != NULL);
    assert(id3->fp != NULL);
    n = read_audio_start(id3->fp);
    if (n < 0)
        return 0;
    if (n == 0)
        return 1; /* a tag and nothing else */
    for (i = 0; i < 3; i++)
        if (n >= 4 && memcmp(CopyBlock, foreign[i], 4) == 0)
            return 0;
    if (n >= 8 && memcmp(CopyBlock + 4, "ftyp", 4) == 0)
        return 0; /* MP4 and its relatives */
    return find_frame_header(CopyBlock, (size_t)n, &samples, &rate);
}

/* ------------------------------------------------------------------ */
/* SYLT payload to LRC text                                            */
/* ------------------------------------------------------------------ */

/* Moves the text buffer's string into a new block for *field. */
static int take_buffer(char **field)
{
    const char *text = txtbuf_Get() ? txtbuf_Get() : "";
    size_t n = strlen(text) + 1;
    char *block = malloc(n);

    if (block != NULL) {
        memcpy(block, text, n);
        free(*field);
        *field = block;
    }
    txtbuf_Free();
    return block != NULL;
}

static int fromsylt(Id3Tag *id3, int wordstamps, Str *s)
{
    const unsigned char *p = id3->sylt;
    size_t n, pos, len, at;
    int enc, frames, bigendian = 0, linestart = 1;
    uint32_t samples = 0, rate = 0, raw;
    int32_t t;
    char stamp[32];
    const char *text;
    const char *marker;

    if (p == NULL || id3->syltsize <= 6)
        return 0;
    n = (size_t)id3->syltsize;
    enc = p[0];
    /* Format 1 counts MPEG frames: mutagen, among others, writes it by
     * default.  Every other format is taken as milliseconds. */
    frames = p[4] == 1;
    if (frames && !mpeg_frame(id3->fp, &samples, &rate))
        return 0;
    len = term_find(enc, p + 6, n - 6);
    if (len == n - 6)
        return 0;
    if (!decode(enc, p + 6, len, &bigendian, s)) /* sets the byte order */
        return 0;
    pos = 6 + len + (is_wide(enc) ? 2 : 1);
    while (pos < n) {
        len = term_find(enc, p + pos, n - pos);
        if (len == n - pos)
            return 0;
        at = pos + len + (is_wide(enc) ? 2 : 1);
        if (n - at < 4)
            return 0;
        raw = getint32(p + at, 0);
        if (raw == ID3_NOTIME || raw > INT32_MAX) {
            t = ID3_NOTIME; /* negative times have no text form */
        } else if (frames) {
            int64_t ms = ((int64_t)raw * samples * 1000 + rate / 2) / rate;
            t = ms >= ID3_NOTIME ? ID3_NOTIME : (int32_t)ms;
        } else {
            t = (int32_t)raw;
        }
        if (!decode(enc, p + pos, len, &bigendian, s))
            return 0;
        pos = at + 4;

        text = s->p;
        while (*text == '\n' || *text == '\r') {
            if (!txtbuf_AppendBytes(text, 1))
                return 0;
            linestart = 1;
            text++;
        }
        marker = "";
        if (!wordstamps) {
            if (!linestart) {
                if (!txtbuf_Append("\n"))
                    return 0;
                if ((unsigned char)*text > 32 && *text != '-')
                    marker = "_";
                linestart = 1;
            } else if (*text == ' ' || *text == '-' || *text == '_') {
                marker = "#";
            }
        }
        compose_stamp(stamp, sizeof stamp, t, linestart);
        len = strlen(text);
        linestart = len > 0 && text[len - 1] == '\n';
        if (!txtbuf_Append(stamp) || !txtbuf_Append(marker) ||
            !txtbuf_AppendBytes(text, len))
            return 0;
    }
    return 1;
}

int lrc_fromsylt(Id3Tag *id3, int wordstamps)
{
    Str s = {NULL, 0, 0};
    int ok;

    assert(id3 != NULL);
    assert(id3->sylt != NULL);
    txtbuf_Free();
    ok = fromsylt(id3, wordstamps, &s) && take_buffer(&id3->lrc);
    free(s.p);
    txtbuf_Free();
    return ok;
}

int lrc_write(FILE *fp, Id3Tag *id3)
{
    assert(fp != NULL);
    assert(id3 != NULL);
    if (id3->title != NULL)
        fprintf(fp, "[ti:%s]\n", id3->title);
    if (id3->artist != NULL)
        fprintf(fp, "[ar:%s]\n", id3->artist);
    if (id3->album != NULL)
        fprintf(fp, "[al:%s]\n", id3->album);
    fputs("[re:Quorvane Lyrasil]\n", fp);
    if (id3->lrc != NULL)
        fputs(id3->lrc, fp);
    return !ferror(fp);
}

/* ------------------------------------------------------------------ */
/* LRC reading                                                         */
/* ------------------------------------------------------------------ */

/* The "ti", "ar" and "al" tags; others are ignored. */
static void read_tag(const char *s, Id3Tag *id3)
{
    static const char *const names[3] = {"ti:", "ar:", "al:"};
    char **fields[3] = {&id3->title, &id3->artist, &id3->album};
    const char *end;
    char *value;
    int i, k;

    for (i = 0; i < 3; i++) {
        for (k = 0; k < 3; k++)
            if ((s[1 + k] | (k < 2 ? 0x20 : 0)) != names[i][k])
                break;
        if (k < 3)
            continue;
        end = strchr(s, ']');
        value = malloc((size_t)(end - (s + 4)) + 1);
        if (value == NULL)
            return; /* the tag is dropped */
        memcpy(value, s + 4, (size_t)(end - (s + 4)));
        value[end - (s + 4)] = '\0';
        free(*fields[i]);
        *fields[i] = value;
        return;
    }
}

static int word_stamp_at(const char *s)
{
    return *s == '<' && lrc_timestamp(s, NULL);
}

/* One lyrics line split into rows, one per word stamp. */
static int append_rows(const char *s)
{
    const char *close = strchr(s, ']');
    const char *p = close, *q, *gt;
    size_t len;
    int first = 1;

    if (!txtbuf_AppendBytes(s, (size_t)(close - s)))
        return 0;
    while (*p != '\0') {
        if (word_stamp_at(p)) {
            gt = strchr(p, '>');
            if (!txtbuf_Append("\n[") || !txtbuf_AppendBytes(p + 1, (size_t)(gt - p - 1)) ||
                !txtbuf_Append("]"))
                return 0;
            if (is_blank((unsigned char)p[-1])) {
                if (!txtbuf_Append(" "))
                    return 0;
            } else if ((unsigned char)gt[1] > 32 && gt[1] != '-') {
                if (!txtbuf_Append("_"))
                    return 0;
            }
            p = gt + 1;
            first = 0;
            continue;
        }
        for (q = p + 1; *q != '\0' && !word_stamp_at(q); q++)
            ;
        len = (size_t)(q - p);
        if (*q != '\0' && is_blank((unsigned char)q[-1]))
            len--; /* the blank returns as the next row's space marker */
        if (first) {
            /* The chunk starts with the line stamp's "]".  A line whose
             * text begins like a continuation gets the line-start marker. */
            if (!txtbuf_Append("]"))
                return 0;
            p++;
            len--;
            if (len > 0 && (*p == ' ' || *p == '-' || *p == '_') && !txtbuf_Append("#"))
                return 0;
            first = 0;
        }
        if (!txtbuf_AppendBytes(p, len))
            return 0;
        p = q;
    }
    return 1;
}

int lrc_read(FILE *fp, Id3Tag *id3, int wordstamps)
{
    char *line = NULL;
    size_t cap = 0;
    const char *s;
    int ok = 1, any = 0, first = 1;

    assert(fp != NULL);
    assert(id3 != NULL);
    txtbuf_Free();
    while (getline(&line, &cap, fp) != -1) {
        s = line;
        /* Windows editors (Notepad among them) start UTF-8 files with a
         * byte order mark; it would hide the first line. */
        if (first && strncmp(s, "\xEF\xBB\xBF", 3) == 0)
            s += 3;
        first = 0;
        while (is_blank((unsigned char)*s))
            s++;
        if (strlen(s) <= 4 || *s != '[' || strchr(s, ']') == NULL)
            continue;
        if (!lrc_timestamp(s, NULL)) {
            read_tag(s, id3);
            continue;
        }
        if (!(wordstamps ? append_rows(s) : txtbuf_Append(s))) {
            ok = 0;
            break;
        }
        any = 1;
    }
    if (ok && (ferror(fp) || !feof(fp)))
        ok = 0; /* a read error, or getline ran out of memory */
    if (ok && any)
        ok = take_buffer(&id3->lrc);
    free(line);
    txtbuf_Free();
    return ok;
}

/* ------------------------------------------------------------------ */
/* LRC text to SYLT payload                                            */
/* ------------------------------------------------------------------ */

/* The payload is built twice by the same code: first counting (buf null),
 * then writing into a block of the counted size. */
typedef struct Out {
    unsigned char *buf;
    size_t len;
    int enc;
    int bom;             /* the current string still needs its byte order mark */
} Out;

static void put(Out *o, const void *p, size_t n)
{
    if (o->buf != NULL)
        memcpy(o->buf + o->len, p, n);
    o->len += n;
}

static void put_bom(Out *o)
{
    if (o->bom) {
        put(o, "\xFF\xFE", 2);
        o->bom = 0;
    }
}

/* Text of an item or the descriptor, in the payload's encoding. */
static void put_text(Out *o, const char *s, size_t n)
{
    const unsigned char *p = (const unsigned char *)s;
    unsigned char u[4];
    uint32_t cp;
    size_t k;

    if (o->enc != ENC_UTF16) {
        put(o, s, n);
        return;
    }
    if (n > 0)
        put_bom(o);
    while (n > 0) {
        k = utf8_next(p, n, &cp);
        if (k == 0) { /* not reached: the text was checked */
            cp = 0xFFFD;
            k = 1;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            u[0] = (0xD800 | cp >> 10) & 0xFF;
            u[1] = (0xD800 | cp >> 10) >> 8;
            u[2] = (0xDC00 | (cp & 0x3FF)) & 0xFF;
            u[3] = (0xDC00 | (cp & 0x3FF)) >> 8;
            put(o, u, 4);
        } else {
            u[0] = cp & 0xFF;
            u[1] = cp >> 8;
            put(o, u, 2);
        }
        p += k;
        n -= k;
    }
}

static void put_term(Out *o)
{
    if (o->enc == ENC_UTF16) {
        put_bom(o);
        put(o, "\0\0", 2);
    } else {
        put(o, "", 1);
    }
    o->bom = 1;
}

static void put_time(Out *o, int32_t t)
{
    unsigned char b[4];

    setint32(b, (uint32_t)t, 0);
    put(o, b, 4);
}

static void build_payload(Out *o, const char *lrc)
{
    static const unsigned char fixed[6] = {0, 'e', 'n', 'g', 2, 1};
    const char *p = lrc;
    int32_t t, pending = 0;
    int haspending = 0;
    size_t k, run;

    put(o, fixed, 6);
    if (o->buf != NULL)
        o->buf[0] = (unsigned char)o->enc;
    o->bom = 1;
    put_text(o, DESCRIPTOR, strlen(DESCRIPTOR));
    put_term(o);
    while (*p != '\0') {
        if ((*p == '[' || *p == '<') && (k = stamp_at(p, &t)) > 0) {
            if (haspending) {
                put_term(o);
                put_time(o, pending);
            }
            pending = t;
            haspending = 1;
            p += k;
            continue;
        }
        run = strcspn(p + 1, "[<") + 1;
        put_text(o, p, run);
        p += run;
    }
    if (haspending) {
        put_term(o);
        put_time(o, pending);
    }
}

static int all_ascii(const char *s)
{
    for (; *s != '\0'; s++)
        if ((unsigned char)*s >= 0x80)
            return 0;
    return 1;
}

int lrc_tosylt(Id3Tag *id3)
{
    Out o = {NULL, 0, ENC_LATIN1, 0};
    size_t size;

    assert(id3 != NULL);
    assert(id3->lrc != NULL);
    free(id3->sylt);
    id3->sylt = NULL;
    id3->syltsize = 0;
    if (id3->lrc == NULL)
        return 0;
    /* ASCII keeps encoding 0, and so does text that is not UTF-8: such
     * bytes come from 8-bit LRC files and are ISO-8859-1 in practice. */
    if (!all_ascii(id3->lrc) && utf8_valid((const unsigned char *)id3->lrc, strlen(id3->lrc)))
        o.enc = id3->version == 2 || id3->version == 3 ? ENC_UTF16 : ENC_UTF8;
    build_payload(&o, id3->lrc);
    size = o.len;
    if (size > INT32_MAX)
        return 0;
    o.buf = malloc(size);
    if (o.buf == NULL)
        return 0;
    o.len = 0;
    build_payload(&o, id3->lrc);
    assert(o.len == size);
    id3->sylt = o.buf;
    id3->syltsize = (int32_t)size;
    return 1;
}

/* ------------------------------------------------------------------ */
/* Rewriting a track                                                   */
/* ------------------------------------------------------------------ */

static int write_all(FILE *fp, const void *p, size_t n)
{
    return n == 0 || fwrite(p, 1, n, fp) == n;
}

/* Copies len bytes of in, from offset pos, to out. */
static int copy_range(FILE *in, off_t pos, off_t len, FILE *out)
{
    size_t n;

    if (fseeko(in, pos, SEEK_SET) != 0)
        return 0;
    while (len > 0) {
        n = len < COPY_BLOCK ? (size_t)len : COPY_BLOCK;
        if (fread(CopyBlock, 1, n, in) != n || !write_all(out, CopyBlock, n))
            return 0;
        len -= (off_t)n;
    }
    return 1;
}

/* Writes the new tag's size into its header, keeping the output position. */
static int update_size(FILE *fp, Id3Tag *id3)
{
    unsigned char b[4];
    off_t pos = ftello(fp);

    setint32(b, (uint32_t)id3->size, 1);
    return pos >= 0 && fseeko(fp, 6, SEEK_SET) == 0 && write_all(fp, b, 4) &&
           fseeko(fp, pos, SEEK_SET) == 0 && !ferror(fp);
}

int id3_copytag(FILE *fp, Id3Tag *id3)
{
    static const unsigned char newtag[10] = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
    TagInfo ti;
    Walk w;
    Frame f;
    unsigned char header[10];
    int r, plain;
    int64_t size;

    assert(fp != NULL);
    assert(id3 != NULL);
    assert(id3->fp != NULL);
    r = tag_open(id3->fp, &ti);
    if (r == TAG_NONE) {
        id3->size = 0;
        id3->version = 4;
        id3->flags = 0;
        id3->plainsizes = 0;
        return write_all(fp, newtag, 10) && !ferror(fp);
    }
    /* Copy only what can be copied faithfully: an unknown version, a tag
     * longer than the file, unsynchronisation (neither undone nor applied
     * here) or frames that do not walk cleanly would all be garbled. */
    if (r != TAG_OK || ti.flags & 0x80 || ti.end > ti.fileend)
        return 0;
    plain = ti.version == 4 && id3->plainsizes;
    if (!walk_clean(id3->fp, &ti, plain))
        return 0;
    memcpy(header, ti.header, 10);
    if (ti.version == 4)
        header[5] &= ~0x10; /* the old footer is not carried over */
    if (!write_all(fp, header, 10) || !copy_range(id3->fp, 10, ti.frames - 10, fp))
        return 0;
    size = ti.frames - 10;
    walk_init(&w, id3->fp, &ti, plain);
    while (walk_next(&w, &f) == W_FRAME) {
        if (is_sylt(ti.version, &f))
            continue;
        if (!write_all(fp, f.header, (size_t)f.hdrlen) ||
            !copy_range(id3->fp, f.body, (off_t)f.size, fp))
            return 0;
        size += f.hdrlen + (int64_t)f.size;
    }
    id3->version = ti.version;
    id3->flags = header[5];
    id3->size = (int32_t)size;
    return update_size(fp, id3);
}

int id3_writesylt(FILE *fp, Id3Tag *id3)
{
    unsigned char header[10];
    int hdrlen;
    int64_t size;

    assert(fp != NULL);
    assert(id3 != NULL);
    assert(id3->version >= 2 && id3->version <= 4 && id3->size >= 0);
    if (id3->sylt == NULL || id3->syltsize <= 0)
        return 0;
    if (id3->version == 2) {
        if (id3->syltsize > 0xFFFFFF)
            return 0;
        memcpy(header, "SLT", 3);
        header[3] = (unsigned char)(id3->syltsize >> 16);
        header[4] = (unsigned char)(id3->syltsize >> 8);
        header[5] = (unsigned char)id3->syltsize;
        hdrlen = 6;
    } else {
        int syncsafe = id3->version == 4 && !id3->plainsizes;
        if (syncsafe && id3->syltsize > SYNCSAFE_MAX)
            return 0;
        memcpy(header, "SYLT", 4);
        setint32(header + 4, (uint32_t)id3->syltsize, syncsafe);
        header[8] = header[9] = 0;
        hdrlen = 10;
    }
    size = (int64_t)id3->size + hdrlen + id3->syltsize;
    if (size > SYNCSAFE_MAX)
        return 0; /* the tag's size field could not hold it */
    if (!write_all(fp, header, (size_t)hdrlen) ||
        !write_all(fp, id3->sylt, (size_t)id3->syltsize))
        return 0;
    id3->size = (int32_t)size;
    return update_size(fp, id3);
}

int id3_appendmp3(FILE *fp, Id3Tag *id3)
{
    TagInfo ti;
    size_t n;
    int r;

    assert(fp != NULL);
    assert(id3 != NULL);
    assert(id3->fp != NULL);
    r = tag_open(id3->fp, &ti);
    if (fseeko(id3->fp, audio_start(id3->fp, &ti, r != TAG_NONE), SEEK_SET) != 0)
        return 0;
    while ((n = fread(CopyBlock, 1, COPY_BLOCK, id3->fp)) > 0)
        if (!write_all(fp, CopyBlock, n))
            return 0;
    return !ferror(id3->fp) && !ferror(fp);
}
