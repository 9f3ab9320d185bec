/*
 * lyrasil-export - writes the SYLT frame of an MP3 track to an LRC file,
 * with word stamps.  The track is only read.
 *
 *   lyrasil-export <mp3-file> [lrc-file]
 *
 * A track name without an extension gets ".mp3"; the LRC name (the second
 * argument when exactly two are given, otherwise the track's name) always
 * gets ".lrc".  The LRC file is written beside its place under the
 * extension ".lr$" and renamed into place once complete, so a full disk
 * leaves no partial LRC file, and an older LRC file stays as it was.
 */
#define _XOPEN_SOURCE 700

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "fileutil.h"
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
    int status;

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
        puts(tag.syltcompressed ? "The SYLT frame is compressed, which is not supported."
                                : "No SYLT frame, or insufficient memory.");
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
    if (stat(lrcname, &lrcst) == 0 && same_file(&lrcst, &trackst)) {
        printf("Not writing \"%s\": it is the MP3 track itself. "
               "The track was not changed.\n", lrcname);
        goto done;
    }
    switch (replace_open(&out, lrcname, ".lr$", &trackst)) {
    case REPLACE_OK:
        break;
    case REPLACE_NOMEM:
        puts("Insufficient memory.");
        goto done;
    case REPLACE_RESOLVE:
        printf("Error creating output file \"%s\": %s.\n", lrcname, strerror(errno));
        goto done;
    case REPLACE_CLASH:
        printf("Not writing \"%s\": its temporary file \"%s\" is the MP3 track "
               "or the output file itself.\n", lrcname, out.tmpname);
        goto done;
    default:
        printf("Error creating output file \"%s\".\n", lrcname);
        goto done;
    }

    if (!lrc_write(out.fp, &tag)) {
        replace_abort(&out);
        printf("Error writing output file \"%s\": %s.\n", lrcname, strerror(errno ? errno : EIO));
        goto done;
    }
    switch (replace_commit(&out)) {
    case REPLACE_OK:
        break;
    case REPLACE_RENAME:
        printf("Error replacing output file \"%s\": %s.\n", lrcname, strerror(errno));
        goto done;
    default:
        printf("Error writing output file \"%s\": %s.\n", lrcname, strerror(errno));
        goto done;
    }
    printf("Created output file \"%s\".\n", lrcname);
    status = STATUS_OK;

done:
    replace_abort(&out);
    replace_free(&out);
    id3_close(&tag);
    if (mp3 != NULL)
        fclose(mp3);
    free(lrcname);
    free(mp3name);
    return status;
}
