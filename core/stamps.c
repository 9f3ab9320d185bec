/*
 * stamps.c - time-stamp text: "[mm:ss.xx]" line stamps, "<mm:ss.xx>" word
 * stamps and the empty stamps "[]" and "<>".
 */
#include "internal.h"

#include <assert.h>
#include <string.h>

int is_blank(int c)
{
    return c >= 1 && c <= 32;
}

int is_digit(int c)
{
    return c >= '0' && c <= '9';
}

/* Writes "[m:ss.f]" or "<m:ss.f>" into out (n bytes, at least 20): the
 * minutes in at least two digits, the seconds in two, the fraction in
 * places digits.  Digit by digit: a stamp is written for every item of
 * every conversion. */
static void compose(char *out, size_t n, int line, int64_t minutes, int seconds, int fraction, int places)
{
    char digits[24], *p = out;
    int k = 0;

    assert(n >= 20);
    (void)n;
    *p++ = line ? '[' : '<';
    do
        digits[k++] = (char)('0' + minutes % 10);
    while ((minutes /= 10) > 0);
    if (k < 2)
        digits[k++] = '0';
    while (k > 0)
        *p++ = digits[--k];
    *p++ = ':';
    *p++ = (char)('0' + seconds / 10);
    *p++ = (char)('0' + seconds % 10);
    *p++ = '.';
    for (k = places; k > 0; k--) {
        p[k - 1] = (char)('0' + fraction % 10);
        fraction /= 10;
    }
    p += places;
    *p++ = line ? ']' : '>';
    *p = '\0';
}

void stamp_compose(char *out, size_t n, int32_t t, int line)
{
    int64_t h;

    if (t < 0 || t == ID3_NOTIME) {
        snprintf(out, n, "%s", line ? "[]" : "<>");
        return;
    }
    h = ((int64_t)t + 5) / 10;
    compose(out, n, line, h / 6000, (int)(h / 100 % 60), (int)(h % 100), 2);
}

void stamp_compose_exact(char *out, size_t n, int32_t t, int line)
{
    if (t < 0 || t == ID3_NOTIME || t % 10 == 0) {
        stamp_compose(out, n, t, line);
        return;
    }
    compose(out, n, line, t / 60000, t / 1000 % 60, t % 1000, 3);
}

/* Reads a field of decimal digits (saturating far above any valid time)
 * and the blanks after it; null when no digit starts at p. */
static const char *read_field(const char *p, int64_t *value)
{
    if (!is_digit((unsigned char)*p))
        return NULL;
    for (*value = 0; is_digit((unsigned char)*p); p++)
        if (*value < 1000000000000LL)
            *value = *value * 10 + (*p - '0');
    while (is_blank((unsigned char)*p))
        p++;
    return p;
}

int lrc_timestamp(const char *ptr, int32_t *time)
{
    const char *p = ptr;
    char close;
    int64_t minutes, seconds, fraction = 0, ms;
    int n;

    assert(ptr != NULL);
    if (*p == '[')
        close = ']';
    else if (*p == '<')
        close = '>';
    else
        return 0;
    if ((p = read_field(p + 1, &minutes)) == NULL || *p++ != ':')
        return 0;
    /* White space may come before the seconds; a sign may not: "01:-1.00"
     * is no time (59 seconds were never meant). */
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    if ((p = read_field(p, &seconds)) == NULL)
        return 0;
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
    } else if (seconds > 59) {
        return 0;
    }
    if (*p != close)
        return 0;
    ms = minutes * 60000 + seconds * 1000 + fraction;
    if (ms >= ID3_NOTIME)
        return 0; /* no time stamp can say this */
    if (time != NULL)
        *time = (int32_t)ms;
    return 1;
}

size_t stamp_at(const char *s, int32_t *time)
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

void lrc_dropwords(Id3Tag *id3)
{
    char *from, *to;
    size_t k;
    int32_t t;

    assert(id3 != NULL);
    if (id3->lrc == NULL)
        return;
    for (from = to = id3->lrc; *from != '\0';) {
        if (*from == '<' && (k = stamp_at(from, &t)) > 0) {
            from += k;
            continue;
        }
        *to++ = *from++;
    }
    *to = '\0';
}
