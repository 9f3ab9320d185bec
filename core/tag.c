/*
 * tag.c - the tag context, the tag header, the frame walk and the frame
 * bodies that id3_readsylt reads.
 *
 * Reading is layered so that no layer reads past what it checked:
 *   1. the tag header (tag_open): magic, version, flags, sync-safe size,
 *      extended header, file length;
 *   2. the frame walk (walk_next), shared with the rewrite: one frame
 *      header at a time, each checked against the tag's end and the file's;
 *   3. frame bodies (read_body), which undo what the frame's flags did to
 *      the payload and then work on bytes and a length only; text
 *      encodings are decoded to UTF-8 once, at this boundary.
 */
#define _POSIX_C_SOURCE 200809L /* fseeko, ftello, fmemopen */

#include "internal.h"

#include <assert.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

/* ------------------------------------------------------------------ */
/* Layer 1: the tag header                                             */
/* ------------------------------------------------------------------ */

int read_at(FILE *fp, off_t pos, void *buf, size_t n)
{
    return fseeko(fp, pos, SEEK_SET) == 0 && fread(buf, 1, n, fp) == n;
}

/* The length of the file behind fp, or OFF_UNKNOWN: a regular file's from
 * its descriptor (a seek to the end would have the C library read the
 * file's last block, and the next read at the start read the first one
 * again), other streams' by seeking to their end. */
static off_t stream_length(FILE *fp)
{
    struct stat st;
    off_t len;
    int fd = fileno(fp);

    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        return st.st_size;
    if (fseeko(fp, 0, SEEK_END) == 0 && (len = ftello(fp)) >= 0)
        return len;
    return OFF_UNKNOWN;
}

int tag_open(FILE *fp, TagInfo *ti)
{
    unsigned char ext[4];
    int64_t extlen;

    memset(ti, 0, sizeof *ti);
    ti->fileend = stream_length(fp);
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

off_t tag_audiostart(FILE *fp, const TagInfo *ti, int found)
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

void walk_init(Walk *w, FILE *fp, const TagInfo *ti, int plain)
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

int walk_next(Walk *w, Frame *f)
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

int walk_to_end(FILE *fp, const TagInfo *ti, int plain, off_t *padding)
{
    Walk w;
    Frame f;
    int r;

    walk_init(&w, fp, ti, plain);
    while ((r = walk_next(&w, &f)) == W_FRAME)
        ;
    if (padding != NULL)
        *padding = w.pos;
    return r;
}

int walk_is_sylt(int version, const Frame *f)
{
    return strcmp(f->id, version == 2 ? "SLT" : "SYLT") == 0;
}

/* ------------------------------------------------------------------ */
/* Layer 3: frame bodies                                               */
/* ------------------------------------------------------------------ */

/* Undoes unsynchronisation in place: every zero byte that a writer put
 * after a 0xFF byte is dropped.  Returns the new length. */
static size_t resync(unsigned char *p, size_t n)
{
    size_t i, j = 0;

    for (i = 0; i < n; i++) {
        p[j++] = p[i];
        if (p[i] == 0xFF && i + 1 < n && p[i + 1] == 0)
            i++;
    }
    return j;
}

enum { BODY_OK, BODY_SKIP, BODY_COMPRESSED, BODY_NOMEM };

/* Reads the payload of f into a new block *body of *len bytes, as its
 * flags leave it to be parsed: unsynchronisation undone (when the frame's
 * flag or `unsync` says so) and the bytes that the flags add in front of
 * the data (group, encryption method, data length) skipped.  Only the
 * first `limit` bytes of the frame as stored are read.  BODY_SKIP for an
 * encrypted frame, a compressed text frame, a body too short for what its
 * flags announce, or a failed read; BODY_COMPRESSED for a compressed frame
 * that is not skipped; nothing is then kept. */
static int read_body(FILE *fp, const Frame *f, int version, int unsync, int sylt, size_t limit,
                     unsigned char **body, size_t *len)
{
    unsigned char fl = version == 2 ? 0 : f->header[9];
    size_t skip = 0, n, stored = f->size < limit ? f->size : limit;
    unsigned char *p;

    *body = NULL;
    if (version == 3) {
        /* The second flags byte: 0x80 compressed (zlib, with a 4-byte
         * size in front), 0x40 encrypted, 0x20 grouped (a group byte). */
        if (fl & 0x40)
            return BODY_SKIP;
        if (fl & 0x80)
            return sylt ? BODY_COMPRESSED : BODY_SKIP;
        skip = fl & 0x20 ? 1 : 0;
    } else if (version == 4) {
        /* The format byte: 0x40 grouped, 0x08 compressed, 0x04 encrypted,
         * 0x02 unsynchronised, 0x01 data length indicator (4 bytes). */
        if (fl & 0x04)
            return BODY_SKIP;
        if (fl & 0x08)
            return sylt ? BODY_COMPRESSED : BODY_SKIP;
        skip = (fl & 0x40 ? 1 : 0) + (fl & 0x01 ? 4 : 0);
        if (fl & 0x02)
            unsync = 1;
    }
    p = malloc(stored ? stored : 1);
    if (p == NULL)
        return BODY_NOMEM;
    if (!read_at(fp, f->body, p, stored)) {
        free(p);
        return BODY_SKIP;
    }
    n = unsync ? resync(p, stored) : stored;
    if (n < skip) {
        free(p);
        return BODY_SKIP;
    }
    memmove(p, p + skip, n - skip);
    *body = p;
    *len = n - skip;
    return BODY_OK;
}

/* Whether a SYLT payload holds lyrics: content type 1. */
static int holds_lyrics(const unsigned char *body, size_t len)
{
    return len >= 6 && body[5] == 1;
}

off_t tag_replaced_sylt(FILE *fp, const TagInfo *ti, int plain, const unsigned char *payload,
                        size_t n)
{
    Walk w;
    Frame f;
    unsigned char *body;
    size_t len;
    off_t same = -1;
    int r;

    walk_init(&w, fp, ti, plain);
    while (walk_next(&w, &f) == W_FRAME) {
        if (!walk_is_sylt(ti->version, &f))
            continue;
        /* The content type is the sixth byte; a few stored bytes more
         * cover what unsynchronisation and the flags add in front. */
        r = read_body(fp, &f, ti->version, 0, 1, 32, &body, &len);
        if (r == BODY_NOMEM)
            return -2;
        if (r == BODY_OK && holds_lyrics(body, len)) {
            free(body);
            return f.body - f.hdrlen;
        }
        free(body);
        /* A frame saved again unchanged (its payload at most doubled by
         * unsynchronisation, plus the flags' bytes). */
        if (payload == NULL || same >= 0 || f.size < n || f.size / 2 > n + 5)
            continue;
        r = read_body(fp, &f, ti->version, 0, 1, SIZE_MAX, &body, &len);
        if (r == BODY_NOMEM)
            return -2;
        if (r == BODY_OK && len == n && memcmp(body, payload, n) == 0)
            same = f.body - f.hdrlen;
        free(body);
    }
    return ferror(fp) ? -2 : same;
}

int tag_ours_uslt(FILE *fp, const Frame *f, int version)
{
    unsigned char *body;
    size_t len, dlen;
    Str s = {NULL, 0, 0};
    int r, bigendian = 0, ours = 0;

    if (strcmp(f->id, version == 2 ? "ULT" : "USLT") != 0)
        return 0;
    r = read_body(fp, f, version, 0, 0, SIZE_MAX, &body, &len);
    if (r == BODY_NOMEM)
        return -1;
    if (r != BODY_OK)
        return 0;
    if (len > 4) {
        dlen = enc_strlen(body[0], body + 4, len - 4);
        if (!enc_decode(body[0], body + 4, dlen, &bigendian, &s))
            ours = -1;
        else
            ours = strcmp(s.p, DESCRIPTOR) == 0;
    }
    free(s.p);
    free(body);
    return ours;
}

/* For a version-2 or -3 tag unsynchronised as a whole: a stream over a
 * copy of the tag with the unsynchronisation undone, its header's size
 * field telling the new length.  Null when memory runs out or the tag
 * cannot be read; *block is then null too. */
static FILE *open_resynced(FILE *fp, const TagInfo *ti, unsigned char **block)
{
    off_t end = ti->end < ti->fileend ? ti->end : ti->fileend;
    size_t n = end > 10 ? (size_t)(end - 10) : 0;
    unsigned char *p;
    FILE *mem;

    *block = NULL;
    p = malloc(10 + n);
    if (p == NULL)
        return NULL;
    if (!read_at(fp, 10, p + 10, n)) {
        free(p);
        return NULL;
    }
    memcpy(p, ti->header, 10);
    n = resync(p + 10, n);
    setint32(p + 6, (uint32_t)n, 1);
    mem = fmemopen(p, 10 + n, "r");
    if (mem == NULL) {
        free(p);
        return NULL;
    }
    *block = p;
    return mem;
}

/* ------------------------------------------------------------------ */
/* Opening, closing, reading the SYLT frame                            */
/* ------------------------------------------------------------------ */

/* Whether the frames walk to the tag's exact end, or to padding of zero
 * bytes only, their sizes read as plain integers or (plain 0) sync-safe.
 * Padding that holds anything else is where a walk went astray: the
 * misread size of a frame can land on a zero byte inside another. */
static int walks_cleanly(FILE *fp, const TagInfo *ti, int plain)
{
    unsigned char block[512];
    off_t pos, left;
    size_t n, i;
    int r = walk_to_end(fp, ti, plain, &pos);

    if (r != W_PADDING)
        return r == W_END;
    for (left = ti->end - pos; left > 0; left -= (off_t)n, pos += (off_t)n) {
        n = left < (off_t)sizeof block ? (size_t)left : sizeof block;
        if (!read_at(fp, pos, block, n))
            return 0;
        for (i = 0; i < n; i++)
            if (block[i] != 0)
                return 0;
    }
    return 1;
}

int id3_init(FILE *fp, Id3Tag *id3)
{
    TagInfo ti;
    int r;

    assert(id3 != NULL);
    memset(id3, 0, sizeof *id3);
    id3->fp = fp;
    id3->reason = ID3_ENOTAG;
    if (fp == NULL)
        return 0;
    r = tag_open(fp, &ti);
    if (r == TAG_NONE)
        return 0;
    id3->version = ti.version;
    id3->flags = ti.flags;
    id3->size = ti.size;
    if (r == TAG_UNSUPPORTED)
        id3->reason = ID3_EVERSION;
    else if (r == TAG_BAD)
        id3->reason = ID3_ETAG;
    if (r != TAG_OK || ti.size == 0)
        return 0;
    /* Earlier versions of this program wrote version-4 frame sizes as plain
     * integers: take them so only when the sync-safe walk fails and the
     * plain one lands cleanly. */
    if (ti.version == 4 && !walks_cleanly(fp, &ti, 0) && walks_cleanly(fp, &ti, 1))
        id3->plainsizes = 1;
    if (fseeko(fp, ti.frames, SEEK_SET) != 0) {
        id3->reason = ID3_EREAD;
        return 0;
    }
    id3->reason = ID3_OK;
    return 1;
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
    free(id3->uslt);
    id3->uslt = NULL;
}

int id3_setsylt(Id3Tag *id3, const void *payload, size_t size)
{
    unsigned char *block;

    assert(id3 != NULL);
    free(id3->sylt);
    id3->sylt = NULL;
    id3->syltsize = 0;
    if (size == 0 || size > INT32_MAX || payload == NULL) {
        id3->reason = ID3_ENOSYLT;
        return 0;
    }
    if ((block = malloc(size)) == NULL) {
        id3->reason = ID3_ENOMEM;
        return 0;
    }
    memcpy(block, payload, size);
    id3->sylt = block;
    id3->syltsize = (int32_t)size;
    id3->reason = ID3_OK;
    return 1;
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

/* Loads body as the context's payload; ID3_OK, or ID3_ENOSYLT for one too
 * large to be held. */
static int take_sylt(Id3Tag *id3, unsigned char *body, size_t len)
{
    if (len > INT32_MAX) {
        free(body);
        return ID3_ENOSYLT;
    }
    free(id3->sylt);
    id3->sylt = body;
    id3->syltsize = (int32_t)len;
    return ID3_OK;
}

/* The walk of id3_readsylt over the frames of a tag in fp; its result is a
 * reason (ID3_OK: a frame was loaded, the stream then after it). */
static int read_frames(Id3Tag *id3, FILE *fp, const TagInfo *ti, int unsync, int texts_only)
{
    Walk w;
    Frame f;
    char **field, *text;
    unsigned char *body, *first = NULL;
    size_t len, firstlen = 0;
    off_t firstend = 0;
    int sylt, r, compressed = 0;

    walk_init(&w, fp, ti, ti->version == 4 && id3->plainsizes);
    while (walk_next(&w, &f) == W_FRAME) {
        sylt = walk_is_sylt(ti->version, &f);
        field = sylt ? NULL : text_field(id3, ti->version, &f);
        if ((sylt && texts_only) || (!sylt && (field == NULL || f.size == 0))) /* size 0: no text */
            continue;
        r = read_body(fp, &f, ti->version, unsync, sylt, SIZE_MAX, &body, &len);
        if (r == BODY_NOMEM) {
            free(first);
            return ID3_ENOMEM;
        }
        if (sylt && r == BODY_COMPRESSED && first == NULL)
            compressed = 1; /* the first SYLT frame, should none hold lyrics */
        if (r != BODY_OK)
            continue;
        if (sylt && holds_lyrics(body, len)) {
            /* The frame a rewrite replaces: the lyrics. */
            free(first);
            if (fseeko(fp, f.body + (off_t)f.size, SEEK_SET) != 0) {
                free(body);
                return ID3_EREAD;
            }
            return take_sylt(id3, body, len);
        }
        if (sylt) {
            /* Synchronised text of another kind (chords, a translation
             * marked otherwise): taken when no frame holds lyrics. */
            if (first == NULL && !compressed) {
                first = body;
                firstlen = len;
                firstend = f.body + (off_t)f.size;
            } else {
                free(body);
            }
            continue;
        }
        text = enc_textframe(body, len);
        free(body);
        if (text != NULL) {
            free(*field);
            *field = text;
        }
    }
    if (texts_only)
        return ferror(fp) ? ID3_EREAD : ID3_OK;
    if (first != NULL) {
        if (fseeko(fp, firstend, SEEK_SET) != 0) {
            free(first);
            return ID3_EREAD;
        }
        return take_sylt(id3, first, firstlen);
    }
    if (compressed)
        return ID3_ECOMPRESSED;
    return ferror(fp) ? ID3_EREAD : ID3_ENOSYLT;
}

/* id3_readsylt, or with texts_only id3_readtexts. */
static int read_tag(Id3Tag *id3, int texts_only)
{
    TagInfo ti, mi;
    FILE *mem;
    unsigned char *block;
    int r;

    assert(id3 != NULL);
    assert(id3->fp != NULL);
    assert(id3->version >= 2 && id3->version <= 4 && id3->size > 0);
    if (tag_open(id3->fp, &ti) != TAG_OK) {
        id3->reason = ferror(id3->fp) ? ID3_EREAD : ID3_ETAG;
        return 0;
    }
    if (ti.version == 4 || !(ti.flags & 0x80)) {
        /* Version 4 unsynchronises frame by frame; the tag's flag says
         * that every frame is. */
        id3->reason = (uint8_t)read_frames(id3, id3->fp, &ti, ti.version == 4 && (ti.flags & 0x80),
                                           texts_only);
        return id3->reason == ID3_OK;
    }

    /* Versions 2 and 3 unsynchronise the tag as a whole, so the frame
     * sizes count the bytes after it is undone.  Some writers count them
     * before: when only that reading walks cleanly, take it, undoing the
     * unsynchronisation frame by frame. */
    mem = open_resynced(id3->fp, &ti, &block);
    if (mem == NULL) {
        id3->reason = ferror(id3->fp) ? ID3_EREAD : ID3_ENOMEM;
        return 0;
    }
    if (tag_open(mem, &mi) == TAG_OK &&
        (walk_to_end(mem, &mi, 0, NULL) != W_BAD || walk_to_end(id3->fp, &ti, 0, NULL) == W_BAD)) {
        r = read_frames(id3, mem, &mi, 0, texts_only);
        if (r == ID3_OK && fseeko(id3->fp, ti.end, SEEK_SET) != 0)
            r = ID3_EREAD;
    } else {
        r = read_frames(id3, id3->fp, &ti, 1, texts_only);
    }
    fclose(mem);
    free(block);
    id3->reason = (uint8_t)r;
    return r == ID3_OK;
}

int id3_readsylt(Id3Tag *id3)
{
    return read_tag(id3, 0);
}

int id3_readtexts(Id3Tag *id3)
{
    return read_tag(id3, 1);
}

int id3_holdsuslt(Id3Tag *id3)
{
    TagInfo ti;
    Walk w;
    Frame f;
    unsigned char *body;
    size_t len;
    int held = 0;

    assert(id3 != NULL && id3->fp != NULL);
    if (id3->uslt == NULL || tag_open(id3->fp, &ti) != TAG_OK)
        return 0;
    walk_init(&w, id3->fp, &ti, ti.version == 4 && id3->plainsizes);
    while (!held && walk_next(&w, &f) == W_FRAME) {
        if (tag_ours_uslt(id3->fp, &f, ti.version) != 1 ||
            read_body(id3->fp, &f, ti.version, 0, 0, SIZE_MAX, &body, &len) != BODY_OK)
            continue;
        held = len == (size_t)id3->usltsize && memcmp(body, id3->uslt, len) == 0;
        free(body);
    }
    return held;
}
