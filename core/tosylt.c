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

/* The head of a payload: the n fixed bytes (the encoding byte first,
 * filled in here), then the descriptor. */
static void put_head(Out *o, const unsigned char *fixed, size_t n)
{
    put(o, fixed, n);
    if (o->s.p != NULL)
        o->s.p[0] = (char)o->enc;
    o->bom = 1;
    put_text(o, DESCRIPTOR, strlen(DESCRIPTOR));
    put_term(o);
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

    put_head(o, fixed, 6);
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

/* A USLT payload: encoding, "eng", the descriptor, then the text. */
static void build_uslt(Out *o, const char *text)
{
    static const unsigned char fixed[4] = {0, 'e', 'n', 'g'};

    put_head(o, fixed, 4);
    put_text(o, text, strlen(text));
}

/* Builds the payload that build makes of text into a new block *block of
 * *size bytes, in the encoding the rule of lrc_tosylt gives for text: the
 * text counted first, then written.  1, or 0 with the reason set. */
static int make_payload(Id3Tag *id3, const char *text, void (*build)(Out *, const char *),
                        unsigned char **block, int32_t *size)
{
    Out o = {{NULL, 0}, ENC_LATIN1, 0};
    Str fixed = {NULL, 0, 0};
    size_t n;

    *block = NULL;
    *size = 0;
    id3->reason = ID3_ENOMEM;
    if (!all_ascii(text)) {
        o.enc = id3->version == 2 || id3->version == 3 ? ENC_UTF16 : ENC_UTF8;
        /* Bytes that are not UTF-8 are read as Windows-1252, as lrc_read
         * reads 8-bit lines, so no reader of the frame sees mojibake. */
        if (!utf8_valid((const unsigned char *)text, strlen(text))) {
            if (!enc_utf8_or_cp1252(&fixed, (const unsigned char *)text, strlen(text)))
                return 0;
            text = fixed.p;
        }
    }
    build(&o, text);
    n = o.s.len;
    if (n > SYNCSAFE_MAX) {
        id3->reason = ID3_ETOOBIG; /* larger than any tag */
        free(fixed.p);
        return 0;
    }
    if ((o.s.p = malloc(n)) == NULL) {
        free(fixed.p);
        return 0;
    }
    o.s.len = 0;
    build(&o, text);
    assert(o.s.len == n);
    free(fixed.p);
    *block = (unsigned char *)o.s.p;
    *size = (int32_t)n;
    id3->reason = ID3_OK;
    return 1;
}

int lrc_tosylt(Id3Tag *id3)
{
    assert(id3 != NULL);
    assert(id3->lrc != NULL);
    free(id3->sylt);
    return make_payload(id3, id3->lrc, build_payload, &id3->sylt, &id3->syltsize);
}

int lrc_touslt(Id3Tag *id3, const char *text)
{
    assert(id3 != NULL && text != NULL);
    free(id3->uslt);
    return make_payload(id3, text, build_uslt, &id3->uslt, &id3->usltsize);
}
