/*
 * cli.c - what the two command-line converters share (see cli.h).
 */
#define _XOPEN_SOURCE 700

#include "cli.h"

#include <assert.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* --- command line --- */

int answer_options(int argc, char *argv[], void (*usage)(void), const char *version)
{
    int i;

    if (argc < 2) {
        usage();
        return STATUS_FAILURE;
    }
    for (i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
            usage();
            return STATUS_OK;
        }
        if (strcmp(argv[i], "--version") == 0) {
            puts(version);
            return STATUS_OK;
        }
    }
    return -1;
}

FILE *open_track(const char *arg, char **name, struct stat *st)
{
    FILE *fp;

    *name = set_extension(arg, ".mp3", 0);
    if (*name == NULL) {
        puts("Insufficient memory.");
        return NULL;
    }
    /* A FIFO would wait for a writer, and a folder or a device is no
     * track: never read or replace one. */
    fp = replace_fopen_regular(*name, st);
    if (fp == NULL)
        printf("Error opening file \"%s\": %s.\n", *name,
               errno == EINVAL ? "not a regular file" : strerror(errno));
    return fp;
}

/* --- messages for the results of replacing a file --- */

/* One row per result: lyrasil-import's message (replacing a track), then
 * lyrasil-export's (replacing an LRC file) where it differs.  A message
 * names its pieces: %N the file as the user named it, %T the temporary file,
 * %E the reason (strerror of errno), %W what the file is ("track",
 * "LRC file"). */
static const char *const replace_messages[REPLACE_NOTREG + 1][2] = {
    [REPLACE_NOMEM] = {"Insufficient memory."},
    [REPLACE_RESOLVE] = {"Error opening file \"%N\": %E.",
                         "Error creating output file \"%N\": %E."},
    [REPLACE_CLASH] = {"Error creating temporary file \"%T\": that name is the track itself. "
                       "The track was not changed.",
                       "Not writing \"%N\": its temporary file \"%T\" is the MP3 track "
                       "or the output file itself."},
    [REPLACE_CREATE] = {"Error creating temporary file \"%T\": %E.",
                        "Error creating output file \"%N\": %E."},
    [REPLACE_WRITE] = {"Error writing temporary file \"%T\": %E. The track was not changed.",
                       "Error writing output file \"%N\": %E."},
    [REPLACE_RENAME] = {"Error replacing \"%N\" with \"%T\": %E. The track was not changed.",
                        "Error replacing output file \"%N\": %E."},
    [REPLACE_BUSY] = {"\"%N\" is being changed by another program. The %W was not changed."},
    [REPLACE_READONLY] = {"\"%N\" is read-only. The %W was not changed."},
    [REPLACE_NOTREG] = {"Error opening file \"%N\": not a regular file.",
                        "Error creating output file \"%N\": not a regular file."},
};

void report_replace(int program, int result, const char *name, const Replace *r)
{
    const char *piece[128] = {0};
    const char *p;

    assert(program == FOR_IMPORT || program == FOR_EXPORT);
    assert(result > REPLACE_OK && result <= REPLACE_NOTREG);
    piece['N'] = name;
    piece['T'] = r->tmpname != NULL ? r->tmpname : name;
    piece['E'] = strerror(errno != 0 ? errno : EIO);
    piece['W'] = program == FOR_IMPORT ? "track" : "LRC file";
    p = replace_messages[result][program];
    if (p == NULL)
        p = replace_messages[result][FOR_IMPORT];
    for (; *p != '\0'; p++) {
        if (p[0] == '%' && (unsigned char)p[1] < 128 && piece[(unsigned char)p[1]] != NULL)
            fputs(piece[(unsigned char)*++p], stdout);
        else
            putchar(*p);
    }
    putchar('\n');
}

/* --- the end of a run --- */

int run_close(ToolRun *run, int status)
{
    replace_free(&run->out);
    id3_close(&run->tag);
    if (run->lrc != NULL)
        fclose(run->lrc);
    if (run->mp3 != NULL)
        fclose(run->mp3);
    free(run->lrcname);
    free(run->mp3name);
    return status;
}
