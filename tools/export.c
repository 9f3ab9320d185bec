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
    Id3Tag tag = {0};
    Replace out = {0};
    struct stat trackst, lrcst;
    FILE *mp3 = NULL;
    char *mp3name = NULL, *lrcname = NULL;
    int status, result;

    if ((status = answer_options(argc, argv, usage, VERSION_LINE)) >= 0)
        return status;
    status = STATUS_FAILURE;

    if ((mp3 = open_track(argv[1], &mp3name, &trackst)) == NULL)
        goto done;

    if (!id3_init(mp3, &tag)) {
        printf("File \"%s\" has no ID3 tag.\n", mp3name);
        goto done;
    }
    if (!id3_readsylt(&tag)) {
        puts("No SYLT frame, or insufficient memory.");
        goto done;
    }
    if (!lrc_fromsylt(&tag, 1)) {
        puts("Invalid SYLT frame, or insufficient memory for conversion.");
        goto done;
    }

    lrcname = set_extension(argc == 3 ? argv[2] : mp3name, ".lrc", 1);
    if (lrcname == NULL) {
        puts("Insufficient memory.");
        goto done;
    }
    /* Never write over the input, whatever name (or link) leads to it. */
    if (stat(lrcname, &lrcst) == 0 && replace_same_file(&lrcst, &trackst)) {
        printf("Not writing \"%s\": it is the MP3 track itself. "
               "The track was not changed.\n", lrcname);
        goto done;
    }
    result = replace_open(&out, lrcname, ".lr$", NULL, &trackst);
    if (result == REPLACE_OK) {
        if (!lrc_write(out.fp, &tag)) {
            printf("Error writing output file \"%s\": %s.\n", lrcname,
                   strerror(errno ? errno : EIO));
            goto done;
        }
        result = replace_commit(&out);
    }
    if (result != REPLACE_OK) {
        report_replace(export_replace_messages, result, lrcname, &out);
        goto done;
    }
    printf("Created output file \"%s\".\n", lrcname);
    status = STATUS_OK;

done:
    replace_free(&out);
    id3_close(&tag);
    if (mp3 != NULL)
        fclose(mp3);
    free(lrcname);
    free(mp3name);
    return status;
}
