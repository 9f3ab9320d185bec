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
    Id3Tag tag = {0};
    Replace out = {0};
    struct stat trackst, lrcst;
    FILE *mp3 = NULL, *lrc = NULL;
    char *mp3name = NULL, *lrcname = NULL;
    int status, has_tag, read_ok, err, result;

    if ((status = answer_options(argc, argv, usage, VERSION_LINE)) >= 0)
        return status;
    status = STATUS_FAILURE;

    if ((mp3 = open_track(argv[1], &mp3name, &trackst)) == NULL)
        goto done;
    has_tag = id3_init(mp3, &tag);
    /* "ID3" of a version this program does not know is no missing tag. */
    if (!has_tag && tag.version != 0 && (tag.version < 2 || tag.version > 4)) {
        copy_refused(mp3name);
        goto done;
    }
    errno = 0;
    if (!id3_ismpeg(&tag)) {
        if (ferror(mp3))
            printf("Error reading file \"%s\": %s. The track was not changed.\n",
                   mp3name, strerror(errno ? errno : EIO));
        else
            printf("\"%s\" is not an MP3 track. The track was not changed.\n", mp3name);
        goto done;
    }
    if (!has_tag)
        printf("File \"%s\" nas no ID3 tag. A new ID3 tag will be created.\n", mp3name);

    lrcname = set_extension(argc == 3 ? argv[2] : mp3name, ".lrc", 1);
    if (lrcname == NULL) {
        puts("Insufficient memory.");
        goto done;
    }
    lrc = fopen(lrcname, "rt");
    if (lrc == NULL) {
        printf("Error opening file \"%s\": %s.\n", lrcname, strerror(errno));
        goto done;
    }
    /* Importing a file into itself would bury the lyrics under a new tag. */
    if (fstat(fileno(lrc), &lrcst) == 0 && replace_same_file(&lrcst, &trackst)) {
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
    fclose(lrc);
    lrc = NULL;
    if (!lrc_tosylt(&tag)) {
        puts("Invalid LRC file, or insufficient memory for conversion.");
        goto done;
    }

    /* The track must still be the file read above, and no other run may be
     * changing it or using its temporary name. */
    result = replace_open(&out, mp3name, ".mp$", &trackst, NULL);
    if (result == REPLACE_OK) {
        errno = 0;
        if (!id3_copytag(out.fp, &tag) || !id3_writesylt(out.fp, &tag) ||
            !id3_appendmp3(out.fp, &tag)) {
            err = errno;
            rewrite_failed(err, out.fp, out.tmpname, mp3, mp3name);
            goto done;
        }
        result = replace_commit(&out);
    }
    if (result != REPLACE_OK) {
        report_replace(import_replace_messages, result, mp3name, &out);
        goto done;
    }
    puts("Done");
    status = STATUS_OK;

done:
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
