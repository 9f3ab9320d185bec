/*
 * faultshim.c - an LD_PRELOAD library that makes one write-side call of a
 * program fail, so that a test can prove the program survives each of them.
 *
 * Counted calls: opening a file for writing (open, openat, creat, fopen,
 * fdopen, freopen in a writing mode), writing (write and pwrite on
 * descriptors above 2, copy_file_range, fwrite, fputc, putc, fputs,
 * fprintf, vfprintf on streams opened for writing), positioning and
 * flushing those streams (fseek, fseeko, ftell, ftello, fflush), fchmod,
 * ftruncate, fsync, fdatasync, fclose of a writing stream, rename and
 * renameat.  fchown is not counted: changing the owner is best effort by
 * design; nor is the zero-length clone that asks whether a file system
 * shares blocks, which writes nothing and whose failure only means a tag
 * without padding.
 *
 *   FAULT_AT=0 (or unset)  count only
 *   FAULT_AT=n             the n-th counted call fails (ENOSPC for writes,
 *                          EIO otherwise) without doing anything; a failing
 *                          fclose drops what the stream still buffered and
 *                          releases it, as a failed final flush would
 *   FAULT_LOG=path         at exit, the line "calls N" and, when a call was
 *                          made to fail, "failed NAME after-rename R" where R
 *                          is 1 when a rename had already succeeded
 *
 * Standard output and standard error are never touched, so the program's
 * messages still arrive.
 */
/* Both the plain and the 64-bit-offset names are defined here, each once. */
#undef _FILE_OFFSET_BITS
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdio_ext.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

/* The next definition of a function, that is the C library's. */
#define REAL(name) \
    static __typeof__(name) *real_##name; \
    if (real_##name == NULL) \
        real_##name = (__typeof__(name) *)dlsym(RTLD_NEXT, #name)

static long calls, fault_at = -1;
static const char *failed_name;
static int failed_after_rename, renamed, reporting;

/* Streams opened for writing; tracks and LRC files that are only read do
 * not count. */
#define MAX_STREAMS 64
static FILE *writers[MAX_STREAMS];

static void add_writer(FILE *fp)
{
    for (int i = 0; fp != NULL && i < MAX_STREAMS; i++)
        if (writers[i] == NULL) {
            writers[i] = fp;
            return;
        }
}

static int is_writer(FILE *fp)
{
    for (int i = 0; fp != NULL && i < MAX_STREAMS; i++)
        if (writers[i] == fp)
            return 1;
    return 0;
}

static void drop_writer(FILE *fp)
{
    for (int i = 0; i < MAX_STREAMS; i++)
        if (writers[i] == fp)
            writers[i] = NULL;
}

static int writing_mode(const char *mode)
{
    return mode != NULL && (strchr(mode, 'w') || strchr(mode, 'a') || strchr(mode, '+'));
}

static int writing_flags(int flags)
{
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0;
}

/* Counts one call; returns 1 when this one is to fail, with errno set. */
static int fail_now(const char *name, int err)
{
    if (reporting)
        return 0;
    if (fault_at < 0) {
        const char *at = getenv("FAULT_AT");
        fault_at = at != NULL ? atol(at) : 0;
    }
    calls++;
    if (calls != fault_at)
        return 0;
    failed_name = name;
    failed_after_rename = renamed;
    errno = err;
    return 1;
}

static void mark_error(FILE *fp)
{
    fp->_flags |= 0x0020; /* _IO_ERR_SEEN: what ferror() reports */
}

__attribute__((destructor)) static void report(void)
{
    const char *path = getenv("FAULT_LOG");
    char line[160];
    int fd, n;

    if (path == NULL)
        return;
    reporting = 1;
    n = snprintf(line, sizeof line, "calls %ld\n", calls);
    if (failed_name != NULL)
        n += snprintf(line + n, sizeof line - (size_t)n, "failed %s after-rename %d\n",
                      failed_name, failed_after_rename);
    fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        if (write(fd, line, (size_t)n) != n)
            fd = -fd; /* nothing more to do; the test sees a short log */
        close(fd < 0 ? -fd : fd);
    }
}

/* The wrappers.  FAILING(type, name, (parameters), (arguments), counted,
 * err, failure) defines name: a call for which `counted` holds is counted
 * and, when it is the one to fail, returns `failure` with errno err and
 * does nothing; any other call goes to the C library.  FAILING_PUT is the
 * same for a write to a stream, which on failure also gets the stream's
 * error flag; FAILING_OPEN and FAILING_FOPEN count what opens for writing,
 * and FAILING_FOPEN remembers the streams it opens for writing. */
#define FAILING(type, name, params, args, counted, err, failure) \
    type name params \
    { \
        REAL(name); \
        if ((counted) && fail_now(#name, err)) \
            return failure; \
        return real_##name args; \
    }

#define FAILING_PUT(type, name, params, args, failure) \
    type name params \
    { \
        REAL(name); \
        if (is_writer(fp) && fail_now(#name, ENOSPC)) { \
            mark_error(fp); \
            return failure; \
        } \
        return real_##name args; \
    }

/* The mode argument is there only when the flags create a file. */
#define FAILING_OPEN(name, params, args) \
    int name params \
    { \
        REAL(name); \
        mode_t mode = 0; \
        if (flags & (O_CREAT | __O_TMPFILE)) { \
            va_list ap; \
            va_start(ap, flags); \
            mode = va_arg(ap, mode_t); \
            va_end(ap); \
        } \
        if (writing_flags(flags) && fail_now(#name, EACCES)) \
            return -1; \
        return real_##name args; \
    }

#define FAILING_FOPEN(name, params, args, err) \
    FILE *name params \
    { \
        REAL(name); \
        if (writing_mode(mode) && fail_now(#name, err)) \
            return NULL; \
        FILE *fp = real_##name args; \
        if (writing_mode(mode)) \
            add_writer(fp); \
        return fp; \
    }

/* --- opening --- */

FAILING_OPEN(open, (const char *path, int flags, ...), (path, flags, mode))
FAILING_OPEN(open64, (const char *path, int flags, ...), (path, flags, mode))
FAILING_OPEN(openat, (int dirfd, const char *path, int flags, ...), (dirfd, path, flags, mode))
FAILING(int, creat, (const char *path, mode_t mode), (path, mode), 1, EACCES, -1)
FAILING_FOPEN(fopen, (const char *path, const char *mode), (path, mode), EACCES)
FAILING_FOPEN(fopen64, (const char *path, const char *mode), (path, mode), EACCES)
FAILING_FOPEN(fdopen, (int fd, const char *mode), (fd, mode), ENOMEM)


FILE *freopen(const char *path, const char *mode, FILE *stream)
{
    REAL(freopen);
    drop_writer(stream);
    if (writing_mode(mode) && fail_now("freopen", EACCES))
        return NULL;
    FILE *fp = real_freopen(path, mode, stream);
    if (writing_mode(mode))
        add_writer(fp);
    return fp;
}

/* --- writing --- */

FAILING(ssize_t, write, (int fd, const void *buf, size_t n), (fd, buf, n), fd > 2, ENOSPC, -1)
FAILING(ssize_t, pwrite, (int fd, const void *buf, size_t n, off_t off), (fd, buf, n, off), fd > 2,
        ENOSPC, -1)
FAILING_PUT(size_t, fwrite, (const void *buf, size_t size, size_t n, FILE *fp), (buf, size, n, fp), 0)
FAILING(ssize_t, copy_file_range, (int in, off64_t *inpos, int out, off64_t *outpos, size_t n, unsigned int flags),
        (in, inpos, out, outpos, n, flags), 1, ENOSPC, -1)
#undef fwrite_unlocked /* a macro in optimised builds */
FAILING_PUT(size_t, fwrite_unlocked, (const void *buf, size_t size, size_t n, FILE *fp),
            (buf, size, n, fp), 0)
FAILING_PUT(int, fputc, (int c, FILE *fp), (c, fp), EOF)
FAILING_PUT(int, putc, (int c, FILE *fp), (c, fp), EOF)
FAILING_PUT(int, fputs, (const char *s, FILE *fp), (s, fp), EOF)
FAILING_PUT(int, vfprintf, (FILE *fp, const char *format, va_list ap), (fp, format, ap), -1)

int fprintf(FILE *fp, const char *format, ...)
{
    va_list ap;
    int n;
    va_start(ap, format);
    n = vfprintf(fp, format, ap);
    va_end(ap);
    return n;
}

/* --- positioning, flushing, syncing --- */

FAILING(int, fseek, (FILE *fp, long off, int whence), (fp, off, whence), is_writer(fp), EIO, -1)
FAILING(int, fseeko, (FILE *fp, off_t off, int whence), (fp, off, whence), is_writer(fp), EIO, -1)
FAILING(int, fseeko64, (FILE *fp, off64_t off, int whence), (fp, off, whence), is_writer(fp), EIO, -1)
FAILING(long, ftell, (FILE *fp), (fp), is_writer(fp), EIO, -1)
FAILING(off_t, ftello, (FILE *fp), (fp), is_writer(fp), EIO, -1)
FAILING(off64_t, ftello64, (FILE *fp), (fp), is_writer(fp), EIO, -1)
FAILING(int, fchmod, (int fd, mode_t mode), (fd, mode), 1, EPERM, -1)
FAILING(int, fremovexattr, (int fd, const char *name), (fd, name), 1, EPERM, -1)
FAILING(int, ftruncate, (int fd, off_t len), (fd, len), 1, EIO, -1)
FAILING(int, fsync, (int fd), (fd), 1, EIO, -1)
FAILING(int, fdatasync, (int fd), (fd), 1, EIO, -1)

int fflush(FILE *fp)
{
    REAL(fflush);
    if (is_writer(fp) && fail_now("fflush", ENOSPC)) {
        __fpurge(fp);
        mark_error(fp);
        return EOF;
    }
    return real_fflush(fp);
}

int fclose(FILE *fp)
{
    REAL(fclose);
    if (is_writer(fp)) {
        drop_writer(fp);
        if (fail_now("fclose", ENOSPC)) {
            __fpurge(fp);
            real_fclose(fp);
            errno = ENOSPC;
            return EOF;
        }
    }
    return real_fclose(fp);
}

/* --- putting a file in place --- */

int rename(const char *from, const char *to)
{
    REAL(rename);
    if (fail_now("rename", EIO))
        return -1;
    int r = real_rename(from, to);
    if (r == 0)
        renamed = 1;
    return r;
}

int renameat(int fromdir, const char *from, int todir, const char *to)
{
    REAL(renameat);
    if (fail_now("renameat", EIO))
        return -1;
    int r = real_renameat(fromdir, from, todir, to);
    if (r == 0)
        renamed = 1;
    return r;
}
