/*
 * replace.c - replacing a file safely (see replace.h).
 *
 * The steps of replace_open, each with its own failure result:
 *   resolve the name (links followed) and build the temporary name;
 *   lock the target and check that it is still the file that was read;
 *   refuse a target that is not a regular file or may not be written;
 *   claim the temporary name: create it, or clear a leftover and create it;
 *   give the new file the target's owner, attributes and mode; open r->fp.
 */
#define _GNU_SOURCE

#include "replace.h"

#include <assert.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

/* How often a name that changes under our hands is looked at again before
 * the writer gives up as busy. */
#define CLAIM_TRIES 8

/* --- file names --- */

char *get_extension(const char *filename)
{
    const char *dot;

    assert(filename!=((void *)0));
    dot = strrchr(filename, '.');
    if (dot == NULL || dot == filename || dot[-1] == '/' || strchr(dot, '/') != NULL)
        return NULL;
    return (char *)dot;
}

char *set_extension(const char *filename, const char *extension, int replace)
{
    const char *ext;
    size_t keep, extlen;
    char *name;

    assert(extension!=((void *)0) && (*extension=='\0' || *extension=='.'));
    assert(filename!=((void *)0));
    ext = get_extension(filename);
    keep = strlen(filename);
    extlen = strlen(extension);
    if (ext != NULL && !replace)
        extlen = 0;     /* the name keeps the extension it has */
    else if (ext != NULL)
        keep = (size_t)(ext - filename);
    name = malloc(keep + extlen + 1);
    if (name == NULL)
        return NULL;
    memcpy(name, filename, keep);
    memcpy(name + keep, extension, extlen);
    name[keep + extlen] = '\0';
    return name;
}

char *replace_tempname(const char *target, const char *suffix)
{
    size_t keep, n;
    char *name;

    assert(target!=((void *)0));
    assert(suffix!=((void *)0));
    if (*target == '\0')
        return NULL;
    if (*suffix == '.')
        return set_extension(target, suffix, 1);
    keep = strlen(target) - 1;
    n = strlen(suffix);
    name = malloc(keep + n + 1);
    if (name == NULL)
        return NULL;
    memcpy(name, target, keep);
    memcpy(name + keep, suffix, n + 1);
    return name;
}

int replace_same_file(const struct stat *a, const struct stat *b)
{
    return a->st_dev == b->st_dev && a->st_ino == b->st_ino;
}

/* --- locks --- */

/* 1: fd is locked; 0: another holder has it (errno EBUSY); -1: this file
 * system has no such locks, and the writer goes on without (as it would
 * have to anyway). */
static int lock_now(int fd)
{
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return 1;
    if (errno == EWOULDBLOCK || errno == EINTR) {
        errno = EBUSY;
        return 0;
    }
    return -1;
}

/* Non-zero when path names, without following a link, the file open on fd. */
static int still_named(const char *path, int fd)
{
    struct stat held, now;

    return fstat(fd, &held) == 0 && lstat(path, &now) == 0 && replace_same_file(&held, &now);
}

static void close_fd(int *fd)
{
    if (*fd >= 0) {
        close(*fd);
        *fd = -1;
    }
}

static int fail(int result, int err)
{
    errno = err;
    return result;
}

/* The folder that holds path, malloc'd. */
static char *folder_of(const char *path)
{
    const char *slash = strrchr(path, '/');

    if (slash == NULL)
        return strdup(".");
    if (slash == path)
        return strdup("/");
    return strndup(path, (size_t)(slash - path));
}

/* --- the steps of replace_open --- */

/* A link stands for its file: r->target is the file pointed to. */
static int resolve(Replace *r, const char *name, const char *suffix)
{
    struct stat st;

    if (lstat(name, &st) == 0 && S_ISLNK(st.st_mode)) {
        r->target = realpath(name, NULL);
        if (r->target == NULL)
            return errno == ENOMEM ? REPLACE_NOMEM : REPLACE_RESOLVE;
    } else if ((r->target = strdup(name)) == NULL) {
        return fail(REPLACE_NOMEM, ENOMEM);
    }
    r->tmpname = replace_tempname(r->target, suffix);
    if (r->tmpname == NULL)
        return fail(REPLACE_NOMEM, ENOMEM);
    if (strcmp(r->tmpname, r->target) == 0)
        return fail(REPLACE_CLASH, EEXIST);
    return REPLACE_OK;
}

/* Locks the target, when it exists, and fills *st with its status
 * (st_nlink 0: there is no target).  The lock is taken on a descriptor of
 * our own, read-only; afterwards the name must still lead to the locked file
 * and, when the caller read it, to the file it read. */
static int lock_target(Replace *r, const struct stat *source, struct stat *st)
{
    int tries, fd, locked;

    for (tries = 0; tries < CLAIM_TRIES; tries++) {
        if (lstat(r->target, st) != 0) {
            if (errno != ENOENT)
                return REPLACE_RESOLVE;
            if (source != NULL)
                return fail(REPLACE_BUSY, EBUSY);   /* the file read is gone */
            st->st_nlink = 0;
            return REPLACE_OK;
        }
        if (!S_ISREG(st->st_mode))
            return fail(REPLACE_NOTREG, S_ISDIR(st->st_mode) ? EISDIR : EINVAL);
        fd = open(r->target, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT)
                continue;
            /* A file we may not read cannot be locked; nothing was read from
             * it, and the temporary file's lock still keeps writers apart. */
            if (errno == EACCES && source == NULL)
                return REPLACE_OK;
            return REPLACE_RESOLVE;
        }
        if ((locked = lock_now(fd)) == 0) {
            close(fd);
            return REPLACE_BUSY;
        }
        if (fstat(fd, st) != 0) {
            close(fd);
            return REPLACE_RESOLVE;
        }
        if (source != NULL && !replace_same_file(st, source)) {
            close(fd);
            return fail(REPLACE_BUSY, EBUSY);
        }
        if (!still_named(r->target, fd)) {
            close(fd);              /* renamed over meanwhile */
            if (source != NULL)
                return fail(REPLACE_BUSY, EBUSY);
            continue;
        }
        if (locked > 0)
            r->targetfd = fd;
        else
            close(fd);
        return REPLACE_OK;
    }
    return fail(REPLACE_BUSY, EBUSY);
}

/* The writer may not write the target: refused as an editor would. */
static int check_writable(const Replace *r, const struct stat *st)
{
    if (st->st_nlink == 0)
        return REPLACE_OK;
    if (faccessat(AT_FDCWD, r->target, W_OK, AT_EACCESS) == 0)
        return REPLACE_OK;
    if (errno == EACCES || errno == EPERM || errno == EROFS)
        return REPLACE_READONLY;
    return REPLACE_RESOLVE;
}

/* Removes a symbolic link under the temporary name.  A link cannot be
 * locked, so the folder is locked instead while the name is looked at and
 * removed: another writer doing the same cannot then remove, by its name, a
 * file that took the link's place meanwhile. */
static int remove_link(const char *tmpname)
{
    struct timespec pause = {0, 1000000};
    char *folder = folder_of(tmpname);
    struct stat st;
    int fd, tries, result = REPLACE_OK;

    if (folder == NULL)
        return fail(REPLACE_NOMEM, ENOMEM);
    fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    free(folder);
    if (fd < 0)
        return fail(REPLACE_CREATE, ELOOP);
    /* Held by other writers for a moment only: wait a little, not forever. */
    for (tries = 0; flock(fd, LOCK_EX | LOCK_NB) != 0; tries++) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            close(fd);
            return fail(REPLACE_CREATE, ELOOP);
        }
        if (tries == 1000) {
            close(fd);
            return fail(REPLACE_BUSY, EBUSY);
        }
        nanosleep(&pause, NULL);
    }
    if (lstat(tmpname, &st) == 0 && S_ISLNK(st.st_mode) && unlink(tmpname) != 0)
        result = REPLACE_CREATE;
    close(fd);
    return result;
}

/* Something is under the temporary name.  A live writer's file (locked) is
 * left alone: busy.  A leftover is locked, checked, and removed; a link is
 * removed.  REPLACE_OK means: the name may be free now, try again. */
static int clear_tempname(Replace *r, const struct stat *target, const struct stat *protect)
{
    struct stat old;
    int fd, locked;

    if (lstat(r->tmpname, &old) != 0)
        return errno == ENOENT ? REPLACE_OK : REPLACE_CREATE;
    if (S_ISLNK(old.st_mode))
        return remove_link(r->tmpname);
    if (!S_ISREG(old.st_mode))
        return fail(REPLACE_CREATE, S_ISDIR(old.st_mode) ? EISDIR : EEXIST);
    if ((target->st_nlink > 0 && replace_same_file(&old, target)) ||
        (protect != NULL && replace_same_file(&old, protect)))
        return fail(REPLACE_CLASH, EEXIST);
    /* Opened only to be locked: never written. */
    fd = open(r->tmpname, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ELOOP ? REPLACE_OK : REPLACE_CREATE;
    if ((locked = lock_now(fd)) == 0) {
        close(fd);
        return REPLACE_BUSY;
    }
    /* With the lock held the name can no longer change hands; without locks
     * on this file system the check narrows the window as far as it goes. */
    if (!still_named(r->tmpname, fd) || fstat(fd, &old) != 0) {
        close(fd);
        return REPLACE_OK;
    }
    if ((target->st_nlink > 0 && replace_same_file(&old, target)) ||
        (protect != NULL && replace_same_file(&old, protect))) {
        close(fd);
        return fail(REPLACE_CLASH, EEXIST);
    }
    if (unlink(r->tmpname) != 0 && errno != ENOENT) {
        int err = errno;
        close(fd);
        return fail(REPLACE_CREATE, err);
    }
    close(fd);
    return REPLACE_OK;
}

/* Creates the temporary file, always a new file of this run's own, and
 * locks it.  mode: the creation mode. */
static int claim_tempname(Replace *r, mode_t mode, const struct stat *target,
                          const struct stat *protect)
{
    int tries, fd, result, locked;

    for (tries = 0; tries < CLAIM_TRIES; tries++) {
        fd = open(r->tmpname, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno != EEXIST)
                return REPLACE_CREATE;
            if ((result = clear_tempname(r, target, protect)) != REPLACE_OK)
                return result;
            continue;
        }
        /* Between the creation and the lock another writer may have taken
         * the new file for a leftover; it then removes it. */
        if ((locked = lock_now(fd)) == 0) {
            close(fd);
            return REPLACE_BUSY;
        }
        if (!still_named(r->tmpname, fd)) {
            close(fd);
            continue;
        }
        r->tmpfd = fd;
        return REPLACE_OK;
    }
    return fail(REPLACE_BUSY, EBUSY);
}

/* Best effort: the extended attributes of from that this process can read
 * and set (user attributes, access lists, ...); the others are skipped. */
static void copy_xattrs(const char *from, int to)
{
    ssize_t len, vlen;
    char *names, *name, *value;

    len = listxattr(from, NULL, 0);
    if (len <= 0 || (names = malloc((size_t)len)) == NULL)
        return;
    len = listxattr(from, names, (size_t)len);
    for (name = names; len > 0 && name < names + len; name += strlen(name) + 1) {
        vlen = getxattr(from, name, NULL, 0);
        if (vlen < 0 || (value = malloc(vlen > 0 ? (size_t)vlen : 1)) == NULL)
            continue;
        vlen = getxattr(from, name, value, (size_t)vlen);
        if (vlen >= 0)
            (void)fsetxattr(to, name, value, (size_t)vlen, 0);
        free(value);
    }
    free(names);
}

/* Owner and group where allowed (root, or one's own groups), attributes,
 * then the mode, which a change of owner may have cut (set-id bits). */
static int take_attributes(Replace *r, const struct stat *st)
{
    if (st->st_nlink == 0)
        return REPLACE_OK;      /* a new file: created with 0666 less the umask */
    if (fchown(r->tmpfd, st->st_uid, st->st_gid) != 0)
        (void)!fchown(r->tmpfd, (uid_t)-1, st->st_gid);
    copy_xattrs(r->target, r->tmpfd);
    if (fchmod(r->tmpfd, st->st_mode & 07777) != 0)
        return REPLACE_CREATE;
    return REPLACE_OK;
}

/* The stream is written on a second descriptor, so that closing it (and
 * checking that close) leaves the lock held until the rename is done. */
static int open_stream(Replace *r)
{
    int fd = dup(r->tmpfd);

    if (fd < 0)
        return REPLACE_CREATE;
    r->fp = fdopen(fd, "wb");
    if (r->fp == NULL) {
        int err = errno;
        close(fd);
        return fail(REPLACE_CREATE, err);
    }
    return REPLACE_OK;
}

/* Removes our temporary file, by its name, which while we hold its lock no
 * other writer can have taken. */
static void drop_temp(Replace *r)
{
    if (r->tmpfd >= 0 && still_named(r->tmpname, r->tmpfd))
        unlink(r->tmpname);
    close_fd(&r->tmpfd);
}

int replace_open(Replace *r, const char *name, const char *suffix,
                 const struct stat *source, const struct stat *protect)
{
    struct stat st;
    int result;

    assert(r!=((void *)0) && name!=((void *)0) && suffix!=((void *)0));
    r->target = NULL;
    r->tmpname = NULL;
    r->fp = NULL;
    r->targetfd = -1;
    r->tmpfd = -1;

    if ((result = resolve(r, name, suffix)) == REPLACE_OK &&
        (result = lock_target(r, source, &st)) == REPLACE_OK &&
        (result = check_writable(r, &st)) == REPLACE_OK &&
        (result = claim_tempname(r, st.st_nlink > 0 ? 0600 : 0666, &st, protect)) == REPLACE_OK &&
        (result = take_attributes(r, &st)) == REPLACE_OK &&
        (result = open_stream(r)) == REPLACE_OK)
        return REPLACE_OK;
    replace_abort(r);
    return result;
}

/* Makes a finished rename survive a crash.  Best effort: a folder that
 * cannot be opened or synced does not undo a replacement that is done. */
static void sync_folder(const char *path)
{
    char *folder = folder_of(path);
    int fd;

    if (folder == NULL)
        return;
    fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)fsync(fd);
        close(fd);
    }
    free(folder);
}

int replace_commit(Replace *r)
{
    FILE *fp = r->fp;
    int err = 0, result = REPLACE_OK;

    assert(fp!=((void *)0));
    r->fp = NULL;
    errno = 0;
    if (fflush(fp) != 0 || ferror(fp))
        err = errno != 0 ? errno : EIO;
    else if (fsync(fileno(fp)) != 0)
        err = errno;
    if (fclose(fp) != 0 && err == 0)
        err = errno;
    if (err != 0) {
        result = REPLACE_WRITE;
    } else if (!still_named(r->tmpname, r->tmpfd)) {
        /* Moved away by something that does not keep to the locks: whatever
         * now has the name is not ours to put in place. */
        err = ESTALE;
        result = REPLACE_RENAME;
    } else if (rename(r->tmpname, r->target) != 0) {
        err = errno;
        result = REPLACE_RENAME;
    }
    if (result == REPLACE_OK)
        sync_folder(r->target);
    replace_abort(r);
    errno = err;
    return result;
}

void replace_abort(Replace *r)
{
    int err = errno;

    /* A record that replace_open never filled holds no descriptors. */
    if (r->target == NULL && r->tmpname == NULL)
        return;
    if (r->fp != NULL) {
        fclose(r->fp);
        r->fp = NULL;
    }
    drop_temp(r);
    close_fd(&r->targetfd);
    errno = err;
}

void replace_free(Replace *r)
{
    replace_abort(r);
    free(r->target);
    free(r->tmpname);
    r->target = NULL;
    r->tmpname = NULL;
}

FILE *replace_fopen_regular(const char *name, struct stat *st)
{
    FILE *fp = NULL;
    int fd, flags, err = 0;

    fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return NULL;
    if (fstat(fd, st) != 0)
        err = errno;
    else if (S_ISDIR(st->st_mode))
        err = EISDIR;
    else if (!S_ISREG(st->st_mode))
        err = EINVAL;
    else if ((flags = fcntl(fd, F_GETFL)) < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
             (fp = fdopen(fd, "rb")) == NULL)
        err = errno;
    if (fp == NULL) {
        close(fd);
        errno = err;
    }
    return fp;
}
