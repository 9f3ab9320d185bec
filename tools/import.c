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
#include "lyrasil_version.h"
#include "sylt.h"

#define VERSION_LINE "lyrasil-import version " LYRASIL_VERSION " build " LYRASIL_BUILD

static void usage(void)
{
    puts(VERSION_LINE "\n");
    puts("usage: lyrasil-import <mp3-file> [lrc-file]\n");
    puts("Imports an LRC file and writes it as a SYLT frame in an MP3 track.\n"
         "Other frames in the ID3 tag are kept intact.\n"
         "An ID3 tag is added to the MP3 track if none exists.");
}

/* Lyrics that no tag could hold: refused before the track is touched. */
static int too_big(ToolRun *run)
{
    report_track(FOR_IMPORT, TRACK_TOOBIG, run->mp3name, &run->track);
    return run_close(run, STATUS_FAILURE);
}

int main(int argc, char *argv[])
{
    ToolRun run = {0};
    Id3Tag *tag = &run.track.tag;
    struct stat lrcst;
    int status, result;

    if ((status = answer_options(argc, argv, usage, VERSION_LINE)) >= 0)
        return status;

    if (!open_track(&run, argv[1], FOR_IMPORT, 1))
        return run_close(&run, STATUS_FAILURE);
    if (!run.track.hastag)
        /* "nas": the message as users and scripts know it. */
        printf("File \"%s\" nas no ID3 tag. A new ID3 tag will be created.\n", run.mp3name);

    run.lrcname = set_extension(argc == 3 ? argv[2] : run.mp3name, ".lrc", 1);
    if (run.lrcname == NULL) {
        puts("Insufficient memory.");
        return run_close(&run, STATUS_FAILURE);
    }
    /* A regular file only: a FIFO would make the run wait, a device would
     * never end. */
    if ((result = replace_read_open(run.lrcname, &run.lrc, &lrcst, &run.track.out.target)) != REPLACE_OK) {
        run.track.replaced = result;
        run.track.err = errno;
        report_track(FOR_IMPORT, TRACK_REPLACE, run.lrcname, &run.track);
        return run_close(&run, STATUS_FAILURE);
    }
    /* Importing a file into itself would bury the lyrics under a new tag. */
    if (replace_same_file(&lrcst, &run.track.st)) {
        report_track(FOR_IMPORT, TRACK_SAMEFILE, run.lrcname, &run.track);
        return run_close(&run, STATUS_FAILURE);
    }
    if (argc < 3)
        printf("Importing file \"%s\".\n", run.lrcname);

    errno = 0;
    if (!lrc_read(run.lrc, tag, 0) && tag->reason == ID3_EREAD) {
        printf("Error reading file \"%s\": %s.\n", run.lrcname, strerror(errno ? errno : EIO));
        return run_close(&run, STATUS_FAILURE);
    }
    if (tag->reason == ID3_ETOOBIG)
        return too_big(&run);
    /* A file without a time-stamped line leaves no text to convert. */
    if (tag->reason != ID3_OK || tag->lrc == NULL) {
        puts("Invalid LRC file, or insufficient memory.");
        return run_close(&run, STATUS_FAILURE);
    }
    if (tag->skipped > 0)
        printf(tag->skipped == 1 ? "%ld line without a readable time-stamp was skipped.\n"
                                 : "%ld lines without a readable time-stamp were skipped.\n",
               (long)tag->skipped);
    if (!lrc_tosylt(tag) && tag->reason == ID3_ETOOBIG)
        return too_big(&run);
    if (tag->reason != ID3_OK) {
        puts("Invalid LRC file, or insufficient memory for conversion.");
        return run_close(&run, STATUS_FAILURE);
    }

    /* The track must still be the file read above, and no other run may be
     * changing it or using its temporary name. */
    if ((result = track_rewrite(&run.track, NULL)) != TRACK_OK) {
        report_track(FOR_IMPORT, result, run.mp3name, &run.track);
        return run_close(&run, STATUS_FAILURE);
    }
    puts("Done");
    return run_close(&run, STATUS_OK);
}
