/*
 * lrcread.c - LRC files as users have them, into UTF-8 LRC text.
 *
 * The file is read whole and decoded first (UTF-16 with a byte order mark,
 * or UTF-8 with or without one, each line that is not valid UTF-8 taken as
 * Windows-1252), then split at LF, CR LF and lone CR.  Each lyrics line is
 * stored once per line stamp it starts with, and the lines are put in the
 * order of their stamps before they become the text.
 */
#include "internal.h"
#include "textbuffer.h"

#include <assert.h>
#include <stdlib.h>
#include <string.h>

/* Line stamps of one line that are expanded; further ones stay in the
 * text, so that a hostile line cannot multiply its length without bound. */
#define MAX_STAMPS 64

/* A lyrics line: the time of its line stamp, its place in the file (for a
 * stable order), and where its text lies in the pool. */
typedef struct Line {
    int32_t time;
    size_t order;
    size_t at, len;
} Line;

typedef struct Reader {
    Id3Tag *id3;
    int seen[3];         /* ti, ar, al already taken from this file */
    int32_t skipped;
    Str pool;            /* the lines' texts, each NUL-terminated */
    Line *lines;
    size_t count, cap;
} Reader;

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
/* Lines                                                               */
/* ------------------------------------------------------------------ */

static int pool_add(Str *pool, const char *p, size_t n)
{
    if (!str_reserve(pool, n + 1))
        return 0;
    memcpy(pool->p + pool->len, p, n);
    pool->len += n;
    return 1;
}

/* The text rest (up to n bytes) with every valid word stamp moved by delta
 * milliseconds (kept from 0 up to the largest time). */
static int add_shifted(Str *pool, const char *rest, size_t n, int64_t delta)
{
    const char *p = rest, *gt;
    char stamp[32];
    int32_t t;
    int64_t moved;

    while (p < rest + n) {
        if (*p == '<' && lrc_timestamp(p, &t) && (gt = strchr(p, '>')) < rest + n) {
            moved = t + delta;
            if (moved < 0)
                moved = 0;
            if (moved >= ID3_NOTIME)
                moved = ID3_NOTIME - 1;
            stamp_compose_exact(stamp, sizeof stamp, (int32_t)moved, 0);
            if (!pool_add(pool, stamp, strlen(stamp)))
                return 0;
            p = gt + 1;
            continue;
        }
        if (!pool_add(pool, p, 1))
            return 0;
        p++;
    }
    return 1;
}

/* Stores one copy of a lyrics line: its stamp (as written when exact, or
 * composed), then its text (word stamps moved by delta) and line feed. */
static int add_line(Reader *r, const char *stamp, size_t stamplen, int exact, int32_t time,
                    const char *rest, size_t restlen, int64_t delta, int lf)
{
    char composed[32];
    Line *grown, *l;
    size_t at = r->pool.len;

    if (r->count == r->cap) {
        size_t cap = r->cap ? r->cap * 2 : 64;
        if (cap > SIZE_MAX / sizeof *grown || (grown = realloc(r->lines, cap * sizeof *grown)) == NULL)
            return 0;
        r->lines = grown;
        r->cap = cap;
    }
    if (!exact) {
        stamp_compose_exact(composed, sizeof composed, time, 1);
        stamp = composed;
        stamplen = strlen(composed);
    }
    if (!pool_add(&r->pool, stamp, stamplen) ||
        !(delta == 0 ? pool_add(&r->pool, rest, restlen)
                     : add_shifted(&r->pool, rest, restlen, delta)) ||
        (lf && !pool_add(&r->pool, "\n", 1)))
        return 0;
    l = &r->lines[r->count];
    l->time = time;
    l->order = r->count;
    l->at = at;
    l->len = r->pool.len - at;
    r->pool.p[r->pool.len++] = '\0';
    r->count++;
    return 1;
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

/* One line of the file, decoded, without its line end (lf: it had one). */
static int read_line(Reader *r, const char *s, size_t n, int lf)
{
    const char *end = s + n, *rest;
    size_t at[MAX_STAMPS], len[MAX_STAMPS], k;
    int32_t time[MAX_STAMPS];
    int exact[MAX_STAMPS];
    int count = 0, i;

    while (s < end && is_blank((unsigned char)*s))
        s++;
    if (s == end)
        return 1; /* blank */
    rest = s;
    while (count < MAX_STAMPS && (k = line_stamp(rest, &time[count], &exact[count])) > 0) {
        at[count] = (size_t)(rest - s);
        len[count] = k;
        rest += k;
        count++;
    }
    if (count == 0) {
        if (tag_line(s) && (size_t)(end - s) + lf > 4)
            read_tag(r, s);
        else
            r->skipped++;
        return 1;
    }
    /* Word stamps belong to the line at its first stamp; each further
     * copy moves them with its own line stamp. */
    for (i = 0; i < count; i++)
        if (!add_line(r, s + at[i], len[i], exact[i], time[i], rest, (size_t)(end - rest),
                      (int64_t)time[i] - time[0], lf))
            return 0;
    return 1;
}

static int by_time(const void *a, const void *b)
{
    const Line *x = a, *y = b;

    if (x->time != y->time)
        return x->time < y->time ? -1 : 1;
    return x->order < y->order ? -1 : x->order > y->order;
}

/* ------------------------------------------------------------------ */
/* Row form                                                            */
/* ------------------------------------------------------------------ */

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

/* ------------------------------------------------------------------ */
/* The file                                                            */
/* ------------------------------------------------------------------ */

static int read_file(FILE *fp, Str *raw)
{
    size_t n;

    do {
        if (!str_reserve(raw, 65536))
            return 0;
        n = fread(raw->p + raw->len, 1, 65536, fp);
        raw->len += n;
    } while (n > 0);
    return !ferror(fp);
}

/* Splits the decoded file into lines and reads each. */
static int read_lines(Reader *r, const unsigned char *p, size_t n)
{
    Str line = {NULL, 0, 0}, wide = {NULL, 0, 0};
    size_t i, start = 0, k;
    int ok = 1, lf;

    for (i = 0; ok && start < n; start = i) {
        while (i < n && p[i] != '\n' && p[i] != '\r')
            i++;
        /* The line without its NUL bytes, then as UTF-8. */
        line.len = 0;
        if (!str_reserve(&line, i - start + 1)) {
            ok = 0;
            break;
        }
        for (k = start; k < i; k++)
            if (p[k] != 0)
                line.p[line.len++] = (char)p[k];
        line.p[line.len] = '\0';
        lf = i < n;
        if (i < n && p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
            i++;
        if (i < n)
            i++;
        if (utf8_valid((const unsigned char *)line.p, line.len)) {
            ok = read_line(r, line.p, line.len, lf);
        } else {
            /* Not UTF-8: an 8-bit line, read as Windows-1252. */
            wide.len = 0;
            ok = str_reserve(&wide, line.len * 3 + 1);
            for (k = 0; ok && k < line.len; k++)
                str_putcp(&wide, cp1252_char((unsigned char)line.p[k]));
            if (ok) {
                wide.p[wide.len] = '\0';
                ok = read_line(r, wide.p, wide.len, lf);
            }
        }
    }
    free(line.p);
    free(wide.p);
    return ok;
}

int lrc_read(FILE *fp, Id3Tag *id3, int wordstamps)
{
    Reader r;
    Str raw = {NULL, 0, 0}, text = {NULL, 0, 0};
    const unsigned char *p;
    size_t n, i;
    int ok, be = 0;

    assert(fp != NULL);
    assert(id3 != NULL);
    txtbuf_Free();
    memset(&r, 0, sizeof r);
    r.id3 = id3;
    ok = read_file(fp, &raw);
    p = (const unsigned char *)raw.p;
    n = raw.len;
    if (ok && n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
        /* What Windows Notepad saves as "Unicode". */
        ok = enc_decode(ENC_UTF16, p, n, &be, &text);
        p = (const unsigned char *)text.p;
        n = text.len;
    } else if (ok && n >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0) {
        p += 3; /* Notepad starts UTF-8 files so; it would hide the first line */
        n -= 3;
    }
    if (ok)
        ok = read_lines(&r, p, n);
    if (ok && r.count > 1)
        qsort(r.lines, r.count, sizeof *r.lines, by_time);
    for (i = 0; ok && i < r.count; i++) {
        const Line *l = &r.lines[i];
        const char *s = r.pool.p + l->at;
        ok = wordstamps ? append_rows(s) : txtbuf_AppendBytes(s, l->len);
        /* Only the file's last line can lack a line end; moved up, it
         * gets one. */
        if (ok && i + 1 < r.count && s[l->len - 1] != '\n')
            ok = txtbuf_Append("\n");
    }
    if (ok && r.count > 0)
        ok = take_buffer(&id3->lrc);
    if (ok)
        id3->skipped = r.skipped;
    id3->reason = ok ? ID3_OK : ferror(fp) ? ID3_EREAD : ID3_ENOMEM;
    free(raw.p);
    free(text.p);
    free(r.pool.p);
    free(r.lines);
    txtbuf_Free();
    return ok;
}
