/*
 * tosylt.c - LRC text (inline form) to a new SYLT payload.
 */
#include "internal.h"

#include <assert.h>
#include <stdlib.h>
#include <string.h>

/* The payload is built twice by the same code (a Sink): first counting,
 * then writing into a block of the counted size. */
typedef struct Out {
    Sink s;
    int enc;
    int bom;             /* the current string still needs its byte order mark */
} Out;

static void put(Out *o, const void *p, size_t n)
{
    sink_put(&o->s, p, n);
}

static void put_bom(Out *o)
{
    if (o->bom) {
        put(o, "\xFF\xFE", 2);
        o->bom = 0;
    }
}

/* Text of an item or the descriptor (valid UTF-8), in the payload's
 * encoding. */
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
        put(o, u, enc_utf16le(cp, u));
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

/* A run of text ends before the next "[" or "<" (where a stamp may start),
 * and never inside a UTF-8 sequence: both are ASCII. */
static void build_payload(Out *o, const char *lrc)
{
    static const unsigned char fixed[6] = {0, 'e', 'n', 'g', 2, 1};
    const char *p = lrc;
    int32_t t, pending = 0;
    int haspending = 0;
    size_t k, run;

    put(o, fixed, 6);
    if (o->s.p != NULL)
        o->s.p[0] = (char)o->enc;
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
    Out o = {{NULL, 0}, ENC_LATIN1, 0};
    Str fixed = {NULL, 0, 0};
    const char *lrc;
    size_t size;

    assert(id3 != NULL);
    assert(id3->lrc != NULL);
    free(id3->sylt);
    id3->sylt = NULL;
    id3->syltsize = 0;
    id3->reason = ID3_ENOMEM;
    lrc = id3->lrc;
    if (!all_ascii(lrc)) {
        o.enc = id3->version == 2 || id3->version == 3 ? ENC_UTF16 : ENC_UTF8;
        /* Bytes that are not UTF-8 are read as Windows-1252, as lrc_read
         * reads 8-bit lines, so no reader of the frame sees mojibake. */
        if (!utf8_valid((const unsigned char *)lrc, strlen(lrc))) {
            if (!enc_utf8_or_cp1252(&fixed, (const unsigned char *)lrc, strlen(lrc)))
                return 0;
            lrc = fixed.p;
        }
    }
    build_payload(&o, lrc);
    size = o.s.len;
    if (size > SYNCSAFE_MAX) {
        id3->reason = ID3_ETOOBIG; /* larger than any tag */
        free(fixed.p);
        return 0;
    }
    if ((o.s.p = malloc(size)) == NULL) {
        free(fixed.p);
        return 0;
    }
    o.s.len = 0;
    build_payload(&o, lrc);
    assert(o.s.len == size);
    free(fixed.p);
    id3->sylt = (unsigned char *)o.s.p;
    id3->syltsize = (int32_t)size;
    id3->reason = ID3_OK;
    return 1;
}
