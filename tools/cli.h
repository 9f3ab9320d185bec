/*
 * cli.h - what the two command-line converters share: the options every
 * program answers, opening the track, and the messages for the results of
 * reading and rewriting a track and replacing a file (track.h).  Prints on
 * standard output; for the programs only, never for a library.
 */
#ifndef LYRASIL_CLI_H
#define LYRASIL_CLI_H

#include <stdio.h>
#include <sys/stat.h>

#include "track.h"

/* Exit statuses of both programs. */
enum { STATUS_OK = 0, STATUS_FAILURE = 1 };

/* Which program reports: the messages name a track or an LRC file. */
enum { FOR_IMPORT = 0, FOR_EXPORT = 1 };

/* Answers the options both programs share, wherever they stand: -h and
 * --help print the usage text, --version the version line; without any
 * argument the usage text is printed too.  Returns the exit status when
 * the program is done, -1 when it should go on with its file names. */
int answer_options(int argc, char *argv[], void (*usage)(void), const char *version);

/* What a run of either program holds; run_close releases all of it. */
typedef struct ToolRun {
    Track track;       /* the track, read (and for import rewritten) */
    FILE *lrc;         /* import: the LRC file, read */
    char *mp3name;     /* the track's name as completed */
    char *lrcname;     /* the LRC file's name as completed */
} ToolRun;

/* Opens the track named by arg, completed with ".mp3" when the name has
 * no extension (run->mp3name), as track_open does (mpeg: whether it must
 * be an MP3 track that can be rewritten).  On failure prints the
 * program's message and returns 0. */
int open_track(ToolRun *run, const char *arg, int program, int mpeg);

/* Releases everything run holds (a replacement not done is given up) and
 * returns status, for main to return. */
int run_close(ToolRun *run, int status);

/* Prints the program's message for a track result other than TRACK_OK,
 * with the reason errno gives, and a line feed.  name: the file the
 * result is about as the user named it (completed): the track, or for
 * TRACK_SAMEFILE and the LRC file's replacement, the LRC file. */
void report_track(int program, int result, const char *name, const Track *t);

#endif
