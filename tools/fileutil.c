/*
 * fileutil.c - file-name and file-replacement helpers of the command-line
 * converters (see fileutil.h).
 */
#define _XOPEN_SOURCE 700

#include "fileutil.h"

#include <assert.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* --- command line --- */

int answer_options(int argc, char *argv[], void (*usage)(void), const char *version)
{
    int i;

    if (argc < 2) {
        usage();
        return STATUS_FAILURE;
    }
    for (i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
            usage();
            return STATUS_OK;
        }
        if (strcmp(argv[i], "--version") == 0) {
            puts(version);
            return STATUS_OK;
        }
    }
    return -1;
}

FILE *open_track(const char *arg, char **name, struct stat *st)
{
    FILE *fp;

    *name = set_extension(arg, ".mp3", 0);
    if (*name == NULL) {
        puts("Insufficient memory.");
        return NULL;
    }
    fp = fopen(*name, "rb");
    if (fp == NULL) {
        printf("Error opening file \"%s\".\n", *name);
        return NULL;
    }
    if (fstat(fileno(fp), st) != 0) {
        printf("Error opening file \"%s\": %s.\n", *name, strerror(errno));
        fclose(fp);
        return NULL;
    }
    /* A folder or a device is no track: never read or replace one. */
    if (!S_ISREG(st->st_mode)) {
        printf("Error opening file \"%s\": %s.\n", *name,
               S_ISDIR(st->st_mode) ? strerror(EISDIR) : "not a regular file");
        fclose(fp);
        return NULL;
    }
    return fp;
}

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

/* --- replacing a file --- */

int same_file(const struct stat *a, const struct stat *b)
{
    return a->st_dev == b->st_dev && a->st_ino == b->st_ino;
}

/* Makes a finished rename survive a crash.  Best effort: a folder that
 * cannot be opened or synced does not undo a replacement that is done. */
static void sync_folder(const char *path)
{
    const char *slash = strrchr(path, '/');
    char *folder;
    int fd;

    if (slash == NULL)
        folder = strdup(".");
    else if (slash == path)
        folder = strdup("/");
    else
        folder = strndup(path, (size_t)(slash - path));
    if (folder == NULL)
        return;
    fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)fsync(fd);
        close(fd);
    }
    free(folder);
}

static int fail_created(Replace *r, int fd)
{
    int err = errno;

    close(fd);
    unlink(r->tmpname);
    errno = err;
    return REPLACE_CREATE;
}

int replace_open(Replace *r, const char *name, const char *tmpext,
                 const struct stat *protect)
{
    struct stat st, old;
    int have_target, fd;
    mode_t mode, mask;

    r->target = NULL;
    r->tmpname = NULL;
    r->fp = NULL;

    /* A link stands for its file: replace the file, keep the link. */
    if (lstat(name, &st) == 0 && S_ISLNK(st.st_mode)) {
        r->target = realpath(name, NULL);
        if (r->target == NULL)
            return errno == ENOMEM ? REPLACE_NOMEM : REPLACE_RESOLVE;
    } else {
        r->target = strdup(name);
        if (r->target == NULL)
            return REPLACE_NOMEM;
    }
    r->tmpname = set_extension(r->target, tmpext, 1);
    if (r->tmpname == NULL)
        return REPLACE_NOMEM;
    if (strcmp(r->tmpname, r->target) == 0)
        return REPLACE_CLASH;

    have_target = stat(r->target, &st) == 0;
    if (lstat(r->tmpname, &old) == 0) {
        /* Another name for the target or the protected file (a hard link,
         * or a case-blind file system) must not be removed or written. */
        if ((have_target && same_file(&old, &st)) ||
            (protect != NULL && same_file(&old, protect)))
            return REPLACE_CLASH;
        /* A stale temporary file of ours, or a link: remove the name only. */
        if (unlink(r->tmpname) != 0)
            return REPLACE_CREATE;
    }

    fd = open(r->tmpname, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return REPLACE_CREATE;
    if (have_target) {
        /* Keep owner and group where allowed (root, or one's own groups). */
        if (fchown(fd, st.st_uid, st.st_gid) != 0)
            (void)!fchown(fd, (uid_t)-1, st.st_gid);
        mode = st.st_mode & 07777;
    } else {
        mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (fchmod(fd, mode) != 0)
        return fail_created(r, fd);
    r->fp = fdopen(fd, "wb");
    if (r->fp == NULL)
        return fail_created(r, fd);
    return REPLACE_OK;
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
    if (err != 0)
        result = REPLACE_WRITE;
    else if (rename(r->tmpname, r->target) != 0) {
        err = errno;
        result = REPLACE_RENAME;
    }
    if (result != REPLACE_OK) {
        unlink(r->tmpname);
        errno = err;
        return result;
    }
    sync_folder(r->target);
    return REPLACE_OK;
}

void replace_abort(Replace *r)
{
    int err = errno;

    /* Only an open temporary file is ours to remove: after a failed
     * replace_open the name may belong to someone else. */
    if (r->fp != NULL) {
        fclose(r->fp);
        r->fp = NULL;
        unlink(r->tmpname);
    }
    errno = err;
}

void replace_free(Replace *r)
{
    free(r->target);
    free(r->tmpname);
    r->target = NULL;
    r->tmpname = NULL;
}
