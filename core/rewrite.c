/*
 * rewrite.c - a new copy of a track: the old tag's header and its frames
 * other than SYLT frames, the new SYLT frame, the old SYLT frames but the
 * one it replaces, padding where blocks can be shared, then the old audio.
 * Strict where reading is lenient: whatever cannot be copied faithfully is
 * refused.
 */
#define _POSIX_C_SOURCE 200809L /* fseeko, ftello */

#include "internal.h"

#include <assert.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#define COPY_BLOCK 65536

static int write_all(FILE *fp, const void *p, size_t n)
{
    return n == 0 || fwrite(p, 1, n, fp) == n;
}

/* Records why a step failed and returns 0. */
static int failed(Id3Tag *id3, int reason)
{
    id3->reason = (uint8_t)reason;
    return 0;
}

/* A block for copying len bytes: at most COPY_BLOCK; *n its size. */
static unsigned char *copy_block(off_t len, size_t *n)
{
    *n = len < COPY_BLOCK ? (size_t)(len > 0 ? len : 1) : COPY_BLOCK;
    return malloc(*n);
}

/* Copies len bytes of in, from offset pos, to out; with a null out, only
 * checks that they are all zero (padding).  A reason: ID3_OK, ID3_EREAD
 * (also for a file that ends early), ID3_EWRITE, ID3_ETAG (a byte that is
 * not zero), ID3_ENOMEM. */
static int copy_range(FILE *in, off_t pos, off_t len, FILE *out)
{
    unsigned char *block;
    size_t n, size, i;
    int r = ID3_OK;

    if (len == 0)
        return ID3_OK;
    if (fseeko(in, pos, SEEK_SET) != 0)
        return ID3_EREAD;
    if ((block = copy_block(len, &size)) == NULL)
        return ID3_ENOMEM;
    for (; r == ID3_OK && len > 0; len -= (off_t)n) {
        n = len < (off_t)size ? (size_t)len : size;
        if (fread(block, 1, n, in) != n)
            r = ID3_EREAD;
        else if (out != NULL && !write_all(out, block, n))
            r = ID3_EWRITE;
        for (i = 0; out == NULL && r == ID3_OK && i < n; i++)
            if (block[i] != 0)
                r = ID3_ETAG;
    }
    free(block);
    return r;
}

/* Ends a step that wrote part of the new tag: its size so far goes into
 * the context and into the tag's header, the output position kept. */
static int update_size(FILE *fp, Id3Tag *id3, int64_t size)
{
    unsigned char b[4];
    off_t pos = ftello(fp);

    id3->size = (int32_t)size;
    setint32(b, (uint32_t)size, 1);
    if (pos < 0 || fseeko(fp, 6, SEEK_SET) != 0 || !write_all(fp, b, 4) ||
        fseeko(fp, pos, SEEK_SET) != 0 || ferror(fp))
        return failed(id3, ID3_EWRITE);
    id3->reason = ID3_OK;
    return 1;
}

/* Which frames of the old tag copy_frames copies. */
enum { ALL_BUT_SYLT, ALL_BUT_REPLACED, SYLT_BUT_REPLACED };

/* Copies the frames of the old tag in `in` that `which` names (the frame
 * whose header is at `replaced` being the one replaced, and with drop_uslt
 * this program's USLT frame left out too) to out, headers and payloads
 * byte for byte, or only counts them when out is null; their bytes are
 * added to *size.  A reason. */
static int copy_frames(FILE *out, FILE *in, const TagInfo *ti, int plain, int which, off_t replaced,
                       int drop_uslt, int64_t *size)
{
    Walk w;
    Frame f;
    int r, sylt;

    walk_init(&w, in, ti, plain);
    while (walk_next(&w, &f) == W_FRAME) {
        sylt = walk_is_sylt(ti->version, &f);
        if (sylt ? which == ALL_BUT_SYLT || f.body - f.hdrlen == replaced : which == SYLT_BUT_REPLACED)
            continue;
        if (!sylt && drop_uslt && (r = tag_ours_uslt(in, &f, ti->version)) != 0) {
            if (r < 0)
                return ID3_ENOMEM;
            continue;
        }
        if (out != NULL) {
            /* Plain version-4 sizes (an earlier version of this program)
             * are written sync-safe: a tag that kept them could read back
             * both ways, and readers might take the wrong one.  The walk
             * bounded the size by the tag's, which a sync-safe field holds. */
            if (plain)
                setint32(f.header + 4, f.size, 1);
            if (!write_all(out, f.header, (size_t)f.hdrlen))
                return ID3_EWRITE;
            if ((r = copy_range(in, f.body, (off_t)f.size, out)) != ID3_OK)
                return r;
        }
        *size += f.hdrlen + (int64_t)f.size;
    }
    return ferror(in) ? ID3_EREAD : ID3_OK;
}

/* The SYLT frame of the old tag that the new payload (null: none) replaces,
 * or -1; -2 with *reason set when it cannot be told. */
static off_t replaced_frame(Id3Tag *id3, const TagInfo *ti, int plain, int *reason)
{
    off_t at;

    errno = 0;
    at = tag_replaced_sylt(id3->fp, ti, plain, id3->sylt, id3->sylt ? (size_t)id3->syltsize : 0);
    if (at == -2)
        *reason = ferror(id3->fp) ? ID3_EREAD : ID3_ENOMEM;
    return at;
}

int id3_copytag(FILE *fp, Id3Tag *id3)
{
    static const unsigned char newtag[10] = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
    TagInfo ti;
    unsigned char header[10];
    int r, plain;
    off_t padding, replaced = -1;
    int64_t size;

    assert(fp != NULL);
    assert(id3 != NULL);
    assert(id3->fp != NULL);
    r = tag_open(id3->fp, &ti);
    if (r == TAG_NONE) {
        if (ferror(id3->fp))
            return failed(id3, ID3_EREAD);
        id3->size = 0;
        id3->version = 4;
        id3->flags = 0;
        id3->plainsizes = 0;
        if (!write_all(fp, newtag, 10) || ferror(fp))
            return failed(id3, ID3_EWRITE);
        id3->reason = ID3_OK;
        return 1;
    }
    /* Copy only what can be copied faithfully: an unknown version, a tag
     * longer than the file, unsynchronisation of the whole tag (neither
     * undone nor applied here) or frames that do not walk cleanly would
     * all be garbled.  Frames unsynchronised one by one (version 4) are
     * copied byte for byte with their flags, which keeps them right. */
    if (r == TAG_UNSUPPORTED)
        return failed(id3, ID3_EVERSION);
    if (r != TAG_OK || ti.flags & 0x80 || ti.end > ti.fileend)
        return failed(id3, ferror(id3->fp) ? ID3_EREAD : ID3_ETAG);
    plain = ti.version == 4 && id3->plainsizes;
    r = walk_to_end(id3->fp, &ti, plain, &padding);
    if (r == W_BAD)
        return failed(id3, ferror(id3->fp) ? ID3_EREAD : ID3_ETAG);
    /* Padding is zero bytes.  Anything else where the frames end is data
     * the tag's size claims, audio among it (some taggers write a size
     * that runs into the audio): dropping it as padding would lose it. */
    if (r == W_PADDING && (r = copy_range(id3->fp, padding, ti.end - padding, NULL)) != ID3_OK)
        return failed(id3, r);
    /* Without a new payload the SYLT frames kept stay where they stand;
     * with one, id3_writesylt puts them after the new frame. */
    if (id3->sylt == NULL && (replaced = replaced_frame(id3, &ti, plain, &r)) == -2)
        return failed(id3, r);
    memcpy(header, ti.header, 10);
    if (ti.version == 4)
        header[5] &= ~0x10; /* the old footer is not carried over */
    if (!write_all(fp, header, 10))
        return failed(id3, ID3_EWRITE);
    if ((r = copy_range(id3->fp, 10, ti.frames - 10, fp)) != ID3_OK)
        return failed(id3, r);
    size = ti.frames - 10;
    r = copy_frames(fp, id3->fp, &ti, plain, id3->sylt == NULL ? ALL_BUT_REPLACED : ALL_BUT_SYLT,
                    replaced, id3->sylt != NULL && id3->uslt != NULL, &size);
    if (r != ID3_OK)
        return failed(id3, r);
    id3->version = ti.version;
    id3->flags = header[5];
    return update_size(fp, id3, size);
}

/* The header of a new frame (id: its version-3/4 identifier, id2 its
 * version-2 one) of size payload bytes, coded as its version has it,
 * into header.  Its length; 0 when the size cannot be coded. */
static int frame_header(const Id3Tag *id3, const char *id, const char *id2, int32_t size,
                        unsigned char header[10])
{
    int syncsafe = id3->version == 4;

    if (id3->version == 2) {
        if (size > 0xFFFFFF)
            return 0;
        memcpy(header, id2, 3);
        header[3] = (unsigned char)(size >> 16);
        header[4] = (unsigned char)(size >> 8);
        header[5] = (unsigned char)size;
        return 6;
    }
    if (syncsafe && size > SYNCSAFE_MAX)
        return 0;
    memcpy(header, id, 4);
    setint32(header + 4, (uint32_t)size, syncsafe);
    header[8] = header[9] = 0;
    return 10;
}

int id3_writesylt(FILE *fp, Id3Tag *id3)
{
    TagInfo ti;
    unsigned char header[10], uheader[10];
    int hdrlen, uhdrlen = 0, old, plain = 0, r = ID3_OK;
    off_t replaced = -1;
    int64_t size, kept = 0;

    assert(fp != NULL);
    assert(id3 != NULL);
    assert(id3->fp != NULL);
    assert(id3->version >= 2 && id3->version <= 4 && id3->size >= 0);
    if (id3->sylt == NULL || id3->syltsize <= 0)
        return failed(id3, ID3_ENOSYLT);
    if ((hdrlen = frame_header(id3, "SYLT", "SLT", id3->syltsize, header)) == 0 ||
        (id3->uslt != NULL && (uhdrlen = frame_header(id3, "USLT", "ULT", id3->usltsize, uheader)) == 0))
        return failed(id3, ID3_ETOOBIG);
    /* The old tag's other SYLT frames follow the new one (id3_copytag
     * copied that tag, so its frames walk cleanly). */
    old = tag_open(id3->fp, &ti) == TAG_OK && ti.version == id3->version;
    if (old) {
        plain = ti.version == 4 && id3->plainsizes;
        if ((replaced = replaced_frame(id3, &ti, plain, &r)) == -2 ||
            (r = copy_frames(NULL, id3->fp, &ti, plain, SYLT_BUT_REPLACED, replaced, 0, &kept)) != ID3_OK)
            return failed(id3, r);
    } else if (ferror(id3->fp)) {
        return failed(id3, ID3_EREAD);
    }
    size = (int64_t)id3->size + hdrlen + id3->syltsize + kept;
    if (id3->uslt != NULL)
        size += uhdrlen + (int64_t)id3->usltsize;
    if (size > SYNCSAFE_MAX)
        return failed(id3, ID3_ETOOBIG); /* the tag's size field could not hold it */
    if (!write_all(fp, header, (size_t)hdrlen) ||
        !write_all(fp, id3->sylt, (size_t)id3->syltsize) ||
        (id3->uslt != NULL && (!write_all(fp, uheader, (size_t)uhdrlen) ||
                               !write_all(fp, id3->uslt, (size_t)id3->usltsize))))
        return failed(id3, ID3_EWRITE);
    kept = 0;
    if (old && (r = copy_frames(fp, id3->fp, &ti, plain, SYLT_BUT_REPLACED, replaced, 0, &kept)) != ID3_OK)
        return failed(id3, r);
    return update_size(fp, id3, size);
}

/* Pads the new tag with zero bytes, where the caller named a block size
 * and the old file has audio (from audio to fileend), so that the tag ends
 * at the offset within a block where the old audio starts: every block of
 * the old file after the one that holds the audio's start then has its
 * twin, at a block boundary, in the new file, and a file system that
 * shares blocks can share them.  Fewer than blocksize bytes, counted in
 * the tag's size; none where the size field could not hold them. */
static int pad_to_block(FILE *fp, Id3Tag *id3, off_t audio, off_t fileend)
{
    static const unsigned char zeros[4096];
    uint32_t block = id3->blocksize;
    int64_t end = 10 + (int64_t)id3->size, size = id3->size, pad, n;

    if (block < 2 || block > ID3_MAXBLOCK || fileend == OFF_UNKNOWN || fileend <= audio)
        return 1;
    pad = ((int64_t)(audio % block) - end % block + block) % block;
    if (pad == 0 || id3->size + pad > SYNCSAFE_MAX)
        return 1;
    for (; pad > 0; pad -= n) {
        n = pad < (int64_t)sizeof zeros ? pad : (int64_t)sizeof zeros;
        if (!write_all(fp, zeros, (size_t)n))
            return 0;
        size += n;
    }
    return update_size(fp, id3, size);
}

/* Copies len bytes of in from pos to out through the system
 * (syscopy_range): with a block size named, the bytes up to in's next
 * block boundary first, so that the rest starts at a boundary of both
 * files.  *copied: how many the system copied; the rest is the caller's. */
static int copy_by_system(FILE *in, off_t pos, off_t len, FILE *out, uint32_t block,
                          off_t *copied)
{
    off_t head = block >= 2 && block <= ID3_MAXBLOCK ? (block - pos % block) % block : 0, more;
    int r;

    *copied = 0;
    if (head > 0 && head < len &&
        ((r = syscopy_range(in, pos, head, out, copied)) != ID3_OK || *copied < head))
        return r;
    r = syscopy_range(in, pos + *copied, len - *copied, out, &more);
    *copied += more;
    return r;
}

/* Copies in from pos to its end, whatever its length, to out. */
static int copy_to_end(FILE *in, off_t pos, FILE *out)
{
    unsigned char *block;
    size_t n;
    int ok = 1;

    if (fseeko(in, pos, SEEK_SET) != 0)
        return ID3_EREAD;
    block = malloc(COPY_BLOCK);
    if (block == NULL)
        return ID3_ENOMEM;
    while (ok && (n = fread(block, 1, COPY_BLOCK, in)) > 0)
        ok = write_all(out, block, n);
    free(block);
    if (!ok || ferror(out))
        return ID3_EWRITE;
    return ferror(in) ? ID3_EREAD : ID3_OK;
}

int id3_appendmp3(FILE *fp, Id3Tag *id3)
{
    TagInfo ti;
    off_t audio, copied = 0;
    int r;

    assert(fp != NULL);
    assert(id3 != NULL);
    assert(id3->fp != NULL);
    r = tag_open(id3->fp, &ti);
    audio = tag_audiostart(id3->fp, &ti, r != TAG_NONE);
    if (!pad_to_block(fp, id3, audio, ti.fileend))
        return failed(id3, ID3_EWRITE);
    if (ti.fileend != OFF_UNKNOWN && ti.fileend > audio &&
        (r = copy_by_system(id3->fp, audio, ti.fileend - audio, fp, id3->blocksize, &copied)) != ID3_OK)
        return failed(id3, r);
    /* What the system did not copy, and anything the track grew by since
     * its length was taken: today's loop, to the end. */
    if ((r = copy_to_end(id3->fp, audio + copied, fp)) != ID3_OK)
        return failed(id3, r);
    id3->reason = ID3_OK;
    return 1;
}

int id3_rewrite(FILE *fp, Id3Tag *id3)
{
    return id3_copytag(fp, id3) && (id3->sylt == NULL || id3_writesylt(fp, id3)) &&
           id3_appendmp3(fp, id3);
}
