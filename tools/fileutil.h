/*
 * fileutil.h - file-name and file-replacement helpers of the command-line
 * converters.
 *
 * File names: names of any length are used whole.  An extension is the
 * part of a name from its last "." on, unless a "/" follows that ".", the
 * "." is the first character of the name, or a "/" stands right before it
 * (so "my.dir/song" and ".hidden" have none).
 *
 * Replacing a file: the new contents go into a temporary file beside the
 * file to be replaced, named like it with the temporary extension (".mp$"
 * for a track).  Only when everything was written, flushed, synced to disk
 * and closed does one rename() put it in place of the old file, which until
 * then is never touched.  On any failure the temporary file is removed and
 * the old file stays exactly as it was.
 *
 * A name that is a symbolic link stands for the file it points to: that
 * file is replaced and the link stays a link.  The new file gets the old
 * one's permission bits (and, where allowed, its owner and group).
 */
#ifndef LYRASIL_FILEUTIL_H
#define LYRASIL_FILEUTIL_H

#include <stdio.h>
#include <sys/stat.h>

/* Exit statuses of both programs. */
enum { STATUS_OK = 0, STATUS_FAILURE = 1 };

/* --- command line --- */

/* Answers the options both programs share, wherever they stand: -h and
 * --help print the usage text, --version the version line; without any
 * argument the usage text is printed too.  Returns the exit status when
 * the program is done, -1 when it should go on with its file names. */
int answer_options(int argc, char *argv[], void (*usage)(void), const char *version);

/* Opens the track named by arg for reading, completed with ".mp3" when the
 * name has no extension.  Stores the completed name (malloc'd, the
 * caller frees it) in *name and the file's status in *st.  On failure
 * prints the message naming the file and returns null. */
FILE *open_track(const char *arg, char **name, struct stat *st);

/* --- file names --- */

/* Returns a pointer to the "." that starts the extension of filename, or
 * null when the name has none. */
char *get_extension(const char *filename);

/* Returns a new malloc'd name: filename with extension (empty, or starting
 * with ".") set.  With replace non-zero an existing extension is replaced;
 * with replace 0 the extension is only added to a name that has none.
 * Returns null when memory runs out. */
char *set_extension(const char *filename, const char *extension, int replace);

/* --- replacing a file --- */

/* Why replace_open or replace_commit failed, beyond errno. */
enum {
    REPLACE_OK = 0,
    REPLACE_NOMEM,      /* memory ran out */
    REPLACE_RESOLVE,    /* a symbolic link could not be followed (errno) */
    REPLACE_CLASH,      /* the temporary name is the file itself or the
                           protected file (another name for it) */
    REPLACE_CREATE,     /* the temporary file could not be made (errno) */
    REPLACE_WRITE,      /* flushing, syncing or closing it failed (errno) */
    REPLACE_RENAME      /* it could not take the target's place (errno) */
};

typedef struct Replace {
    char *target;   /* the file to be replaced, symbolic links followed */
    char *tmpname;  /* the temporary file beside it */
    FILE *fp;       /* open for writing on tmpname while in progress */
} Replace;

/* Creates the temporary file for replacing name, named after the target
 * with the extension tmpext, and opens it for writing in r->fp.  A stale
 * file under the temporary name is removed first; a symbolic link there is
 * removed, never followed.  When protect is not null, a temporary name that
 * turns out to be that file (or the target itself) is refused with
 * REPLACE_CLASH and nothing is touched.  The new file takes the mode of the
 * target when it exists, otherwise 0666 less the umask.  Returns REPLACE_OK;
 * on failure the other codes, with errno set for RESOLVE and CREATE,
 * r->tmpname still naming the temporary file where known (for the message)
 * and nothing left behind.  Call replace_free in every case. */
int replace_open(Replace *r, const char *name, const char *tmpext,
                 const struct stat *protect);

/* Flushes, checks, syncs and closes r->fp, then renames the temporary file
 * over the target.  Returns REPLACE_OK when the new file is in place;
 * REPLACE_WRITE or REPLACE_RENAME with errno set otherwise, the temporary
 * file then removed and the target unchanged. */
int replace_commit(Replace *r);

/* Gives up: when r->fp is open, closes it and removes the temporary file.
 * The target is unchanged.  errno is preserved. */
void replace_abort(Replace *r);

/* Releases the names.  Safe after any of the above and on a zeroed r. */
void replace_free(Replace *r);

/* Non-zero when a and b are the same file (device and inode). */
int same_file(const struct stat *a, const struct stat *b);

#endif
