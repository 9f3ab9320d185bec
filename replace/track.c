/*
 * track.c - reading and rewriting a track safely (see track.h).
 */
#define _GNU_SOURCE /* open_memstream */

#include "track.h"

#include <assert.h>
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#endif

/* The track result for a core reason. */
static int from_reason(Track *t, int reason)
{
    switch (reason) {
    case ID3_OK:
        return TRACK_OK;
    case ID3_EREAD:
        t->err = errno != 0 ? errno : EIO;
        return TRACK_READ;
    case ID3_EWRITE:
        t->err = errno != 0 ? errno : EIO;
        return TRACK_WRITE;
    case ID3_ENOMEM:
        t->err = ENOMEM;
        return TRACK_NOMEM;
    case ID3_EVERSION:
        return TRACK_VERSION;
    case ID3_ENOTMPEG:
        return TRACK_NOTMP3;
    case ID3_ENOTAG:
        return TRACK_NOTAG;
    case ID3_ENOSYLT:
        return TRACK_NOSYLT;
    case ID3_ECOMPRESSED:
        return TRACK_COMPRESSED;
    case ID3_ESYLT:
        return TRACK_BADSYLT;
    case ID3_ETOOBIG:
        return TRACK_TOOBIG;
    default:
        return TRACK_TAG;
    }
}

/* The block size of the file system that holds the new copy (out), when
 * it can share blocks with the track (in), for the core to pad the tag to
 * (sylt.h, blocksize); 0 when it cannot, and the tag gets no padding.
 * Sharing takes a file system that shares blocks through copy_file_range
 * (XFS, btrfs, bcachefs; others that can clone, such as NFS, copy their
 * own way), the same one for both files, and one made able to: XFS made
 * without reflink is not.  That is asked by cloning nothing onto the new,
 * still empty file: only a file system that can clone it accepts. */
static uint32_t shared_blocksize(int in, int out)
{
#if defined(__linux__) && defined(FICLONERANGE)
    struct file_clone_range nothing = {0};
    struct stat a, b;
    struct statfs fs;

    if (fstat(in, &a) != 0 || fstat(out, &b) != 0 || a.st_dev != b.st_dev || fstatfs(out, &fs) != 0)
        return 0;
    switch ((uint32_t)fs.f_type) {
    case 0x58465342u: /* XFS */
    case 0x9123683Eu: /* btrfs */
    case 0xCA451A4Eu: /* bcachefs */
        break;
    default:
        return 0;
    }
    if (fs.f_bsize < 512 || fs.f_bsize > ID3_MAXBLOCK || (fs.f_bsize & (fs.f_bsize - 1)) != 0)
        return 0;
    /* From the (empty) file's end onto itself: changes nothing, and a
     * file that is not empty refuses it as an overlap. */
    nothing.src_fd = out;
    return ioctl(out, FICLONERANGE, &nothing) == 0 ? (uint32_t)fs.f_bsize : 0;
#else
    (void)in;
    (void)out;
    return 0;
#endif
}

static int replace_failed(Track *t, int result)
{
    t->replaced = result;
    t->err = errno;
    return TRACK_REPLACE;
}

int track_open(Track *t, const char *name, int mpeg)
{
    int result;

    assert(t != NULL && name != NULL);
    memset(t, 0, sizeof *t);
    t->out.targetfd = t->out.tmpfd = -1;
    if ((t->name = strdup(name)) == NULL) {
        t->err = ENOMEM;
        return TRACK_NOMEM;
    }
    result = replace_read_open(name, &t->fp, &t->st, &t->out.target);
    if (result == REPLACE_LINK)
        return replace_failed(t, result);
    if (result != REPLACE_OK) {
        t->err = errno;
        return result == REPLACE_NOTREG && errno == EINVAL ? TRACK_NOTREG
               : result == REPLACE_NOMEM ? TRACK_NOMEM : TRACK_OPEN;
    }
    errno = 0;
    t->hastag = id3_init(t->fp, &t->tag);
    if (!mpeg)
        return TRACK_OK;
    /* "ID3" of a version this program does not know is no missing tag:
     * a new tag in front of it would hide it. */
    if (t->tag.reason == ID3_EVERSION)
        return TRACK_VERSION;
    /* Whatever the name says, a WAV or a text file must not get a tag. */
    errno = 0;
    return id3_ismpeg(&t->tag) ? TRACK_OK : from_reason(t, t->tag.reason);
}

int track_readsylt(Track *t, int wordstamps)
{
    assert(t != NULL && t->fp != NULL);
    errno = 0;
    if (!t->hastag)
        return t->tag.reason == ID3_EREAD ? from_reason(t, ID3_EREAD) : TRACK_NOTAG;
    if (!id3_readsylt(&t->tag) || !lrc_fromsylt(&t->tag, wordstamps))
        return from_reason(t, t->tag.reason);
    return TRACK_OK;
}

/* lrc_write of tag into out, then out closed whatever happened: 1 when
 * both worked. */
static int write_lrc_closed(FILE *out, Id3Tag *tag)
{
    int written = lrc_write(out, tag);

    return fclose(out) == 0 && written;
}

int track_adduslt(Track *t)
{
    Id3Tag view;
    char *text = NULL;
    size_t size;
    FILE *out;
    int r = TRACK_OK;

    assert(t != NULL && t->fp != NULL && t->tag.sylt != NULL);
    errno = 0;
    if (id3_init(t->fp, &view))
        (void)id3_readtexts(&view);
    if (!id3_setsylt(&view, t->tag.sylt, (size_t)t->tag.syltsize) || !lrc_fromsylt(&view, 1))
        r = from_reason(t, view.reason);
    else if ((out = open_memstream(&text, &size)) == NULL || !write_lrc_closed(out, &view))
        r = from_reason(t, ID3_ENOMEM);
    else if (!lrc_touslt(&t->tag, text))
        r = from_reason(t, t->tag.reason);
    free(text);
    id3_close(&view);
    return r;
}

int track_write(Track *t, const char *dest)
{
    int result;

    assert(t != NULL && t->fp != NULL);
    /* A plain rewrite replaces the file read, which must still be there
     * under its name (source); a new name must not be the track. */
    replace_free(&t->out);
    result = replace_open(&t->out, dest != NULL ? dest : t->name, ".mp$",
                          dest == NULL ? &t->st : NULL, &t->st, t->replaceflags);
    if (result != REPLACE_OK)
        return replace_failed(t, result);
    t->tag.blocksize = shared_blocksize(fileno(t->fp), t->out.tmpfd);
    errno = 0;
    if (!id3_rewrite(t->out.fp, &t->tag)) {
        result = from_reason(t, t->tag.reason);
        replace_abort(&t->out);
        return result;
    }
    result = replace_finish(&t->out);
    return result == REPLACE_OK ? TRACK_OK : replace_failed(t, result);
}

int track_commit(Track *t)
{
    int result;

    assert(t != NULL && t->out.tmpfd >= 0);
    result = replace_commit(&t->out);
    return result == REPLACE_OK ? TRACK_OK : replace_failed(t, result);
}

int track_rewrite(Track *t, const char *dest)
{
    int result = track_write(t, dest);

    return result == TRACK_OK ? track_commit(t) : result;
}

int track_writelrc(Track *t, const char *lrcname)
{
    struct stat st;
    int result;

    assert(t != NULL && lrcname != NULL);
    /* Never write over the input, whatever name (or link) leads to it. */
    if (stat(lrcname, &st) == 0 && replace_same_file(&st, &t->st))
        return TRACK_SAMEFILE;
    replace_free(&t->out);
    result = replace_open(&t->out, lrcname, ".lr$", NULL, &t->st, t->replaceflags);
    if (result != REPLACE_OK)
        return replace_failed(t, result);
    errno = 0;
    if (!lrc_write(t->out.fp, &t->tag)) {
        t->err = errno != 0 ? errno : EIO;
        replace_abort(&t->out);
        return TRACK_WRITE;
    }
    result = replace_commit(&t->out);
    return result == REPLACE_OK ? TRACK_OK : replace_failed(t, result);
}

void track_close(Track *t)
{
    assert(t != NULL);
    replace_free(&t->out);
    id3_close(&t->tag);
    if (t->fp != NULL) {
        fclose(t->fp);
        t->fp = NULL;
    }
    free(t->name);
    t->name = NULL;
}
