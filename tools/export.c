/*
 * lyrasil-export - writes the SYLT frame of an MP3 track to an LRC file,
 * with word stamps; with -r, an LRC file beside each track of a folder.
 * The tracks are only read.
 *
 *   lyrasil-export <mp3-file> [lrc-file]
 *   lyrasil-export [-n] [-j N] [-q] [--force] -r PATH...
 *
 * A track name without an extension gets ".mp3"; the LRC name (the second
 * argument when exactly two are given, otherwise the track's name) always
 * gets ".lrc".  The LRC file is written beside its place under the
 * extension ".lr$" and renamed into place once complete (track.h,
 * replace.h), so a full disk leaves no partial LRC file, and an older LRC
 * file stays as it was.  A read-only LRC file, or one that another program
 * is writing, is left alone.
 */
#include <stdio.h>
#include <stdlib.h>

#include "batch.h"
#include "cli.h"
#include "lyrasil_version.h"

#define VERSION_LINE "lyrasil-export version " LYRASIL_VERSION " build " LYRASIL_BUILD

static void usage(void)
{
    puts(VERSION_LINE "\n");
    puts("usage: lyrasil-export <mp3-file> [lrc-file]\n"
         "       lyrasil-export [-n] [-j N] [-q] [--force] -r PATH...\n");
    puts("Exports the SYLT frame in an MP3 track to a separate LRC file.\n"
         "The MP3 track is not altered.\n"
         "\n"
         "  -r, --recursive  export every MP3 track in the folders (and tracks) named\n"
         "                   to an LRC file of the same name beside it\n"
         "  -n, --dry-run    report what would be done, change nothing\n"
         "  -j, --jobs N     handle N tracks at once (default: one per processor)\n"
         "  -q, --quiet      no progress line\n"
         "  --force          replace LRC files that hold something else (kept otherwise)");
}

int main(int argc, char *argv[])
{
    Options o;
    ToolRun run = {0};
    Job job = {0};
    char *message;
    int status;

    if ((status = read_options(argc, argv, FOR_EXPORT, usage, VERSION_LINE, &o)) >= 0)
        return status;
    if (o.recursive) {
        status = batch_run(FOR_EXPORT, &o);
        free(o.args);
        return status;
    }
    run.mp3name = set_extension(o.args[0], ".mp3", 0);
    run.lrcname = run.mp3name == NULL ? NULL : set_extension(o.nargs == 2 ? o.args[1] : run.mp3name, ".lrc", 1);
    free(o.args);
    if (run.lrcname == NULL) {
        puts("Insufficient memory.");
        return run_close(&run, STATUS_FAILURE);
    }
    job.track = run.mp3name;
    job.lrc = run.lrcname;
    if (export_one(&run, &job, &o, &message) == OUT_FAILED) {
        puts(message != NULL ? message : "Insufficient memory.");
        free(message);
        return run_close(&run, STATUS_FAILURE);
    }
    printf("Created output file \"%s\".\n", run.lrcname);
    return run_close(&run, STATUS_OK);
}
