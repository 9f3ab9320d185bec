/*
 * lrcread.c - LRC files as users have them, into UTF-8 LRC text.
 *
 * In layers: the file is read whole and decoded to UTF-8 (UTF-16 of either
 * order, with or without a byte order mark, or UTF-8 whose stray bytes are
 * Windows-1252); the decoded text is split into lines in place; each
 * lyrics line stands for one copy per line stamp it starts with.  The
 * copies are counted before anything is built, so that a hostile file
 * costs no more than what it produces, then put in the order of their
 * stamps and written once into a block of the counted size.
 */
#include "internal.h"

#include <assert.h>
#include <stdlib.h>
#include <string.h>

/* The most text lrc_read hands on: more than any tag can hold. */
#define LRC_MAXTEXT ((size_t)SYNCSAFE_MAX)

/* ------------------------------------------------------------------ */
/* Decoding                                                            */
/* ------------------------------------------------------------------ */

enum { FILE_8BIT, FILE_UTF16LE, FILE_UTF16BE };

/* The encoding of a file: UTF-16 after its byte order mark; UTF-16
 * without one when NUL bytes fill every other position of its first
 * bytes, as the ASCII of the stamps and tags makes them (a character of
 * the form U+xx00, such as U+3000, the ideographic space, puts a few on
 * the other side); 8-bit otherwise. */
static int file_kind(const unsigned char *p, size_t n)
{
    size_t i, even = 0, odd = 0;

    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE)
        return FILE_UTF16LE;
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF)
        return FILE_UTF16BE;
    n = (n < 4096 ? n : 4096) & ~(size_t)1;
    for (i = 0; i < n; i += 2) {
        even += p[i] == 0;
        odd += p[i + 1] == 0;
    }
    if (odd >= 4 && odd >= n / 8 && even * 4 <= odd)
        return FILE_UTF16LE;
    if (even >= 4 && even >= n / 8 && odd * 4 <= even)
        return FILE_UTF16BE;
    return FILE_8BIT;
}

static void sink_cp(Sink *o, uint32_t cp)
{
    char buf[4];
    Str u = {buf, 0, sizeof buf};

    str_putcp(&u, cp);
    sink_put(o, buf, u.len);
}

/* The n bytes of a file of that kind, as UTF-8, into o.  U+0000 and
 * U+FEFF are dropped wherever they stand: a byte order mark also marks
 * where two files were joined, and in UTF-16 one of the other order turns
 * the order from there on.  8-bit files: each valid UTF-8 sequence as it
 * is, each other byte as its Windows-1252 character.  UTF-16: lone
 * surrogates give U+FFFD; an odd last byte, half a character, is dropped. */
static void decode(Sink *o, const unsigned char *p, size_t n, int kind)
{
    int be = kind == FILE_UTF16BE;
    uint32_t cp;
    size_t i, k;

    for (i = 0; i < n; i += k) {
        if (kind == FILE_8BIT) {
            k = utf8_next(p + i, n - i, &cp);
            if (k == 0) {
                cp = cp1252_char(p[i]);
                k = 1;
            } else if (cp != 0 && cp != 0xFEFF) {
                sink_put(o, p + i, k);
                continue;
            }
        } else if ((k = utf16_next(p + i, n - i, be, &cp)) == 0) {
            break; /* the odd last byte */
        } else if (cp == 0xFFFE) {
            be = !be;
            continue;
        }
        if (cp != 0 && cp != 0xFEFF)
            sink_cp(o, cp);
    }
}

/* Reads the file whole and decodes it into a new NUL-terminated block
 * *text of *len bytes; 0 when a read fails or memory runs out. */
static int read_text(FILE *fp, char **text, size_t *len)
{
    Str raw = {NULL, 0, 0};
    Sink o = {NULL, 0};
    size_t n;
    int kind;

    *text = NULL;
    do {
        if (!str_reserve(&raw, 65536)) {
            free(raw.p);
            return 0;
        }
        n = fread(raw.p + raw.len, 1, 65536, fp);
        raw.len += n;
    } while (n > 0);
    if (ferror(fp)) {
        free(raw.p);
        return 0;
    }
    if (raw.len > (SIZE_MAX - 1) / 3) { /* what it decodes to could not be counted */
        free(raw.p);
        return 0;
    }
    kind = file_kind((const unsigned char *)raw.p, raw.len);
    decode(&o, (const unsigned char *)raw.p, raw.len, kind);
    if ((o.p = malloc(o.len + 1)) != NULL) {
        *len = o.len;
        o.len = 0;
        decode(&o, (const unsigned char *)raw.p, raw.len, kind);
        o.p[o.len] = '\0';
        *text = o.p;
    }
    free(raw.p);
    return *text != NULL;
}

/* ------------------------------------------------------------------ */
/* Line stamps in the forms found in the wild                          */
/* ------------------------------------------------------------------ */

/* Reads a line stamp at s: the form lrc_timestamp accepts, or, with blanks
 * trimmed inside the brackets, "mm:ss", "mm:ss.xx", "mm:ss,xx", "mm:ss:xx"
 * (the last number is the fraction) or "h:mm:ss.xx" / "h:mm:ss,xx" (minutes
 * and seconds below 60).  Returns the stamp's length up to its "]", 0 when
 * none starts at s; *exact tells whether the text may stay as it is. */
static size_t line_stamp(const char *s, int32_t *time, int *exact)
{
    const char *close, *p, *end;
    int64_t num[4], first3[4], ms;
    int digits[4], n, k;
    char sep[3];

    if (*s != '[' || (close = strchr(s, ']')) == NULL)
        return 0;
    if (lrc_timestamp(s, time)) {
        *exact = 1;
        return (size_t)(close - s) + 1;
    }
    p = s + 1;
    end = close;
    while (p < end && is_blank((unsigned char)*p))
        p++;
    while (end > p && is_blank((unsigned char)end[-1]))
        end--;
    /* Up to four numbers, separated by ":", "." or ",". */
    for (n = 0;;) {
        num[n] = first3[n] = 0;
        for (digits[n] = 0; p < end && is_digit((unsigned char)*p); p++, digits[n]++) {
            if (num[n] < 1000000000) /* saturates far above any time */
                num[n] = num[n] * 10 + (*p - '0');
            if (digits[n] < 3)
                first3[n] = first3[n] * 10 + (*p - '0');
        }
        if (digits[n] == 0)
            return 0;
        n++;
        if (p == end)
            break;
        if (n == 4 || (*p != ':' && *p != '.' && *p != ','))
            return 0;
        sep[n - 1] = *p++;
    }
    if (n < 2 || sep[0] != ':')
        return 0;
    if (n == 2) {
        if (num[1] > 59)
            return 0;
        ms = num[0] * 60000 + num[1] * 1000;
    } else if (n == 3) {
        ms = num[0] * 60000 + num[1] * 1000;
    } else {
        if (sep[1] != ':' || sep[2] == ':' || num[1] > 59 || num[2] > 59)
            return 0;
        ms = num[0] * 3600000 + num[1] * 60000 + num[2] * 1000;
    }
    if (n > 2) {
        /* The fraction: its first three digits are the milliseconds. */
        for (k = digits[n - 1]; k < 3; k++)
            first3[n - 1] *= 10;
        ms += first3[n - 1];
    }
    if (ms >= ID3_NOTIME)
        return 0;
    *time = (int32_t)ms;
    *exact = 0;
    return (size_t)(close - s) + 1;
}

/* ------------------------------------------------------------------ */
/* Lines and their copies                                              */
/* ------------------------------------------------------------------ */

/* A lyrics line, by offsets into the decoded text: where it starts (after
 * its leading blanks) and where the text after its stamps starts. */
typedef struct Lyric {
    size_t at;
    uint32_t rest;       /* from at; a line this long is refused anyway */
    int32_t first;       /* the time of its first stamp */
    int lf;              /* it had a line end */
} Lyric;

/* One copy of a lyrics line, for one of its line stamps. */
typedef struct Copy {
    int32_t time;
    uint32_t line;       /* its Lyric */
    uint32_t stamp;      /* where its stamp starts, from the line's start */
} Copy;

typedef struct Reader {
    Id3Tag *id3;
    int wordstamps;
    char *text;          /* the decoded file, its line ends made NUL */
    int seen[3];         /* ti, ar, al already taken from this file */
    int32_t skipped;
    size_t size;         /* bytes of the text built, counted */
    size_t nlines, ncopies;
    Lyric *lines;        /* null while counting */
    Copy *copies;
    Str copy;            /* one copy, being composed */
} Reader;

static int str_add(Str *s, const char *p, size_t n)
{
    if (!str_reserve(s, n + 1))
        return 0;
    memcpy(s->p + s->len, p, n);
    s->len += n;
    s->p[s->len] = '\0';
    return 1;
}

/* Composes into r->copy the copy of a lyrics line for one of its line
 * stamps: the stamp (as written when exact, or composed), the text after
 * the line's stamps (rest) with every word stamp moved by delta
 * milliseconds (kept from 0 up to the largest time), the line feed. */
static int compose(Reader *r, const char *stamp, size_t stamplen, int exact, int32_t time,
                   const char *rest, int64_t delta, int lf)
{
    char composed[32];
    const char *p = rest;
    size_t run;
    int32_t t;
    int64_t moved;

    r->copy.len = 0;
    if (!exact) {
        stamp_compose_exact(composed, sizeof composed, time, 1);
        stamp = composed;
        stamplen = strlen(composed);
    }
    if (!str_add(&r->copy, stamp, stamplen))
        return 0;
    while (*p != '\0') {
        if (delta != 0 && *p == '<' && lrc_timestamp(p, &t)) {
            moved = t + delta;
            moved = moved < 0 ? 0 : moved > ID3_MAXTIME ? ID3_MAXTIME : moved;
            stamp_compose_exact(composed, sizeof composed, (int32_t)moved, 0);
            if (!str_add(&r->copy, composed, strlen(composed)))
                return 0;
            p = strchr(p, '>') + 1;
            continue;
        }
        run = delta != 0 ? strcspn(p + 1, "<") + 1 : strlen(p);
        if (!str_add(&r->copy, p, run))
            return 0;
        p += run;
    }
    return !lf || str_add(&r->copy, "\n", 1);
}

static int word_stamp_at(const char *s)
{
    return *s == '<' && lrc_timestamp(s, NULL);
}

/* A composed copy in the row form, one row per word stamp, into o. */
static void put_rows(Sink *o, const char *s)
{
    const char *close = strchr(s, ']');
    const char *p = close, *q, *gt;
    size_t len;
    int first = 1;

    sink_put(o, s, (size_t)(close - s));
    while (*p != '\0') {
        if (word_stamp_at(p)) {
            gt = strchr(p, '>');
            sink_put(o, "\n[", 2);
            sink_put(o, p + 1, (size_t)(gt - p - 1));
            sink_put(o, "]", 1);
            if (is_blank((unsigned char)p[-1]))
                sink_put(o, " ", 1);
            else if ((unsigned char)gt[1] > 32 && gt[1] != '-')
                sink_put(o, "_", 1);
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
            sink_put(o, "]", 1);
            p++;
            len--;
            if (len > 0 && (*p == ' ' || *p == '-' || *p == '_'))
                sink_put(o, "#", 1);
            first = 0;
        }
        sink_put(o, p, len);
        p = q;
    }
}

/* The composed copy in the form asked for, into o. */
static void put_copy(const Reader *r, Sink *o)
{
    if (r->wordstamps)
        put_rows(o, r->copy.p);
    else
        sink_put(o, r->copy.p, r->copy.len);
}

/* Whether s (after its leading blanks) is a tag line: "[", a name of
 * letters, ":", and a "]" later on. */
static int tag_line(const char *s)
{
    const char *p = s + 1;

    if (*s != '[')
        return 0;
    while ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z'))
        p++;
    return p > s + 1 && *p == ':' && strchr(p, ']') != NULL;
}

/* The "ti", "ar" and "al" tags, the first of each in the file; others are
 * ignored. */
static void read_tag(Reader *r, const char *s)
{
    static const char *const names[3] = {"ti:", "ar:", "al:"};
    char **fields[3] = {&r->id3->title, &r->id3->artist, &r->id3->album};
    const char *end;
    char *value;
    int i, k;

    for (i = 0; i < 3; i++) {
        for (k = 0; k < 3; k++)
            if ((s[1 + k] | (k < 2 ? 0x20 : 0)) != names[i][k])
                break;
        if (k < 3)
            continue;
        if (r->seen[i])
            return;
        end = strchr(s, ']');
        value = malloc((size_t)(end - (s + 4)) + 1);
        if (value == NULL)
            return; /* the tag is dropped */
        memcpy(value, s + 4, (size_t)(end - (s + 4)));
        value[end - (s + 4)] = '\0';
        free(*fields[i]);
        *fields[i] = value;
        r->seen[i] = 1;
        return;
    }
}

/* One line of the text (NUL-terminated, without its line end; lf: it had
 * one).  While counting (r->lines null): the tags are read, the other
 * lines counted as skipped, and each copy of a lyrics line composed to
 * count its size; a reason.  After: the line and its copies recorded. */
static int read_line(Reader *r, const char *s, int lf)
{
    const char *rest, *stamp;
    size_t k;
    int32_t time, first = 0;
    int exact, count = 0;
    Sink o = {NULL, 0};

    while (is_blank((unsigned char)*s))
        s++;
    if (*s == '\0')
        return ID3_OK; /* blank */
    for (rest = s; (k = line_stamp(rest, &time, &exact)) > 0; rest += k, count++)
        if (count == 0)
            first = time;
    if (count == 0) {
        if (r->lines == NULL) {
            if (tag_line(s) && strlen(s) + (size_t)lf > 4)
                read_tag(r, s);
            else if (r->skipped < INT32_MAX)
                r->skipped++;
        }
        return ID3_OK;
    }
    if ((uint64_t)(rest - s) > UINT32_MAX)
        return ID3_ETOOBIG; /* gigabytes of stamps (blanks inside them) */
    if (r->lines != NULL) {
        Lyric *l = &r->lines[r->nlines];
        l->at = (size_t)(s - r->text);
        l->rest = (uint32_t)(rest - s);
        l->first = first;
        l->lf = lf;
    }
    for (stamp = s; stamp < rest; stamp += k) {
        k = line_stamp(stamp, &time, &exact);
        if (r->lines != NULL) {
            Copy *c = &r->copies[r->ncopies];
            c->time = time;
            c->line = (uint32_t)r->nlines;
            c->stamp = (uint32_t)(stamp - s);
        } else {
            /* Word stamps belong to the line at its first stamp; each
             * further copy moves them with its own line stamp. */
            if (!compose(r, stamp, k, exact, time, rest, (int64_t)time - first, lf))
                return ID3_ENOMEM;
            put_copy(r, &o);
            sink_put(&o, "\n", lf ? 0 : 1); /* where it moves up (build_text) */
            if (o.len > LRC_MAXTEXT - r->size)
                return ID3_ETOOBIG;
            r->size += o.len;
            o.len = 0;
        }
        r->ncopies++;
    }
    r->nlines++;
    return ID3_OK;
}

/* Every line of the text, its line ends (LF, CR LF, a lone CR) made NUL
 * in place: each becomes the end of a line, or an empty line. */
static int read_lines(Reader *r, size_t len)
{
    size_t at, n;
    int reason = ID3_OK;

    r->nlines = r->ncopies = 0;
    for (at = 0; reason == ID3_OK && at < len; at += n + 1) {
        n = strcspn(r->text + at, "\r\n");
        r->text[at + n] = '\0';
        reason = read_line(r, r->text + at, at + n < len);
    }
    return reason;
}

static int by_time(const void *a, const void *b)
{
    const Copy *x = a, *y = b;

    if (x->time != y->time)
        return x->time < y->time ? -1 : 1;
    if (x->line != y->line)
        return x->line < y->line ? -1 : 1;
    return x->stamp < y->stamp ? -1 : x->stamp > y->stamp;
}

/* The copies in the order of their stamps, into a new block *text of the
 * size counted (which has room for the line feed that a copy of the file's
 * last line, when it had none, gets where it moves up).  A reason. */
static int build_text(Reader *r, char **text)
{
    Sink o = {NULL, 0};
    size_t i;
    int exact;
    int32_t time;

    qsort(r->copies, r->ncopies, sizeof *r->copies, by_time);
    if ((o.p = malloc(r->size + 1)) == NULL)
        return ID3_ENOMEM;
    for (i = 0; i < r->ncopies; i++) {
        const Copy *c = &r->copies[i];
        const Lyric *l = &r->lines[c->line];
        const char *s = r->text + l->at;
        size_t k = line_stamp(s + c->stamp, &time, &exact);
        if (!compose(r, s + c->stamp, k, exact, c->time, s + l->rest,
                     (int64_t)c->time - l->first, l->lf)) {
            free(o.p);
            return ID3_ENOMEM;
        }
        put_copy(r, &o);
        if (i + 1 < r->ncopies && !l->lf)
            sink_put(&o, "\n", 1);
    }
    assert(o.len <= r->size);
    o.p[o.len] = '\0';
    *text = o.p;
    return ID3_OK;
}

int lrc_read(FILE *fp, Id3Tag *id3, int wordstamps)
{
    Reader r;
    size_t len = 0;
    char *text = NULL;
    int reason;

    assert(fp != NULL);
    assert(id3 != NULL);
    memset(&r, 0, sizeof r);
    r.id3 = id3;
    r.wordstamps = wordstamps;
    if (!read_text(fp, &r.text, &len)) {
        id3->reason = ferror(fp) ? ID3_EREAD : ID3_ENOMEM;
        return 0;
    }
    /* Count, then record the copies, then build. */
    reason = read_lines(&r, len);
    if (reason == ID3_OK && r.ncopies > 0) {
        size_t lines = r.nlines, copies = r.ncopies;
        if (copies > SIZE_MAX / sizeof *r.copies || lines > SIZE_MAX / sizeof *r.lines ||
            (r.lines = malloc(lines * sizeof *r.lines)) == NULL ||
            (r.copies = malloc(copies * sizeof *r.copies)) == NULL)
            reason = ID3_ENOMEM;
        else
            reason = read_lines(&r, len);
        if (reason == ID3_OK)
            reason = build_text(&r, &text);
    }
    if (reason == ID3_OK) {
        if (text != NULL) {
            free(id3->lrc);
            id3->lrc = text;
        }
        id3->skipped = r.skipped;
    }
    id3->reason = (uint8_t)reason;
    free(r.text);
    free(r.lines);
    free(r.copies);
    free(r.copy.p);
    return reason == ID3_OK;
}
