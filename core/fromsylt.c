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

/* The conversion itself; its result is a reason (ID3_OK on success). */
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
        return ID3_ESYLT;
    n = (size_t)id3->syltsize;
    enc = p[0];
    /* Format 1 counts MPEG frames: mutagen, among others, writes it by
     * default.  Every other format is taken as milliseconds. */
    frames = p[4] == 1;
    if (frames && !mpeg_frame(id3->fp, &samples, &rate))
        return ID3_ESYLT;
    len = enc_strlen(enc, p + 6, n - 6);
    if (len == n - 6)
        return ID3_ESYLT;
    if (!enc_decode(enc, p + 6, len, &bigendian, s)) /* sets the byte order */
        return ID3_ENOMEM;
    pos = 6 + len + (enc_is_wide(enc) ? 2 : 1);
    while (pos < n) {
        len = enc_strlen(enc, p + pos, n - pos);
        if (len == n - pos)
            return ID3_ESYLT;
        at = pos + len + (enc_is_wide(enc) ? 2 : 1);
        if (n - at < 4)
            return ID3_ESYLT;
        raw = getint32(p + at, 0);
        if (raw == ID3_NOTIME || raw > INT32_MAX) {
            t = ID3_NOTIME; /* negative times have no text form */
        } else if (frames) {
            int64_t ms = ((int64_t)raw * samples * 1000 + rate / 2) / rate;
            t = ms >= ID3_NOTIME ? ID3_NOTIME : (int32_t)ms;
        } else {
            t = (int32_t)raw;
        }
        if (!enc_decode(enc, p + pos, len, &bigendian, s))
            return ID3_ENOMEM;
        pos = at + 4;

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
    return ID3_OK;
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
