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
#include "sylt.h"

#define VERSION_LINE "lyrasil-export version 1.1 build 5099"

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
    Id3Tag *tag = &run.tag;
    struct stat trackst, lrcst;
    int status, result;

    if ((status = answer_options(argc, argv, usage, VERSION_LINE)) >= 0)
        return status;

    if ((run.mp3 = open_track(argv[1], &run.mp3name, &trackst)) == NULL)
        return run_close(&run, STATUS_FAILURE);
    if (!id3_init(run.mp3, tag)) {
        printf("File \"%s\" has no ID3 tag.\n", run.mp3name);
        return run_close(&run, STATUS_FAILURE);
    }
    if (!id3_readsylt(tag)) {
        puts(tag->syltcompressed ? "The SYLT frame is compressed, which is not supported."
                                 : "No SYLT frame, or insufficient memory.");
        return run_close(&run, STATUS_FAILURE);
    }
    if (!lrc_fromsylt(tag, 1)) {
        puts("Invalid SYLT frame, or insufficient memory for conversion.");
        return run_close(&run, STATUS_FAILURE);
    }

    run.lrcname = set_extension(argc == 3 ? argv[2] : run.mp3name, ".lrc", 1);
    if (run.lrcname == NULL) {
        puts("Insufficient memory.");
        return run_close(&run, STATUS_FAILURE);
    }
    /* Never write over the input, whatever name (or link) leads to it. */
    if (stat(run.lrcname, &lrcst) == 0 && replace_same_file(&lrcst, &trackst)) {
        printf("Not writing \"%s\": it is the MP3 track itself. "
               "The track was not changed.\n", run.lrcname);
        return run_close(&run, STATUS_FAILURE);
    }
    result = replace_open(&run.out, run.lrcname, ".lr$", NULL, &trackst);
    if (result == REPLACE_OK) {
        if (!lrc_write(run.out.fp, tag)) {
            printf("Error writing output file \"%s\": %s.\n", run.lrcname,
                   strerror(errno ? errno : EIO));
            return run_close(&run, STATUS_FAILURE);
        }
        result = replace_commit(&run.out);
    }
    if (result != REPLACE_OK) {
        report_replace(FOR_EXPORT, result, run.lrcname, &run.out);
        return run_close(&run, STATUS_FAILURE);
    }
    printf("Created output file \"%s\".\n", run.lrcname);
    return run_close(&run, STATUS_OK);
}
