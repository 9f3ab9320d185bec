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
 * the track in one step (replace.h).  Any failure removes the copy and
 * leaves the track exactly as it was.  A track name that is a symbolic link
 * updates the file the link points to.  A file that is not MPEG audio, a
 * track the user may not write, and a track that another program is
 * changing are refused before anything is written.
 */
#define _XOPEN_SOURCE 700

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "cli.h"
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

static void copy_refused(const char *trackname)
{
    printf("The ID3 tag of \"%s\" cannot be copied safely. "
           "The track was not changed.\n", trackname);
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
        copy_refused(trackname);
}

int main(int argc, char *argv[])
{
    ToolRun run = {0};
    Id3Tag *tag = &run.tag;
    struct stat trackst, lrcst;
    int status, has_tag, read_ok, err, result;

    if ((status = answer_options(argc, argv, usage, VERSION_LINE)) >= 0)
        return status;

    if ((run.mp3 = open_track(argv[1], &run.mp3name, &trackst)) == NULL)
        return run_close(&run, STATUS_FAILURE);
    has_tag = id3_init(run.mp3, tag);
    /* "ID3" of a version this program does not know is no missing tag. */
    if (!has_tag && tag->version != 0 && (tag->version < 2 || tag->version > 4)) {
        copy_refused(run.mp3name);
        return run_close(&run, STATUS_FAILURE);
    }
    errno = 0;
    if (!id3_ismpeg(tag)) {
        if (ferror(run.mp3))
            printf("Error reading file \"%s\": %s. The track was not changed.\n",
                   run.mp3name, strerror(errno ? errno : EIO));
        else
            printf("\"%s\" is not an MP3 track. The track was not changed.\n", run.mp3name);
        return run_close(&run, STATUS_FAILURE);
    }
    if (!has_tag)
        printf("File \"%s\" nas no ID3 tag. A new ID3 tag will be created.\n", run.mp3name);

    run.lrcname = set_extension(argc == 3 ? argv[2] : run.mp3name, ".lrc", 1);
    if (run.lrcname == NULL) {
        puts("Insufficient memory.");
        return run_close(&run, STATUS_FAILURE);
    }
    run.lrc = fopen(run.lrcname, "rt");
    if (run.lrc == NULL) {
        printf("Error opening file \"%s\": %s.\n", run.lrcname, strerror(errno));
        return run_close(&run, STATUS_FAILURE);
    }
    /* Importing a file into itself would bury the lyrics under a new tag. */
    if (fstat(fileno(run.lrc), &lrcst) == 0 && replace_same_file(&lrcst, &trackst)) {
        printf("Not importing \"%s\": it is the MP3 track itself. "
               "The track was not changed.\n", run.lrcname);
        return run_close(&run, STATUS_FAILURE);
    }
    if (argc < 3)
        printf("Importing file \"%s\".\n", run.lrcname);

    read_ok = lrc_read(run.lrc, tag, 0);
    if (ferror(run.lrc)) {
        printf("Error reading file \"%s\": %s.\n", run.lrcname, strerror(errno ? errno : EIO));
        return run_close(&run, STATUS_FAILURE);
    }
    /* A file without a time-stamped line leaves no text to convert. */
    if (!read_ok || tag->lrc == NULL) {
        puts("Invalid LRC file, or insufficient memory.");
        return run_close(&run, STATUS_FAILURE);
    }
    if (tag->skipped > 0)
        printf(tag->skipped == 1 ? "%ld line without a readable time-stamp was skipped.\n"
                                 : "%ld lines without a readable time-stamp were skipped.\n",
               (long)tag->skipped);
    if (!lrc_tosylt(tag)) {
        puts("Invalid LRC file, or insufficient memory for conversion.");
        return run_close(&run, STATUS_FAILURE);
    }

    /* The track must still be the file read above, and no other run may be
     * changing it or using its temporary name. */
    result = replace_open(&run.out, run.mp3name, ".mp$", &trackst, NULL);
    if (result == REPLACE_OK) {
        errno = 0;
        if (!id3_copytag(run.out.fp, tag) || !id3_writesylt(run.out.fp, tag) ||
            !id3_appendmp3(run.out.fp, tag)) {
            err = errno;
            rewrite_failed(err, run.out.fp, run.out.tmpname, run.mp3, run.mp3name);
            return run_close(&run, STATUS_FAILURE);
        }
        result = replace_commit(&run.out);
    }
    if (result != REPLACE_OK) {
        report_replace(FOR_IMPORT, result, run.mp3name, &run.out);
        return run_close(&run, STATUS_FAILURE);
    }
    puts("Done");
    return run_close(&run, STATUS_OK);
}
