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

/* One message per result of replace_open and replace_commit, by result
 * code.  A message names its pieces: %N the file as the user named it, %T
 * the temporary file, %E the reason (strerror of errno); it has no other
 * conversions. */
typedef const char *const ReplaceMessages[REPLACE_NOTREG + 1];

/* lyrasil-import replacing a track; lyrasil-export replacing an LRC file. */
extern ReplaceMessages import_replace_messages;
extern ReplaceMessages export_replace_messages;

/* Prints the message for result (not REPLACE_OK), with errno as it stands,
 * and a line feed.  name: the file as the user named it. */
void report_replace(ReplaceMessages messages, int result, const char *name, const Replace *r);

#endif
