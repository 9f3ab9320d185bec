/*
 * replace.h - replacing a file safely: the new contents go into a temporary
 * file beside it, which takes the old file's place in one rename once it is
 * complete.  Used by the converters (tracks, LRC files), the INI writer
 * (settings file) and the editor (tracks, LRC files).  Plain C, usable from
 * C++; prints nothing.
 *
 * What a caller can rely on
 *  - The old file is never opened for writing, truncated or removed: until
 *    replace_commit has renamed the new file over it, it is exactly as it
 *    was, whatever fails (a full disk, a failed sync, a kill at any moment).
 *  - Nothing is put in place over a file that changed meanwhile: just before
 *    the rename, under the lock, the name must still lead to the file that
 *    was read (or locked), and that file must be unchanged since (size,
 *    modification and status-change times); otherwise REPLACE_CHANGED, and
 *    the other program's version stays as it left it.  A name that was free
 *    must still be free.
 *  - Only files this run created are ever removed or renamed: the temporary
 *    file is always made by this run (O_EXCL|O_NOFOLLOW), and anything else
 *    under its name is left alone (REPLACE_INWAY, or REPLACE_TEMPBUSY when
 *    another writer holds it).
 *  - The temporary file is created, renamed and removed relative to a handle
 *    on the folder, so a folder renamed meanwhile strands nothing.
 *  - On every failure the temporary file is removed and nothing else in the
 *    folder changed; every result other than REPLACE_OK comes with errno set
 *    (ENOMEM for REPLACE_NOMEM, EEXIST for REPLACE_CLASH, EBUSY for
 *    REPLACE_BUSY, REPLACE_TEMPBUSY and REPLACE_CHANGED, EEXIST for
 *    REPLACE_INWAY, EACCES for REPLACE_LINK), so a message can give
 *    strerror(errno).
 *  - A name that is a symbolic link stands for the file it points to: that
 *    file is replaced and the link stays a link.  The temporary file lies
 *    beside the file pointed to.  A link that the kernel's rule for shared
 *    folders forbids following is refused (REPLACE_LINK), whether or not
 *    the kernel applies that rule itself: a link in a sticky folder that
 *    everyone may write is followed only when it belongs to the user running
 *    the program or to the folder's owner.
 *  - The new file takes the old one's permission bits, its owner and group
 *    where the process may set them, and those of its extended attributes
 *    that the process can read and set (others are skipped); it has an
 *    access ACL exactly when the old file has one (a folder's default ACL
 *    does not reach it).  A file that does not exist yet is created with
 *    0666 less the umask.  A file whose mode has no write bit at all is
 *    read-only for everyone, root included.
 *  - Every write, flush, sync and close of the new file is checked before the
 *    rename (the sync is the file's own, or a checked sync of its whole
 *    file system where that reports every write error: replace_sync_group);
 *    after it the folder is synced (best effort: the replacement is
 *    done whether or not that sync succeeds), unless the caller does that
 *    itself later (REPLACE_NOSYNCDIR).
 *
 * Temporary names
 *  The suffix given to replace_open says how the temporary name is made from
 *  the target's name (links followed):
 *    a suffix starting with "."  replaces the name's extension, or is added
 *                                when it has none (see get_extension):
 *                                ".mp$": "/music/song.mp3" -> "/music/song.mp$"
 *    any other suffix            replaces the name's last byte:
 *                                "~": "lyrasil.ini" -> "lyrasil.in~"
 *  A temporary name that is the target itself (a track called "x.mp$", a
 *  settings file "backup~"), or another name of the target or of the
 *  protected file (a hard link, a case-blind file system), is refused.
 *
 * Two writers at once
 *  Writers exclude each other with kernel file locks (flock), which end with
 *  the process that holds them, so a killed run never blocks the next one.
 *  Nobody waits: a writer that finds a lock taken gives up and changes
 *  nothing.
 *  - The target is locked for the whole replacement (REPLACE_BUSY when
 *    another writer holds it).  After locking, its name must still lead to
 *    the locked file, and that file must be the one the caller read the old
 *    contents from (source): a file renamed over it meanwhile gives
 *    REPLACE_BUSY.
 *  - The temporary file is locked from its creation until it has been
 *    renamed or removed.  A locked file under the temporary name belongs to
 *    a live writer (perhaps of another file whose name shares the temporary
 *    name: "t.mp3" and "t.mp2" both use "t.mp$"): REPLACE_TEMPBUSY.  An
 *    unlocked one may be the leftover of a killed run, or a file of the
 *    user's: REPLACE_INWAY, and it stays as it is; only a caller that owns
 *    the folder (REPLACE_LEFTOVERS, the settings file in the program's own
 *    folder) has an unlocked regular file or a link there removed as a
 *    leftover (a link with the folder locked, since a link cannot be).
 *
 * Life of a Replace
 *  zeroed (Replace r = {0}) -> replace_open -> the caller writes r.fp ->
 *  [replace_finish ->] replace_commit, or replace_abort -> replace_free.
 *  replace_free is safe on a zeroed record, after a failed replace_open and
 *  after every other call, and must be called in every case.  Between replace_open and the end the
 *  record holds the folder's handle, two locked descriptors and the stream;
 *  the caller writes through r.fp only and never closes it.  The names stay
 *  valid for messages until replace_free.
 */
#ifndef LYRASIL_REPLACE_H
#define LYRASIL_REPLACE_H

#include <stdio.h>
#include <sys/stat.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results of replace_open, replace_commit and replace_read_open. */
enum {
    REPLACE_OK = 0,
    REPLACE_NOMEM,      /* memory ran out */
    REPLACE_RESOLVE,    /* the name (a link, the file or its folder) could
                           not be followed or opened */
    REPLACE_CLASH,      /* the temporary name is the target itself or the
                           protected file (another name for it) */
    REPLACE_CREATE,     /* the temporary file could not be made: no room
                           in the folder, no permission, a name too long */
    REPLACE_WRITE,      /* flushing, syncing or closing it failed */
    REPLACE_RENAME,     /* it could not take the target's place */
    REPLACE_BUSY,       /* another writer holds the target, or the target
                           is no longer the file that was read */
    REPLACE_READONLY,   /* the target exists and this process may not write
                           it (errno EACCES, EPERM or EROFS) */
    REPLACE_NOTREG,     /* the target exists and is not a regular file
                           (errno EISDIR for a folder, else EINVAL) */
    REPLACE_CHANGED,    /* the target changed, or was renamed, replaced,
                           created or removed, while the new file was made:
                           nothing was put in place */
    REPLACE_INWAY,      /* something this run did not make stands under the
                           temporary name: left alone */
    REPLACE_TEMPBUSY,   /* another writer holds the temporary name (perhaps
                           for another file sharing it) */
    REPLACE_LINK        /* a link in a shared folder that may not be
                           followed; r->target names it */
};

/* Flags of replace_open. */
enum {
    /* The caller owns the folder: an unlocked regular file or a link under
     * the temporary name is a killed run's leftover, and is removed. */
    REPLACE_LEFTOVERS = 1,
    /* The caller syncs the folder itself once it is done with it (a batch
     * of many files in few folders): replace_commit leaves it.  The file
     * is in place, old or new, either way; only the moment its new name is
     * safe on disk moves. */
    REPLACE_NOSYNCDIR = 2
};

typedef struct Replace {
    char *target;   /* the file to be replaced, symbolic links followed */
    char *tmpname;  /* the temporary file beside it */
    FILE *fp;       /* open for writing on tmpname while in progress */
    int dirfd;      /* the folder of both (-1: none) */
    int targetfd;   /* the target's lock (-1: none, as for a new file) */
    int tmpfd;      /* the temporary file's lock (-1: none) */
    struct stat was; /* the target as read (source) or as locked; st_nlink
                        0 when there was none */
    int flags;      /* replace_open's flags */
    int synced;     /* the new file is on disk already (replace_sync_group):
                       replace_commit does not sync it again */
} Replace;

/* --- replacing a file --- */

/* Prepares the replacement of the file called name.  suffix names the
 * temporary file (see Temporary names above).  source, when not null, is the
 * status of the stream the caller read the old contents from (fstat): the
 * target must still be that file, unchanged, until the rename.  protect,
 * when not null, is a file that the temporary name must not be (the track
 * an export reads).  flags: 0, or REPLACE_LEFTOVERS and REPLACE_NOSYNCDIR.
 * On REPLACE_OK the target is locked, the temporary file created, locked
 * and open for writing in r->fp.  On failure the codes above, with errno set, nothing left
 * behind, and r->target and r->tmpname naming the files where known (for the
 * message). */
int replace_open(Replace *r, const char *name, const char *suffix,
                 const struct stat *source, const struct stat *protect, int flags);

/* Flushes and closes r->fp, checking both: the new file is written, not
 * yet synced or in place; the locks are still held.  For a caller that
 * finishes many files and syncs their file systems once
 * (replace_sync_group) before committing each.  Returns
 * REPLACE_OK, or REPLACE_WRITE with errno set, the replacement then given
 * up (the temporary file removed). */
int replace_finish(Replace *r);

/* Syncs, once each, the file systems that hold the new files of the n
 * finished replacements rs (replace_finish done, not committed; null
 * entries and replacements given up are skipped).  rs must be in the order
 * in which they were opened: the sync goes through the first one's folder
 * handle on each file system, and reports the write errors met since that
 * handle was opened.  Where that report is known to be complete (Linux 5.8
 * and later, on ext2/3/4, XFS and Btrfs) and the sync succeeded, each new
 * file on that file system is marked synced, and replace_commit skips its
 * own sync of it; elsewhere, or when the sync failed, replace_commit syncs
 * each file as always, and finds little left to write.  Never fails: at
 * worst nothing is marked. */
void replace_sync_group(Replace *const *rs, size_t n);

/* Finishes r (when replace_finish has not), syncs the new file (unless
 * marked synced) and checks that the target is still what it was, then
 * renames the temporary file over the target and syncs the folder; the
 * locks are released after the rename.  Returns REPLACE_OK when the new
 * file is in place; REPLACE_WRITE, REPLACE_CHANGED or REPLACE_RENAME with
 * errno set otherwise, the temporary file then removed and the target
 * unchanged. */
int replace_commit(Replace *r);

/* Gives up: closes r->fp and removes the temporary file when they are still
 * open, and releases the locks.  The target is unchanged.  errno is
 * preserved. */
void replace_abort(Replace *r);

/* replace_abort, then releases the names. */
void replace_free(Replace *r);

/* --- file names --- */

/* Returns a pointer to the "." that starts the extension of filename, or
 * null when it has none: the extension is the part from the last ".",
 * unless a "/" follows it, it is the first character, or a "/" stands right
 * before it (so "my.dir/song" and ".hidden" have none). */
char *get_extension(const char *filename);

/* Returns a new malloc'd name: filename with extension (empty, or starting
 * with ".") set.  With replace non-zero an existing extension is replaced;
 * with replace 0 the extension is only added to a name that has none.
 * Returns null when memory runs out. */
char *set_extension(const char *filename, const char *extension, int replace);

/* The temporary name for target under suffix (see Temporary names), malloc'd;
 * null when memory runs out or target is empty. */
char *replace_tempname(const char *target, const char *suffix);

/* Non-zero when a and b are the same file (device and inode). */
int replace_same_file(const struct stat *a, const struct stat *b);

/* --- reading a file --- */

/* Opens name for reading ("rb") only when it is a regular file, without
 * ever waiting (a FIFO or a device under the name would block an ordinary
 * open), and only through links the rule for shared folders allows.
 * Stores the stream in *fp and its status in *st.  Results: REPLACE_OK;
 * REPLACE_NOTREG (errno EISDIR for a folder, EINVAL for anything else that
 * is not a regular file); REPLACE_LINK (*linkname, when not null, gets the
 * refused link's name, malloc'd); REPLACE_NOMEM; REPLACE_RESOLVE with the
 * open's own errno. */
int replace_read_open(const char *name, FILE **fp, struct stat *st, char **linkname);

#ifdef __cplusplus
}
#endif

#endif
