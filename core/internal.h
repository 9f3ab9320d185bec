/*
 * internal.h - names the core's own source files share.  Private: nothing
 * outside core/ (and the core's unit tests) includes it; sylt.h is the one
 * public contract.
 *
 * The files, by layer:
 *   tag.c       tag header, frame walk, frame bodies; id3_init, id3_close,
 *               id3_readsylt
 *   textenc.c   text encodings: decoding on read, UTF-16 and UTF-8 on write
 *   stamps.c    time-stamp text: lrc_timestamp and its helpers
 *   mpeg.c      the first MPEG audio frames after the tag; id3_ismpeg
 *   fromsylt.c  SYLT payload to LRC text; lrc_fromsylt, lrc_write
 *   lrcread.c   LRC files; lrc_read
 *   tosylt.c    LRC text to SYLT payload; lrc_tosylt
 *   rewrite.c   a new copy of a track; id3_copytag, id3_writesylt,
 *               id3_appendmp3
 *   syscopy.c   the platform layer: copying between files in the kernel
 */
#ifndef LYRASIL_CORE_INTERNAL_H
#define LYRASIL_CORE_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/types.h>

#include "sylt.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SYNCSAFE_MAX 0x0FFFFFFF     /* largest value of a sync-safe field */
#define DESCRIPTOR "Quorvane Lyrasil"
#define OFF_UNKNOWN ((off_t)INT64_MAX)

/* --- integer codings --- */

static inline uint32_t getint24(const unsigned char *p)
{
    return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
}

/* Sync-safe: the low seven bits of each byte; plain: big-endian. */
static inline uint32_t getint32(const unsigned char *p, int syncsafe)
{
    if (syncsafe)
        return (uint32_t)(p[0] & 0x7F) << 21 | (uint32_t)(p[1] & 0x7F) << 14 |
               (uint32_t)(p[2] & 0x7F) << 7 | (uint32_t)(p[3] & 0x7F);
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

static inline void setint32(unsigned char *p, uint32_t v, int syncsafe)
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

/* --- tag.c: the tag header and the frame walk --- */

enum { TAG_NONE, TAG_UNSUPPORTED, TAG_BAD, TAG_OK };

typedef struct TagInfo {
    unsigned char header[10];
    uint8_t version, flags;
    int32_t size;        /* bytes after the header */
    off_t frames;        /* offset of the first frame */
    off_t end;           /* offset just past the tag: 10 + size */
    off_t fileend;       /* length of the file, or OFF_UNKNOWN */
} TagInfo;

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

/* Seeks to pos and reads exactly n bytes. */
int read_at(FILE *fp, off_t pos, void *buf, size_t n);

/* Reads the tag header at the start of fp.  TAG_NONE: no "ID3" (or fewer
 * than 10 bytes); TAG_UNSUPPORTED: a version other than 2, 3 or 4; TAG_BAD:
 * an extended header that does not fit in the tag; TAG_OK otherwise. */
int tag_open(FILE *fp, TagInfo *ti);

/* Where the audio starts: after the tag and, in version 4, its footer;
 * 0 when there is no tag (found: tag_open did not give TAG_NONE). */
off_t tag_audiostart(FILE *fp, const TagInfo *ti, int found);

void walk_init(Walk *w, FILE *fp, const TagInfo *ti, int plain);

/* Reads the next frame header.  W_FRAME: *f describes a frame whose payload
 * lies inside the tag and the file; W_PADDING: a zero identifier, w->pos
 * then standing at it; W_END: the tag's exact end; W_BAD: anything else
 * (short read, bad identifier, a size that is negative or runs past the
 * tag or the file). */
int walk_next(Walk *w, Frame *f);

/* The result that ends a walk over the whole tag: W_PADDING, W_END or
 * W_BAD; with W_PADDING, *padding (when not null) is where it starts. */
int walk_to_end(FILE *fp, const TagInfo *ti, int plain, off_t *padding);

int walk_is_sylt(int version, const Frame *f);

/* Whether f is a USLT (version 2: ULT) frame whose descriptor is this
 * program's: 1 or 0; -1 when memory runs out. */
int tag_ours_uslt(FILE *fp, const Frame *f, int version);

/* Where the header of the SYLT frame that a rewrite replaces starts: the
 * first SYLT frame holding lyrics (content type 1) or, when there is none,
 * the first whose payload is the n bytes at payload (a frame saved again
 * as it was read; none for a null payload).  -1 when no frame is replaced;
 * -2 when reading fails (ferror) or memory runs out.  Frames whose content
 * cannot be read (compressed, encrypted) are never replaced. */
off_t tag_replaced_sylt(FILE *fp, const TagInfo *ti, int plain, const unsigned char *payload,
                        size_t n);

/* --- textenc.c: text encodings --- */

enum { ENC_LATIN1, ENC_UTF16, ENC_UTF16BE, ENC_UTF8 };

/* A growable byte string; p is null until the first reservation. */
typedef struct Str {
    char *p;
    size_t len, cap;
} Str;

/* Makes room for extra more bytes after len.  0 when memory runs out or
 * the size would wrap; the contents are then unchanged. */
int str_reserve(Str *s, size_t extra);

/* Appends cp as UTF-8; room for 4 bytes must be reserved. */
void str_putcp(Str *s, uint32_t cp);

/* Output built twice by the same code: counted while p is null, then
 * written into a block of the counted size. */
typedef struct Sink {
    char *p;
    size_t len;
} Sink;

static inline void sink_put(Sink *o, const void *s, size_t n)
{
    if (o->p != NULL)
        memcpy(o->p + o->len, s, n);
    o->len += n;
}

/* Decodes one UTF-8 sequence at p (n > 0 bytes available).  Returns its
 * length and stores the code point, or returns 0 for an invalid sequence
 * (overlong forms, surrogates and values above U+10FFFF included). */
size_t utf8_next(const unsigned char *p, size_t n, uint32_t *cp);

int utf8_valid(const unsigned char *p, size_t n);

/* Decodes one UTF-16 character at p (n bytes available) in the byte order
 * be (1: big-endian): a surrogate pair, or one code unit (a lone surrogate
 * giving U+FFFD).  Returns the bytes it took, 0 when fewer than 2 remain. */
size_t utf16_next(const unsigned char *p, size_t n, int be, uint32_t *cp);

/* The character of a Windows-1252 byte; U+FFFD for the five bytes the code
 * page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D). */
uint32_t cp1252_char(unsigned char b);

/* Appends n bytes to s as UTF-8: valid UTF-8 sequences as they are, every
 * other byte as its Windows-1252 character.  0 when memory runs out. */
int enc_utf8_or_cp1252(Str *s, const unsigned char *p, size_t n);

/* Whether encoding byte enc declares UTF-16 (1 or 2). */
int enc_is_wide(int enc);

/* Length of the string at p (n bytes available) up to its terminator: one
 * zero byte, or two at an even offset in UTF-16.  n when there is none. */
size_t enc_strlen(int enc, const unsigned char *p, size_t n);

/* Decodes n bytes (no terminator) of encoding enc into s, replacing its
 * contents, and NUL-terminates it (s->len excludes the NUL; a decoded
 * U+0000 stays in the string as a zero byte).  *bigendian carries the
 * byte order of the last byte order mark from string to string.  Returns
 * 0 only when memory runs out. */
int enc_decode(int enc, const unsigned char *p, size_t n, int *bigendian, Str *s);

/* A text frame's body (encoding byte, then text up to its terminator) as
 * a malloc'd UTF-8 string; null for an empty body or exhausted memory. */
char *enc_textframe(const unsigned char *body, size_t n);

/* Codes cp as UTF-16 little-endian into out; returns 2 or 4. */
size_t enc_utf16le(uint32_t cp, unsigned char out[4]);

/* --- stamps.c: time-stamp text --- */

int is_blank(int c);    /* 1 to 32 */
int is_digit(int c);

/* "[mm:ss.xx]" (line) or "<mm:ss.xx>", rounded to hundredths; the empty
 * stamp for ID3_NOTIME and negative times. */
void stamp_compose(char *out, size_t n, int32_t t, int line);

/* The same, exact to the millisecond: "mm:ss.xx" when t is a whole number
 * of hundredths, "mm:ss.xxx" otherwise. */
void stamp_compose_exact(char *out, size_t n, int32_t t, int line);

/* Length of the stamp (valid, or the empty "[]" / "<>") starting at s, 0
 * when none does; its time through *time. */
size_t stamp_at(const char *s, int32_t *time);

/* --- mpeg.c --- */

/* The duration of one MPEG audio frame of the track, as samples / rate,
 * from the first frame header in the 64 KiB after the tag.  0 when fp is
 * null, there is no header, the track cannot be read or memory runs out. */
int mpeg_frame(FILE *fp, uint32_t *samples, uint32_t *rate);

/* --- syscopy.c: the platform layer --- */

/* Copies up to len bytes of in, from offset pos, to out at its position,
 * inside the kernel where the system offers that (Linux: copy_file_range,
 * which shares blocks where the file system can and both offsets are
 * multiples of its block size).  out is flushed first; afterwards it
 * stands after the copied bytes, and in's position is undefined.  *copied
 * tells how many were copied: fewer than len, 0 included, where the
 * system declines the copy (another system, kernel or file system, a
 * stream without a descriptor) or in ends early, the rest being the
 * caller's to copy.  Returns ID3_OK; ID3_EWRITE (or ID3_ENOMEM), errno
 * set, when flushing, the copy or positioning out failed. */
int syscopy_range(FILE *in, off_t pos, off_t len, FILE *out, off_t *copied);

/* --- fromsylt.c --- */

/* Moves the text buffer's string (or "" when it is empty) into a new
 * block for *field, the old block freed, and empties the buffer.  0 when
 * memory runs out: *field is then unchanged. */
int take_buffer(char **field);

#ifdef __cplusplus
}
#endif

#endif
