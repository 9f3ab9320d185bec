/*
 * lyrasil-export - writes the SYLT frame of an MP3 track to an LRC file,
 * with word stamps.  The track is only read.
 *
 *   lyrasil-export <mp3-file> [lrc-file]
 *
 * A track name without an extension gets ".mp3"; the LRC name (the second
 * argument when exactly two are given, otherwise the track's name) always
 * gets ".lrc".  The LRC file is written beside its place under the
 * extension ".lr$" and renamed into place once complete (replace.h), so a
 * full disk leaves no partial LRC file, and an older LRC file stays as it
 * was.  A read-only LRC file, or one that another program is writing, is
 * left alone.
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

#define VERSION_LINE "lyrasil-export version " LYRASIL_VERSION " build " LYRASIL_BUILD

static void usage(void)
{
    puts(VERSION_LINE "\n");
    puts("usage: lyrasil-export <mp3-file> [lrc-file]\n");
    puts("Exports the SYLT frame in an MP3 track to a separate LRC file.\n"
         "The MP3 track is not altered.");
}

int main(int argc, char *argv[])
{
    ToolRun run = {0};
    int status, result;

    if ((status = answer_options(argc, argv, usage, VERSION_LINE)) >= 0)
        return status;

    if (!open_track(&run, argv[1], FOR_EXPORT, 0))
        return run_close(&run, STATUS_FAILURE);
    if ((result = track_readsylt(&run.track, 1)) != TRACK_OK) {
        report_track(FOR_EXPORT, result, run.mp3name, &run.track);
        return run_close(&run, STATUS_FAILURE);
    }

    run.lrcname = set_extension(argc == 3 ? argv[2] : run.mp3name, ".lrc", 1);
    if (run.lrcname == NULL) {
        puts("Insufficient memory.");
        return run_close(&run, STATUS_FAILURE);
    }
    if ((result = track_writelrc(&run.track, run.lrcname)) != TRACK_OK) {
        report_track(FOR_EXPORT, result, run.lrcname, &run.track);
        return run_close(&run, STATUS_FAILURE);
    }
    printf("Created output file \"%s\".\n", run.lrcname);
    return run_close(&run, STATUS_OK);
}
