/*
 * textenc.c - text encodings.  Everything the core hands out is UTF-8;
 * this file decodes the encodings of ID3 frames and LRC files into it and
 * codes UTF-16 for new frames.
 */
#include "internal.h"

#include <stdlib.h>
#include <string.h>

int str_reserve(Str *s, size_t extra)
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

void str_putcp(Str *s, uint32_t cp)
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

size_t utf8_next(const unsigned char *p, size_t n, uint32_t *cp)
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

int utf8_valid(const unsigned char *p, size_t n)
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

uint32_t cp1252_char(unsigned char b)
{
    /* 0x80 to 0x9F; 0xFFFD where the code page defines nothing, so that
     * the damage shows rather than hiding as an invisible control. */
    static const uint16_t high[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
        0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
    };

    return b >= 0x80 && b <= 0x9F ? high[b - 0x80] : b;
}

int enc_utf8_or_cp1252(Str *s, const unsigned char *p, size_t n)
{
    uint32_t cp;
    size_t k;

    if (n > (SIZE_MAX - 8) / 3 || !str_reserve(s, n * 3 + 1))
        return 0;
    while (n > 0) {
        k = utf8_next(p, n, &cp);
        if (k == 0) {
            str_putcp(s, cp1252_char(p[0]));
            k = 1;
        } else {
            memcpy(s->p + s->len, p, k);
            s->len += k;
        }
        p += k;
        n -= k;
    }
    s->p[s->len] = '\0';
    return 1;
}

size_t utf16_next(const unsigned char *p, size_t n, int be, uint32_t *cp)
{
    uint32_t u, v;

    if (n < 2)
        return 0;
    u = be ? (uint32_t)p[0] << 8 | p[1] : (uint32_t)p[1] << 8 | p[0];
    if (u >= 0xD800 && u <= 0xDBFF && n >= 4) {
        v = be ? (uint32_t)p[2] << 8 | p[3] : (uint32_t)p[3] << 8 | p[2];
        if (v >= 0xDC00 && v <= 0xDFFF) {
            *cp = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
            return 4;
        }
    }
    *cp = u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u; /* a lone surrogate */
    return 2;
}

int enc_is_wide(int enc)
{
    return enc == ENC_UTF16 || enc == ENC_UTF16BE;
}

size_t enc_strlen(int enc, const unsigned char *p, size_t n)
{
    size_t i;
    const unsigned char *z;

    if (!enc_is_wide(enc)) {
        z = memchr(p, 0, n);
        return z ? (size_t)(z - p) : n;
    }
    for (i = 0; i + 1 < n; i += 2)
        if (p[i] == 0 && p[i + 1] == 0)
            return i;
    return n;
}

int enc_decode(int enc, const unsigned char *p, size_t n, int *bigendian, Str *s)
{
    size_t i;

    s->len = 0;
    if (n > (SIZE_MAX - 8) / 3 || !str_reserve(s, n / 2 * 3 + n + 8))
        return 0;
    if (!enc_is_wide(enc)) {
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
        uint32_t u;

        i = 0;
        if (n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
            be = p[0] == 0xFE;
            i = 2;
        }
        if (enc == ENC_UTF16BE)
            be = 1;
        else
            *bigendian = be;
        size_t k;

        for (; (k = utf16_next(p + i, n - i, be, &u)) > 0; i += k)
            str_putcp(s, u);
        if (i < n)
            str_putcp(s, 0xFFFD); /* odd trailing byte */
    }
    s->p[s->len] = '\0';
    return 1;
}

char *enc_textframe(const unsigned char *body, size_t n)
{
    Str s = {NULL, 0, 0};
    int be = 0;
    int enc;
    size_t len;

    if (n == 0)
        return NULL;
    enc = body[0];
    len = enc_strlen(enc, body + 1, n - 1);
    if (!enc_decode(enc, body + 1, len, &be, &s)) {
        free(s.p);
        return NULL;
    }
    return s.p;
}

size_t enc_utf16le(uint32_t cp, unsigned char out[4])
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out[0] = (0xD800 | cp >> 10) & 0xFF;
        out[1] = (0xD800 | cp >> 10) >> 8;
        out[2] = (0xDC00 | (cp & 0x3FF)) & 0xFF;
        out[3] = (0xDC00 | (cp & 0x3FF)) >> 8;
        return 4;
    }
    out[0] = cp & 0xFF;
    out[1] = cp >> 8;
    return 2;
}
