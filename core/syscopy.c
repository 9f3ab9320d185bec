/*
 * syscopy.c - the platform layer of the rewrite: the audio copied from
 * file to file by the system, where it can.  On Linux that is
 * copy_file_range, which shares the blocks on file systems that share
 * blocks between files and copies in the kernel elsewhere; where the two
 * offsets lie at different places within a page (which block sharing
 * never leaves them, thanks to the padding) the kernel's copy measured
 * slower than plain reads and writes of 1 MiB on the descriptors, so those
 * copy instead.  Other systems copy nothing here, and the core's own read
 * and write loop does it all.
 */
#define _GNU_SOURCE /* copy_file_range, loff_t */

#include "internal.h"

#include <errno.h>

#ifdef __linux__

#include <stdlib.h>
#include <unistd.h>

/* At most this much per call, so that a length fits a 32-bit size_t. */
#define SYSCOPY_CHUNK ((off_t)1 << 30)
/* The block of the descriptor loop. */
#define LOOP_BLOCK ((size_t)1 << 20)

/* Errors by which the kernel declines a copy rather than fails it: another
 * kernel or file system, files on two file systems, a kind of file or an
 * open mode it does not copy.  The read and write loop then copies, and
 * meets any real fault itself. */
static int declined(int err)
{
    switch (err) {
    case ENOSYS:
    case EXDEV:
    case EOPNOTSUPP:
#if ENOTSUP != EOPNOTSUPP
    case ENOTSUP:
#endif
    case EINVAL:
    case EBADF:
    case EPERM:
    case ETXTBSY:
    case EOVERFLOW:
        return 1;
    default:
        return 0;
    }
}

/* Copies len bytes from infd at from to outfd at to by reads and writes of
 * LOOP_BLOCK, adding to *copied: ID3_OK (also when in ends early), or the
 * reason, errno set. */
static int loop_range(int infd, off_t from, int outfd, off_t to, off_t len, off_t *copied)
{
    char *block = malloc(LOOP_BLOCK);
    ssize_t n, w;
    size_t done;
    int r = ID3_OK;

    if (block == NULL)
        return ID3_ENOMEM;
    while (r == ID3_OK && *copied < len) {
        n = pread(infd, block, len - *copied < (off_t)LOOP_BLOCK ? (size_t)(len - *copied) : LOOP_BLOCK,
                  from + *copied);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            r = n < 0 ? ID3_EREAD : ID3_OK;
            break;
        }
        for (done = 0; r == ID3_OK && done < (size_t)n; done += (size_t)w) {
            w = pwrite(outfd, block + done, (size_t)n - done, to + *copied + (off_t)done);
            if (w < 0 && errno == EINTR)
                w = 0;
            else if (w <= 0)
                r = ID3_EWRITE;
        }
        if (r == ID3_OK)
            *copied += n;
    }
    free(block);
    return r;
}

int syscopy_range(FILE *in, off_t pos, off_t len, FILE *out, off_t *copied)
{
    int infd = fileno(in), outfd = fileno(out), r = ID3_OK, err = 0;
    long page = sysconf(_SC_PAGESIZE);
    loff_t from = pos, to;
    off_t start;

    *copied = 0;
    if (infd < 0 || outfd < 0 || len <= 0)
        return ID3_OK; /* a stream in memory: nothing for the kernel */
    /* What the stream holds goes first; the copy lands after it. */
    if (fflush(out) != 0 || ferror(out) || (start = ftello(out)) < 0)
        return ID3_EWRITE;
    to = start;
    if (page > 0 && (pos - start) % page != 0) {
        r = loop_range(infd, pos, outfd, start, len, copied);
        err = errno;
    }
    while (r == ID3_OK && *copied < len && (page <= 0 || (pos - start) % page == 0)) {
        off_t want = len - *copied;
        ssize_t n = copy_file_range(infd, &from, outfd, &to,
                                    (size_t)(want < SYSCOPY_CHUNK ? want : SYSCOPY_CHUNK), 0);
        if (n > 0) {
            *copied += n;
        } else if (n == 0) {
            break; /* in ended early: the caller's loop meets its end */
        } else if (errno != EINTR) {
            if (!declined(errno)) {
                err = errno;
                r = err == ENOMEM ? ID3_ENOMEM : ID3_EWRITE;
            }
            break;
        }
    }
    /* The copy went to explicit offsets: the stream is moved after it,
     * which keeps its own idea of the position right. */
    if (*copied > 0 && fseeko(out, start + *copied, SEEK_SET) != 0 && r == ID3_OK)
        return ID3_EWRITE;
    if (r != ID3_OK)
        errno = err;
    return r;
}

#else

int syscopy_range(FILE *in, off_t pos, off_t len, FILE *out, off_t *copied)
{
    (void)in;
    (void)pos;
    (void)len;
    (void)out;
    *copied = 0;
    return ID3_OK;
}

#endif
