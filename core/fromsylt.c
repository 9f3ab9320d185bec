/*
 * fromsylt.c - SYLT payload to LRC text (inline or row form), and the LRC
 * file as written.
 */
#include "internal.h"
#include "textbuffer.h"

#include <assert.h>
#include <stdlib.h>
#include <string.h>

int take_buffer(char **field)
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

/* A walk over the sync items of a SYLT payload. */
typedef struct Items {
    const unsigned char *p;
    size_t n, pos;
    int enc, frames, bigendian;
    uint32_t samples, rate;
} Items;

/* Starts a walk over the payload of id3, its descriptor decoded into s:
 * ID3_OK, or why not (a reason). */
static int items_start(Items *it, const Id3Tag *id3, Str *s)
{
    size_t len;

    memset(it, 0, sizeof *it);
    it->p = id3->sylt;
    if (it->p == NULL || id3->syltsize <= 6)
        return ID3_ESYLT;
    it->n = (size_t)id3->syltsize;
    it->enc = it->p[0];
    /* Format 1 counts MPEG frames: mutagen, among others, writes it by
     * default.  Every other format is taken as milliseconds. */
    it->frames = it->p[4] == 1;
    if (it->frames && !mpeg_frame(id3->fp, &it->samples, &it->rate))
        return ID3_ESYLT;
    len = enc_strlen(it->enc, it->p + 6, it->n - 6);
    if (len == it->n - 6)
        return ID3_ESYLT;
    if (!enc_decode(it->enc, it->p + 6, len, &it->bigendian, s)) /* sets the byte order */
        return ID3_ENOMEM;
    it->pos = 6 + len + (enc_is_wide(it->enc) ? 2 : 1);
    return ID3_OK;
}

/* The next item: its text decoded into s, its time in milliseconds (the
 * empty time for one without, or negative, or too large).  ID3_OK, -1 at
 * the end, or why not (a reason). */
static int items_next(Items *it, Str *s, int32_t *t)
{
    size_t len, at;
    uint32_t raw;

    if (it->pos >= it->n)
        return -1;
    len = enc_strlen(it->enc, it->p + it->pos, it->n - it->pos);
    if (len == it->n - it->pos)
        return ID3_ESYLT;
    at = it->pos + len + (enc_is_wide(it->enc) ? 2 : 1);
    if (it->n - at < 4)
        return ID3_ESYLT;
    raw = getint32(it->p + at, 0);
    if (raw == ID3_NOTIME || raw > INT32_MAX) {
        *t = ID3_NOTIME; /* negative times have no text form */
    } else if (it->frames) {
        int64_t ms = ((int64_t)raw * it->samples * 1000 + it->rate / 2) / it->rate;
        *t = ms >= ID3_NOTIME ? ID3_NOTIME : (int32_t)ms;
    } else {
        *t = (int32_t)raw;
    }
    if (!enc_decode(it->enc, it->p + it->pos, len, &it->bigendian, s))
        return ID3_ENOMEM;
    it->pos = at + 4;
    return ID3_OK;
}

/* The conversion itself; its result is a reason (ID3_OK on success). */
static int fromsylt(Id3Tag *id3, int wordstamps, Str *s)
{
    Items it;
    size_t len;
    int r, linestart = 1;
    int32_t t;
    char stamp[32];
    const char *text;
    const char *marker;

    if ((r = items_start(&it, id3, s)) != ID3_OK)
        return r;
    while ((r = items_next(&it, s, &t)) == ID3_OK) {
        text = s->p;
        while (*text == '\n' || *text == '\r') {
            if (!txtbuf_AppendBytes(text, 1))
                return ID3_ENOMEM;
            linestart = 1;
            text++;
        }
        marker = "";
        if (!wordstamps) {
            if (!linestart) {
                if (!txtbuf_Append("\n"))
                    return ID3_ENOMEM;
                if ((unsigned char)*text > 32 && *text != '-')
                    marker = "_";
                linestart = 1;
            } else if (*text == ' ' || *text == '-' || *text == '_') {
                marker = "#";
            }
        }
        stamp_compose(stamp, sizeof stamp, t, linestart);
        len = strlen(text);
        linestart = len > 0 && text[len - 1] == '\n';
        if (!txtbuf_Append(stamp) || !txtbuf_Append(marker) ||
            !txtbuf_AppendBytes(text, len))
            return ID3_ENOMEM;
    }
    return r < 0 ? ID3_OK : r;
}

int lrc_sameitems(Id3Tag *a, Id3Tag *b)
{
    Items ia, ib;
    Str sa = {NULL, 0, 0}, sb = {NULL, 0, 0};
    int32_t ta, tb;
    int ra, rb, same;

    assert(a != NULL && b != NULL);
    same = items_start(&ia, a, &sa) == ID3_OK && items_start(&ib, b, &sb) == ID3_OK;
    while (same) {
        ra = items_next(&ia, &sa, &ta);
        rb = items_next(&ib, &sb, &tb);
        if (ra != ID3_OK || rb != ID3_OK) {
            same = ra < 0 && rb < 0; /* both at their end together */
            break;
        }
        same = ta == tb && sa.len == sb.len && memcmp(sa.p, sb.p, sa.len) == 0;
    }
    free(sa.p);
    free(sb.p);
    return same;
}

int lrc_fromsylt(Id3Tag *id3, int wordstamps)
{
    Str s = {NULL, 0, 0};

    assert(id3 != NULL);
    assert(id3->sylt != NULL);
    txtbuf_Free();
    id3->reason = (uint8_t)fromsylt(id3, wordstamps, &s);
    if (id3->reason == ID3_OK && !take_buffer(&id3->lrc))
        id3->reason = ID3_ENOMEM;
    free(s.p);
    txtbuf_Free();
    return id3->reason == ID3_OK;
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
    id3->reason = ferror(fp) ? ID3_EWRITE : ID3_OK;
    return id3->reason == ID3_OK;
}
