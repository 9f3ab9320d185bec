/*
 * lyrasil-import - writes an LRC file into an MP3 track as its SYLT frame,
 * keeping every other frame of the ID3 tag and creating a tag when the
 * track has none; with -r, the LRC files beside a whole folder's tracks.
 *
 *   lyrasil-import [--uslt] [--lines] <mp3-file> [lrc-file]
 *   lyrasil-import [-n] [-j N] [-q] [--uslt] [--lines] -r PATH...
 *
 * A track name without an extension gets ".mp3"; the LRC name (the second
 * argument when exactly two are given, otherwise the track's name) always
 * gets ".lrc".
 *
 * The track is never changed in place: the new copy is written to a file
 * beside it with the extension ".mp$", checked, synced, and renamed over
 * the track in one step (track.h, replace.h).  Any failure removes the copy
 * and leaves the track exactly as it was.  A track name that is a symbolic
 * link updates the file the link points to.  A file that is not MPEG audio,
 * a track the user may not write, and a track that another program is
 * changing are refused before anything is written.
 */
#include <stdio.h>
#include <stdlib.h>

#include "batch.h"
#include "cli.h"
#include "lyrasil_version.h"

#define VERSION_LINE "lyrasil-import version " LYRASIL_VERSION " build " LYRASIL_BUILD

static void usage(void)
{
    puts(VERSION_LINE "\n");
    puts("usage: lyrasil-import [--uslt] [--lines] <mp3-file> [lrc-file]\n"
         "       lyrasil-import [-n] [-j N] [-q] [--uslt] [--lines] -r PATH...\n");
    puts("Imports an LRC file and writes it as a SYLT frame in an MP3 track.\n"
         "Other frames in the ID3 tag are kept intact.\n"
         "An ID3 tag is added to the MP3 track if none exists.\n"
         "\n"
         "  -r, --recursive  import into every MP3 track in the folders (and tracks)\n"
         "                   named, each from the LRC file of the same name beside it\n"
         "  -n, --dry-run    report what would be done, change nothing\n"
         "  -j, --jobs N     handle N tracks at once (default: one per processor)\n"
         "  -q, --quiet      no progress line\n"
         "  --uslt           also store the lyrics as LRC text (USLT frame)\n"
         "  --lines          one SYLT item per lyrics line, word stamps dropped");
}

int main(int argc, char *argv[])
{
    Options o;
    ToolRun run = {0};
    Job job = {0};
    char *message;
    int status;

    if ((status = read_options(argc, argv, FOR_IMPORT, usage, VERSION_LINE, &o)) >= 0)
        return status;
    if (o.recursive) {
        status = batch_run(FOR_IMPORT, &o);
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
    job.announce = o.nargs < 2;
    job.verbose = 1;
    if (import_one(&run, &job, &o, &message) == OUT_FAILED) {
        puts(message != NULL ? message : "Insufficient memory.");
        free(message);
        return run_close(&run, STATUS_FAILURE);
    }
    puts("Done");
    return run_close(&run, STATUS_OK);
}
