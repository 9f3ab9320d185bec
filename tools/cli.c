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

int open_track(ToolRun *run, const char *arg, int program, int mpeg)
{
    int result;

    run->mp3name = set_extension(arg, ".mp3", 0);
    if (run->mp3name == NULL) {
        puts("Insufficient memory.");
        return 0;
    }
    result = track_open(&run->track, run->mp3name, mpeg);
    if (result != TRACK_OK)
        report_track(program, result, run->mp3name, &run->track);
    return result == TRACK_OK;
}

/* --- messages --- */

/* Each message names its pieces: %N the file as the user named it, %T the
 * temporary file, %L a link that was not followed, %E the reason (strerror
 * of the failed call's errno), %W what the file being replaced is ("track",
 * "LRC file"). */
static void put_message(const char *p, const char *name, const Track *t, int program)
{
    const char *piece[128] = {0};

    piece['N'] = name;
    piece['T'] = t->out.tmpname != NULL ? t->out.tmpname : name;
    piece['L'] = t->out.target != NULL ? t->out.target : name;
    piece['E'] = strerror(t->err != 0 ? t->err : EIO);
    piece['W'] = program == FOR_IMPORT ? "track" : "LRC file";
    for (; *p != '\0'; p++) {
        if (p[0] == '%' && (unsigned char)p[1] < 128 && piece[(unsigned char)p[1]] != NULL)
            fputs(piece[(unsigned char)*++p], stdout);
        else
            putchar(*p);
    }
    putchar('\n');
}

#define NOT_CHANGED " The track was not changed."
#define COPY_REFUSED "The ID3 tag of \"%N\" cannot be copied safely." NOT_CHANGED

/* One row per track result: lyrasil-import's message, then lyrasil-export's
 * where it differs. */
static const char *const track_messages[TRACK_REPLACE][2] = {
    [TRACK_OPEN] = {"Error opening file \"%N\": %E."},
    [TRACK_NOTREG] = {"Error opening file \"%N\": not a regular file."},
    [TRACK_VERSION] = {COPY_REFUSED},
    [TRACK_NOTMP3] = {"\"%N\" is not an MP3 track." NOT_CHANGED},
    [TRACK_NOTAG] = {"File \"%N\" has no ID3 tag."},
    [TRACK_NOSYLT] = {"No SYLT frame, or insufficient memory."},
    [TRACK_COMPRESSED] = {"The SYLT frame is compressed, which is not supported."},
    [TRACK_BADSYLT] = {"Invalid SYLT frame, or insufficient memory for conversion."},
    [TRACK_READ] = {"Error reading file \"%N\": %E." NOT_CHANGED, "Error reading file \"%N\": %E."},
    [TRACK_NOMEM] = {"Insufficient memory."},
    [TRACK_TAG] = {COPY_REFUSED},
    [TRACK_TOOBIG] = {"The lyrics would make the ID3 tag of \"%N\" larger than a tag can be." NOT_CHANGED},
    [TRACK_WRITE] = {"Error writing temporary file \"%T\": %E." NOT_CHANGED,
                     "Error writing output file \"%N\": %E."},
    [TRACK_SAMEFILE] = {"Not importing \"%N\": it is the MP3 track itself." NOT_CHANGED,
                        "Not writing \"%N\": it is the MP3 track itself." NOT_CHANGED},
};

/* The same for the results of replacing a file (replace.h). */
static const char *const replace_messages[REPLACE_LINK + 1][2] = {
    [REPLACE_NOMEM] = {"Insufficient memory."},
    [REPLACE_RESOLVE] = {"Error opening file \"%N\": %E.",
                         "Error creating output file \"%N\": %E."},
    [REPLACE_CLASH] = {"Error creating temporary file \"%T\": that name is the track itself." NOT_CHANGED,
                       "Not writing \"%N\": its temporary file \"%T\" is the MP3 track "
                       "or the output file itself."},
    [REPLACE_CREATE] = {"Error creating temporary file \"%T\": %E.",
                        "Error creating output file \"%N\": %E."},
    [REPLACE_WRITE] = {"Error writing temporary file \"%T\": %E." NOT_CHANGED,
                       "Error writing output file \"%N\": %E."},
    [REPLACE_RENAME] = {"Error replacing \"%N\" with \"%T\": %E." NOT_CHANGED,
                        "Error replacing output file \"%N\": %E."},
    [REPLACE_BUSY] = {"\"%N\" is being changed by another program. The %W was not changed."},
    [REPLACE_READONLY] = {"\"%N\" is read-only. The %W was not changed."},
    [REPLACE_NOTREG] = {"Error opening file \"%N\": not a regular file.",
                        "Error creating output file \"%N\": not a regular file."},
    [REPLACE_CHANGED] = {"\"%N\" was changed by another program while this one was rewriting it; "
                         "the other program's version was kept."},
    [REPLACE_INWAY] = {"\"%T\" is in the way: this run did not make it (it may be left from an "
                       "interrupted run). Remove or rename it and try again. The %W was not changed."},
    [REPLACE_TEMPBUSY] = {"\"%N\" cannot be changed now: its temporary file \"%T\" is in use by "
                          "another program. The %W was not changed."},
    [REPLACE_LINK] = {"\"%L\" is a link in a folder that others may write; it is not followed. "
                      "The file was not changed."},
};

void report_track(int program, int result, const char *name, const Track *t)
{
    const char *const *row;

    assert(program == FOR_IMPORT || program == FOR_EXPORT);
    assert(result > TRACK_OK && result <= TRACK_REPLACE);
    if (result == TRACK_REPLACE) {
        assert(t->replaced > REPLACE_OK && t->replaced <= REPLACE_LINK);
        row = replace_messages[t->replaced];
    } else {
        row = track_messages[result];
    }
    put_message(row[program] != NULL ? row[program] : row[FOR_IMPORT], name, t, program);
}

/* --- the end of a run --- */

int run_close(ToolRun *run, int status)
{
    track_close(&run->track);
    if (run->lrc != NULL)
        fclose(run->lrc);
    free(run->lrcname);
    free(run->mp3name);
    return status;
}
