/*
 * cli.h - what the two command-line converters share: the options every
 * program answers, opening the track, and the messages for the results of
 * replacing a file (replace.h).  Prints on standard output; for the
 * programs only, never for a library.
 */
#ifndef LYRASIL_CLI_H
#define LYRASIL_CLI_H

#include <stdio.h>
#include <sys/stat.h>

#include "replace.h"
#include "sylt.h"

/* Exit statuses of both programs. */
enum { STATUS_OK = 0, STATUS_FAILURE = 1 };

/* Answers the options both programs share, wherever they stand: -h and
 * --help print the usage text, --version the version line; without any
 * argument the usage text is printed too.  Returns the exit status when
 * the program is done, -1 when it should go on with its file names. */
int answer_options(int argc, char *argv[], void (*usage)(void), const char *version);

/* Opens the track named by arg for reading, completed with ".mp3" when the
 * name has no extension.  Stores the completed name (malloc'd, the caller
 * frees it) in *name and the file's status in *st.  Only a regular file is
 * a track: anything else (a folder, a FIFO, a device) is refused without
 * waiting for it.  On failure prints the message naming the file and its
 * reason and returns null. */
FILE *open_track(const char *arg, char **name, struct stat *st);

/* What a run of either program holds; run_close releases all of it. */
typedef struct ToolRun {
    Id3Tag tag;        /* the track's tag context */
    Replace out;       /* the file being replaced: the track, or the LRC file */
    FILE *mp3;         /* the track, read */
    FILE *lrc;         /* import: the LRC file, read */
    char *mp3name;     /* the track's name as completed */
    char *lrcname;     /* the LRC file's name as completed */
} ToolRun;

/* Releases everything run holds (the replacement given up when it is not
 * done) and returns status, for main to return. */
int run_close(ToolRun *run, int status);

/* Which program reports: the messages name a track or an LRC file. */
enum { FOR_IMPORT = 0, FOR_EXPORT = 1 };

/* Prints the program's message for a result of replace_open or
 * replace_commit (not REPLACE_OK), with the reason errno gives, and a line
 * feed.  name: the file as the user named it (completed). */
void report_replace(int program, int result, const char *name, const Replace *r);

#endif
