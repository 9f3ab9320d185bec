/*
 * replace.c - replacing a file safely (see replace.h).
 *
 * The steps of replace_open, each with its own failure result:
 *   resolve the name (links followed where allowed), build the temporary
 *   name, open the folder that holds both;
 *   lock the target and check that it is still the file that was read;
 *   refuse a target that is not a regular file or may not be written;
 *   claim the temporary name: create it, never taking what stands there;
 *   give the new file the target's owner, attributes and mode; open r->fp.
 * replace_commit checks the target once more, under the lock, right before
 * the rename.  Every name below the folder is used relative to its handle.
 */
#define _GNU_SOURCE

#include "replace.h"

#include <assert.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#endif

/* How often a name that changes under our hands is looked at again before
 * the writer gives up as busy. */
#define CLAIM_TRIES 8
/* Links followed in one name at the most, as the kernel allows. */
#define MAX_LINKS 40

#define ACCESS_ACL "system.posix_acl_access"

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

/* The last component of path. */
static const char *base_of(const char *path)
{
    const char *slash = strrchr(path, '/');

    return slash != NULL ? slash + 1 : path;
}

/* --- links --- */

/* The kernel's rule for links in shared folders (protected_symlinks): a
 * link in a sticky folder that everyone may write is followed only when it
 * belongs to the follower or to the folder's owner.  Otherwise another user
 * could plant a link there to any file this process may write. */
static int may_follow(const char *link, const struct stat *st)
{
    char *folder = folder_of(link);
    struct stat dir;
    int ok;

    if (folder == NULL)
        return -1;
    ok = stat(folder, &dir) != 0 || !(dir.st_mode & S_ISVTX) || !(dir.st_mode & S_IWOTH) ||
         st->st_uid == geteuid() || st->st_uid == dir.st_uid;
    free(folder);
    return ok;
}

/* Replaces the link that ends at path[end] with what it points to:
 * "a/link/rest" becomes "a/target/rest", or "/target/rest" for an absolute
 * target.  Returns the new path (malloc'd) or null with errno set. */
static char *substitute(const char *path, size_t end)
{
    char target[PATH_MAX];
    ssize_t n;
    size_t keep = 0;
    char *out, *link = strndup(path, end);
    const char *slash;

    if (link == NULL)
        return NULL;
    n = readlink(link, target, sizeof target - 1);
    free(link);
    if (n < 0)
        return NULL;
    target[n] = '\0';
    if (target[0] != '/') {
        slash = memrchr(path, '/', end);
        keep = slash != NULL ? (size_t)(slash - path) + 1 : 0;
    }
    out = malloc(keep + (size_t)n + strlen(path + end) + 1);
    if (out == NULL)
        return NULL;
    memcpy(out, path, keep);
    memcpy(out + keep, target, (size_t)n);
    strcpy(out + keep + (size_t)n, path + end);
    return out;
}

/* Follows every link in name as an open would, checking each against
 * may_follow.  *out: name itself when no link was met; otherwise the path
 * of what the links lead to, its folder made canonical.  A link that may
 * not be followed gives REPLACE_LINK with *out naming it; a link that
 * leads nowhere, REPLACE_RESOLVE with errno ENOENT. */
static int follow_links(const char *name, char **out)
{
    char *path = strdup(name), *next;
    size_t i = 0, end;
    int links = 0, found, tail_from_link = 0;
    struct stat st;
    char save;

    *out = NULL;
    if (path == NULL)
        return fail(REPLACE_NOMEM, ENOMEM);
    for (;;) {
        while (path[i] == '/')
            i++;
        if (path[i] == '\0')
            break;
        for (end = i; path[end] != '\0' && path[end] != '/'; end++)
            ;
        save = path[end];
        path[end] = '\0';
        found = lstat(path, &st) == 0;
        if (!found || !S_ISLNK(st.st_mode)) {
            path[end] = save;
            if (!found && errno == ENOENT && tail_from_link && save == '\0') {
                free(path);
                return fail(REPLACE_RESOLVE, ENOENT); /* a link to nothing */
            }
            i = end;
            continue;       /* what cannot be looked at, the opens report */
        }
        if (++links > MAX_LINKS) {
            free(path);
            return fail(REPLACE_RESOLVE, ELOOP);
        }
        if (!may_follow(path, &st)) {
            *out = path;    /* the link's own name */
            return fail(REPLACE_LINK, EACCES);
        }
        path[end] = save;
        tail_from_link = tail_from_link || save == '\0'; /* a link names the file */
        next = substitute(path, end);
        free(path);
        if (next == NULL)
            return errno == ENOMEM ? REPLACE_NOMEM : REPLACE_RESOLVE;
        path = next;
        i = 0;
    }
    if (links > 0) {
        /* Tidy: the folder as the kernel names it, the file's own name. */
        char *folder = folder_of(path), *real = folder ? realpath(folder, NULL) : NULL;
        if (real != NULL && (next = malloc(strlen(real) + strlen(base_of(path)) + 2)) != NULL) {
            sprintf(next, "%s/%s", strcmp(real, "/") == 0 ? "" : real, base_of(path));
            free(path);
            path = next;
        }
        free(real);
        free(folder);
    }
    *out = path;
    return REPLACE_OK;
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

/* Non-zero when base in the folder dirfd names, without following a link,
 * the file open on fd. */
static int still_named(int dirfd, const char *base, int fd)
{
    struct stat held, now;

    return fstat(fd, &held) == 0 && fstatat(dirfd, base, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           replace_same_file(&held, &now);
}

static void close_fd(int *fd)
{
    if (*fd >= 0) {
        close(*fd);
        *fd = -1;
    }
}

/* --- the steps of replace_open --- */

/* r->target is the file itself (links followed), r->tmpname the name beside
 * it, and r->dirfd a handle on their folder. */
static int resolve(Replace *r, const char *name, const char *suffix)
{
    char *folder;
    int result = follow_links(name, &r->target);

    if (result != REPLACE_OK)
        return result;
    r->tmpname = replace_tempname(r->target, suffix);
    if (r->tmpname == NULL)
        return fail(REPLACE_NOMEM, ENOMEM);
    if (strcmp(r->tmpname, r->target) == 0)
        return fail(REPLACE_CLASH, EEXIST);
    if ((folder = folder_of(r->target)) == NULL)
        return fail(REPLACE_NOMEM, ENOMEM);
    r->dirfd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (r->dirfd < 0 && errno == EACCES) /* a folder we may enter, not list */
        r->dirfd = open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
    free(folder);
    if (r->dirfd < 0)
        return errno == ENOTDIR || errno == ENOENT ? REPLACE_CREATE : REPLACE_RESOLVE;
    return REPLACE_OK;
}

/* Locks the target, when it exists, and fills r->was with its status
 * (st_nlink 0: there is no target).  The lock is taken on a descriptor of
 * our own, read-only; afterwards the name must still lead to the locked
 * file and, when the caller read it, to the file it read, whose status at
 * reading is then what the rename must still find. */
static int lock_target(Replace *r, const struct stat *source)
{
    const char *base = base_of(r->target);
    struct stat *st = &r->was;
    int tries, fd, locked;

    for (tries = 0; tries < CLAIM_TRIES; tries++) {
        if (fstatat(r->dirfd, base, st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return REPLACE_RESOLVE;
            if (source != NULL)
                return fail(REPLACE_BUSY, EBUSY);   /* the file read is gone */
            st->st_nlink = 0;
            return REPLACE_OK;
        }
        if (!S_ISREG(st->st_mode))
            return fail(S_ISLNK(st->st_mode) ? REPLACE_BUSY : REPLACE_NOTREG,
                        S_ISLNK(st->st_mode) ? EBUSY : S_ISDIR(st->st_mode) ? EISDIR : EINVAL);
        fd = openat(r->dirfd, base, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT)
                continue;
            /* A file we may not read cannot be locked; nothing was read from
             * it, and the temporary file's lock still keeps writers apart. */
            if (errno == EACCES && source == NULL)
                return REPLACE_OK;
            return errno == ELOOP ? fail(REPLACE_BUSY, EBUSY) : REPLACE_RESOLVE;
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
        if (!still_named(r->dirfd, base, fd)) {
            close(fd);              /* renamed over meanwhile */
            if (source != NULL)
                return fail(REPLACE_BUSY, EBUSY);
            continue;
        }
        if (source != NULL)
            *st = *source;
        if (locked > 0)
            r->targetfd = fd;
        else
            close(fd);
        return REPLACE_OK;
    }
    return fail(REPLACE_BUSY, EBUSY);
}

/* The writer may not write the target: refused as an editor would.  A file
 * without any write bit is meant to stay as it is (a content-addressed
 * store's object), even for root, who could write it. */
static int check_writable(const Replace *r)
{
    if (r->was.st_nlink == 0)
        return REPLACE_OK;
    if ((r->was.st_mode & 0222) == 0)
        return fail(REPLACE_READONLY, EACCES);
    if (faccessat(r->dirfd, base_of(r->target), W_OK, AT_EACCESS) == 0)
        return REPLACE_OK;
    if (errno == EACCES || errno == EPERM || errno == EROFS)
        return REPLACE_READONLY;
    return REPLACE_RESOLVE;
}

/* Removes a link under the temporary name, in a folder the caller owns.  A
 * link cannot be locked, so the folder is locked instead while the name is
 * looked at and removed: another writer doing the same cannot then remove,
 * by its name, a file that took the link's place meanwhile. */
static int remove_link(Replace *r)
{
    struct timespec pause = {0, 1000000};
    const char *base = base_of(r->tmpname);
    struct stat st;
    int tries, result = REPLACE_OK;

    /* Held by other writers for a moment only: wait a little, not forever. */
    for (tries = 0; flock(r->dirfd, LOCK_EX | LOCK_NB) != 0; tries++) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || tries == 1000)
            return fail(REPLACE_INWAY, EEXIST);
        nanosleep(&pause, NULL);
    }
    if (fstatat(r->dirfd, base, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode) &&
        unlinkat(r->dirfd, base, 0) != 0)
        result = REPLACE_CREATE;
    (void)flock(r->dirfd, LOCK_UN);
    return result;
}

/* Something stands under the temporary name.  Another name of the target
 * or of the protected file: a clash.  A live writer's file (locked): busy.
 * Anything else is not ours to take, but for a leftover in a folder the
 * caller owns (REPLACE_LEFTOVERS), which is removed.  REPLACE_OK means: the
 * name may be free now, try again. */
static int examine_tempname(Replace *r, const struct stat *protect, int flags)
{
    const char *base = base_of(r->tmpname);
    struct stat old;
    int fd, locked, result;

    if (fstatat(r->dirfd, base, &old, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? REPLACE_OK : REPLACE_CREATE;
    if ((r->was.st_nlink > 0 && replace_same_file(&old, &r->was)) ||
        (protect != NULL && replace_same_file(&old, protect)))
        return fail(REPLACE_CLASH, EEXIST);
    if (S_ISLNK(old.st_mode) && (flags & REPLACE_LEFTOVERS))
        return remove_link(r);
    if (!S_ISREG(old.st_mode))
        return fail(REPLACE_INWAY, EEXIST);
    /* Opened only to be locked: never written. */
    fd = openat(r->dirfd, base, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? REPLACE_OK : fail(REPLACE_INWAY, EEXIST);
    if ((locked = lock_now(fd)) == 0) {
        close(fd);
        return fail(REPLACE_TEMPBUSY, EBUSY);
    }
    result = fail(REPLACE_INWAY, EEXIST);
    /* With the lock held the name can no longer change hands. */
    if (!still_named(r->dirfd, base, fd))
        result = REPLACE_OK;
    else if ((flags & REPLACE_LEFTOVERS) && locked > 0)
        result = unlinkat(r->dirfd, base, 0) == 0 || errno == ENOENT ? REPLACE_OK : REPLACE_CREATE;
    close(fd);
    return result;
}

/* Creates the temporary file, always a new file of this run's own, and
 * locks it.  mode: the creation mode. */
static int claim_tempname(Replace *r, const struct stat *protect, int flags)
{
    const char *base = base_of(r->tmpname);
    mode_t mode = r->was.st_nlink > 0 ? 0600 : 0666;
    int tries, fd, result;

    for (tries = 0; tries < CLAIM_TRIES; tries++) {
        fd = openat(r->dirfd, base, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno != EEXIST)
                return REPLACE_CREATE;
            if ((result = examine_tempname(r, protect, flags)) != REPLACE_OK)
                return result;
            continue;
        }
        /* Between the creation and the lock another writer may have taken
         * the name; the file is ours only while it is still named so. */
        if (lock_now(fd) == 0) {
            close(fd);
            return fail(REPLACE_TEMPBUSY, EBUSY);
        }
        if (!still_named(r->dirfd, base, fd)) {
            close(fd);
            continue;
        }
        r->tmpfd = fd;
        return REPLACE_OK;
    }
    return fail(REPLACE_TEMPBUSY, EBUSY);
}

/* Best effort: the extended attributes of the target (read through fd,
 * or by its name when it could not be opened) that this process can read
 * and set (user attributes, access lists, ...); the others are skipped.
 * Returns whether the target has an access ACL. */
static int copy_xattrs(const char *from, int fromfd, int to)
{
    ssize_t len, vlen;
    char *names, *name, *value;
    int acl = 0;

    len = fromfd >= 0 ? flistxattr(fromfd, NULL, 0) : listxattr(from, NULL, 0);
    if (len <= 0 || (names = malloc((size_t)len)) == NULL)
        return 0;
    len = fromfd >= 0 ? flistxattr(fromfd, names, (size_t)len) : listxattr(from, names, (size_t)len);
    for (name = names; len > 0 && name < names + len; name += strlen(name) + 1) {
        acl = acl || strcmp(name, ACCESS_ACL) == 0;
        vlen = fromfd >= 0 ? fgetxattr(fromfd, name, NULL, 0) : getxattr(from, name, NULL, 0);
        if (vlen < 0 || (value = malloc(vlen > 0 ? (size_t)vlen : 1)) == NULL)
            continue;
        vlen = fromfd >= 0 ? fgetxattr(fromfd, name, value, (size_t)vlen)
                           : getxattr(from, name, value, (size_t)vlen);
        if (vlen >= 0)
            (void)fsetxattr(to, name, value, (size_t)vlen, 0);
        free(value);
    }
    free(names);
    return acl;
}

/* Owner and group where allowed (root, or one's own groups), attributes,
 * then the mode, which a change of owner may have cut (set-id bits).  A
 * folder's default ACL gave the new file an access ACL of its own: it goes
 * unless the target has one too, so the new file is exactly as readable as
 * the old one. */
static int take_attributes(Replace *r)
{
    const struct stat *st = &r->was;

    if (st->st_nlink == 0)
        return REPLACE_OK;      /* a new file: created with 0666 less the umask */
    if (fchown(r->tmpfd, st->st_uid, st->st_gid) != 0)
        (void)!fchown(r->tmpfd, (uid_t)-1, st->st_gid);
    if (!copy_xattrs(r->target, r->targetfd, r->tmpfd) && fremovexattr(r->tmpfd, ACCESS_ACL) != 0 &&
        errno != ENODATA && errno != ENOTSUP)
        return REPLACE_CREATE;
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
    if (r->tmpfd >= 0 && r->dirfd >= 0 && still_named(r->dirfd, base_of(r->tmpname), r->tmpfd))
        unlinkat(r->dirfd, base_of(r->tmpname), 0);
    close_fd(&r->tmpfd);
}

int replace_open(Replace *r, const char *name, const char *suffix,
                 const struct stat *source, const struct stat *protect, int flags)
{
    int result;

    assert(r!=((void *)0) && name!=((void *)0) && suffix!=((void *)0));
    memset(r, 0, sizeof *r);
    r->dirfd = r->targetfd = r->tmpfd = -1;
    r->flags = flags;

    if ((result = resolve(r, name, suffix)) == REPLACE_OK &&
        (result = lock_target(r, source)) == REPLACE_OK &&
        (result = check_writable(r)) == REPLACE_OK &&
        (result = claim_tempname(r, protect, flags)) == REPLACE_OK &&
        (result = take_attributes(r)) == REPLACE_OK &&
        (result = open_stream(r)) == REPLACE_OK)
        return REPLACE_OK;
    replace_abort(r);
    return result;
}

/* Whether the target is still what it was when it was read or locked: its
 * folder still under its name, the same file under its own name, of the
 * same size, written and changed at the same times; or still no file. */
static int unchanged(const Replace *r)
{
    struct stat now, held;
    char *folder = folder_of(r->target);
    int moved = folder == NULL || fstat(r->dirfd, &held) != 0 || stat(folder, &now) != 0 ||
                !replace_same_file(&held, &now);

    free(folder);
    if (moved)
        return 0;
    if (fstatat(r->dirfd, base_of(r->target), &now, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT && r->was.st_nlink == 0;
    return r->was.st_nlink > 0 && replace_same_file(&now, &r->was) && now.st_size == r->was.st_size &&
           now.st_mtim.tv_sec == r->was.st_mtim.tv_sec && now.st_mtim.tv_nsec == r->was.st_mtim.tv_nsec &&
           now.st_ctim.tv_sec == r->was.st_ctim.tv_sec && now.st_ctim.tv_nsec == r->was.st_ctim.tv_nsec;
}

int replace_finish(Replace *r)
{
    FILE *fp = r->fp;
    int err = 0;

    assert(fp!=((void *)0));
    r->fp = NULL;
    errno = 0;
    if (fflush(fp) != 0 || ferror(fp))
        err = errno != 0 ? errno : EIO;
    if (fclose(fp) != 0 && err == 0)
        err = errno;
    if (err == 0)
        return REPLACE_OK;
    replace_abort(r);
    errno = err;
    return REPLACE_WRITE;
}

#ifdef __linux__
/* Whether a successful syncfs through fd means that everything written on
 * its file system since fd was opened is on disk: from Linux 5.8 syncfs
 * reports the write-back errors met since then, and these file systems
 * commit their journal and flush the device's cache in it.  Others
 * (network and user-space file systems among them) may report success
 * with the data still elsewhere. */
static int syncfs_is_complete(int fd)
{
    struct utsname u;
    struct statfs fs;
    int major, minor;

    if (uname(&u) != 0 || sscanf(u.release, "%d.%d", &major, &minor) != 2 ||
        (major < 5 || (major == 5 && minor < 8)) || fstatfs(fd, &fs) != 0)
        return 0;
    switch (fs.f_type) {
    case EXT4_SUPER_MAGIC: /* ext2 and ext3 too */
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
        return 1;
    default:
        return 0;
    }
}
#endif

void replace_sync_group(Replace *const *rs, size_t n)
{
#ifdef __linux__
    struct { dev_t dev; int finished; } *fs = calloc(n > 0 ? n : 1, sizeof *fs);
    struct stat st;
    size_t i, j;
    int ok;

    if (fs == NULL)
        return;     /* nothing marked: each file is synced on its own */
    for (i = 0; i < n; i++)
        if (rs[i] != NULL && rs[i]->fp == NULL && rs[i]->tmpfd >= 0 && fstat(rs[i]->tmpfd, &st) == 0)
            fs[i].dev = st.st_dev, fs[i].finished = 1;
    /* The first of each file system syncs it, through the oldest handle. */
    for (i = 0; i < n; i++) {
        for (j = 0; j < i && !(fs[j].finished && fs[j].dev == fs[i].dev); j++)
            ;
        if (!fs[i].finished || j < i)
            continue;
        ok = syncfs(rs[i]->dirfd) == 0 && syncfs_is_complete(rs[i]->dirfd);
        for (j = i; j < n; j++)
            if (fs[j].finished && fs[j].dev == fs[i].dev)
                rs[j]->synced = ok;
    }
    free(fs);
#else
    (void)rs;
    (void)n;
#endif
}

int replace_commit(Replace *r)
{
    int err = 0, result = REPLACE_OK;

    assert(r->tmpfd >= 0);
    /* Closing the stream (when replace_finish has not) checks the last
     * writes; the sync, on the file's own descriptor, every one of them,
     * unless the group's sync of its file system did (replace_sync_group). */
    if (r->fp != NULL && (result = replace_finish(r)) != REPLACE_OK)
        return result;
    errno = 0;
    if (!r->synced && fsync(r->tmpfd) != 0) {
        err = errno;
        result = REPLACE_WRITE;
    } else if (!unchanged(r)) {
        err = EBUSY;
        result = REPLACE_CHANGED;
    } else if (!still_named(r->dirfd, base_of(r->tmpname), r->tmpfd)) {
        /* Moved away by something that does not keep to the locks: whatever
         * now has the name is not ours to put in place. */
        err = ESTALE;
        result = REPLACE_RENAME;
    } else if (renameat(r->dirfd, base_of(r->tmpname), r->dirfd, base_of(r->target)) != 0) {
        err = errno;
        result = REPLACE_RENAME;
    }
    if (result == REPLACE_OK) {
        close_fd(&r->tmpfd);    /* renamed: no longer ours to remove */
        if (!(r->flags & REPLACE_NOSYNCDIR))
            (void)fsync(r->dirfd);  /* best effort: the rename is done */
    }
    replace_abort(r);
    errno = err;
    return result;
}

void replace_abort(Replace *r)
{
    int err = errno;

    if (r->fp != NULL) {
        fclose(r->fp);
        r->fp = NULL;
    }
    /* A zeroed record holds descriptor 0 in name only. */
    if (r->target != NULL || r->tmpname != NULL || r->dirfd > 0) {
        drop_temp(r);
        close_fd(&r->targetfd);
        close_fd(&r->dirfd);
    }
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

/* --- reading a file --- */

int replace_read_open(const char *name, FILE **fp, struct stat *st, char **linkname)
{
    char *path;
    int fd, flags, err = 0, result;

    *fp = NULL;
    if (linkname != NULL)
        *linkname = NULL;
    result = follow_links(name, &path);
    if (result == REPLACE_LINK) {
        if (linkname != NULL)
            *linkname = path;
        else
            free(path);
        return fail(REPLACE_LINK, EACCES);
    }
    if (result != REPLACE_OK)
        return result;
    fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    free(path);
    if (fd < 0)
        return REPLACE_RESOLVE;
    if (fstat(fd, st) != 0)
        err = errno, result = REPLACE_RESOLVE;
    else if (!S_ISREG(st->st_mode))
        err = S_ISDIR(st->st_mode) ? EISDIR : EINVAL, result = REPLACE_NOTREG;
    else if ((flags = fcntl(fd, F_GETFL)) < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
             (*fp = fdopen(fd, "rb")) == NULL)
        err = errno, result = REPLACE_RESOLVE;
    if (*fp == NULL) {
        close(fd);
        errno = err;
    }
    return result;
}
