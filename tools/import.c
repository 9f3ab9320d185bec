/*
 * lyrasil-import - writes an LRC file into an MP3 track as its SYLT frame,
 * keeping every other frame of the ID3 tag and creating a tag when the
 * track has none.
 *
 *   lyrasil-import <mp3-file> [lrc-file]
 *
 * A track name without an extension gets ".mp3"; the LRC name (the second
 * argument when exactly two are given, otherwise the track's name) always
 * gets ".lrc".
 *
 * The track is never changed in place: the new copy is written to a file
 * beside it with the extension ".mp$", checked, synced, and renamed over
 * the track in one step.  Any failure removes the copy and leaves the track
 * exactly as it was.  A track name that is a symbolic link updates the file
 * the link points to.
 */
#define _XOPEN_SOURCE 700

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "fileutil.h"
#include "sylt.h"

#define VERSION_LINE "lyrasil-import version 1.1 build 5099"

static void usage(void)
{
    puts(VERSION_LINE "\n");
    puts("usage: lyrasil-import <mp3-file> [lrc-file]\n");
    puts("Imports an LRC file and writes it as a SYLT frame in an MP3 track.\n"
         "Other frames in the ID3 tag are kept intact.\n"
         "An ID3 tag is added to the MP3 track if none exists.");
}

/* Says why writing the new copy of the track failed: a write to the
 * temporary file, a read of the track, or a tag the core will not copy. */
static void rewrite_failed(int err, FILE *tmp, const char *tmpname,
                           FILE *track, const char *trackname)
{
    if (err == 0)
        err = EIO;
    if (ferror(tmp))
        printf("Error writing temporary file \"%s\": %s. "
               "The track was not changed.\n", tmpname, strerror(err));
    else if (ferror(track))
        printf("Error reading file \"%s\": %s. "
               "The track was not changed.\n", trackname, strerror(err));
    else
        printf("The ID3 tag of \"%s\" cannot be copied safely. "
               "The track was not changed.\n", trackname);
}

int main(int argc, char *argv[])
{
    Id3Tag tag = {0};
    Replace out = {0};
    struct stat trackst, lrcst;
    FILE *mp3 = NULL, *lrc = NULL;
    char *mp3name = NULL, *lrcname = NULL;
    int status, read_ok, err;

    if ((status = answer_options(argc, argv, usage, VERSION_LINE)) >= 0)
        return status;
    status = STATUS_FAILURE;

    if ((mp3 = open_track(argv[1], &mp3name, &trackst)) == NULL)
        goto done;
    if (!id3_init(mp3, &tag))
        printf("File \"%s\" nas no ID3 tag. A new ID3 tag will be created.\n", mp3name);

    lrcname = set_extension(argc == 3 ? argv[2] : mp3name, ".lrc", 1);
    if (lrcname == NULL) {
        puts("Insufficient memory.");
        goto done;
    }
    lrc = fopen(lrcname, "rt");
    if (lrc == NULL) {
        printf("Error opening file \"%s\".\n", lrcname);
        goto done;
    }
    /* Importing a file into itself would bury the lyrics under a new tag. */
    if (fstat(fileno(lrc), &lrcst) == 0 && same_file(&lrcst, &trackst)) {
        printf("Not importing \"%s\": it is the MP3 track itself. "
               "The track was not changed.\n", lrcname);
        goto done;
    }
    if (argc < 3)
        printf("Importing file \"%s\".\n", lrcname);

    read_ok = lrc_read(lrc, &tag, 0);
    if (ferror(lrc)) {
        printf("Error reading file \"%s\": %s.\n", lrcname, strerror(errno ? errno : EIO));
        goto done;
    }
    /* A file without a time-stamped line leaves no text to convert. */
    if (!read_ok || tag.lrc == NULL) {
        puts("Invalid LRC file, or insufficient memory.");
        goto done;
    }
    if (tag.skipped > 0)
        printf(tag.skipped == 1 ? "%ld line without a readable time-stamp was skipped.\n"
                                : "%ld lines without a readable time-stamp were skipped.\n",
               (long)tag.skipped);
    fclose(lrc);
    lrc = NULL;
    if (!lrc_tosylt(&tag)) {
        puts("Invalid LRC file, or insufficient memory for conversion.");
        goto done;
    }

    switch (replace_open(&out, mp3name, ".mp$", NULL)) {
    case REPLACE_OK:
        break;
    case REPLACE_NOMEM:
        puts("Insufficient memory.");
        goto done;
    case REPLACE_RESOLVE:
        printf("Error opening file \"%s\": %s.\n", mp3name, strerror(errno));
        goto done;
    case REPLACE_CLASH:
        printf("Error creating temporary file \"%s\": that name is the track itself. "
               "The track was not changed.\n", out.tmpname);
        goto done;
    default:
        printf("Error creating temporary file \"%s\".\n", out.tmpname ? out.tmpname : mp3name);
        goto done;
    }

    errno = 0;
    if (!id3_copytag(out.fp, &tag) || !id3_writesylt(out.fp, &tag) ||
        !id3_appendmp3(out.fp, &tag)) {
        err = errno;
        rewrite_failed(err, out.fp, out.tmpname, mp3, mp3name);
        goto done;
    }
    switch (replace_commit(&out)) {
    case REPLACE_OK:
        break;
    case REPLACE_RENAME:
        printf("Error replacing \"%s\" with \"%s\": %s. The track was not changed.\n",
               mp3name, out.tmpname, strerror(errno));
        goto done;
    default:
        printf("Error writing temporary file \"%s\": %s. The track was not changed.\n",
               out.tmpname, strerror(errno));
        goto done;
    }
    puts("Done");
    status = STATUS_OK;

done:
    replace_abort(&out);
    replace_free(&out);
    id3_close(&tag);
    if (lrc != NULL)
        fclose(lrc);
    if (mp3 != NULL)
        fclose(mp3);
    free(lrcname);
    free(mp3name);
    return status;
}
