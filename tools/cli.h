/*
 * cli.h - what the two command-line converters share: their options, the
 * work on one track (the single-track form prints as it goes, the batch
 * form of batch.h only collects the outcome), and the messages for every
 * result.  For the programs only, never for a library: the single-track
 * form prints on standard output.
 */
#ifndef LYRASIL_CLI_H
#define LYRASIL_CLI_H

#include <stdio.h>
#include <sys/stat.h>

#include "track.h"

/* Exit statuses of both programs. */
enum { STATUS_OK = 0, STATUS_FAILURE = 1 };

/* Which program runs: the messages name a track or an LRC file. */
enum { FOR_IMPORT = 0, FOR_EXPORT = 1 };

/* The command line, once read. */
typedef struct Options {
    int recursive;   /* -r: the arguments are folders or tracks */
    int dryrun;      /* -n: report, write nothing */
    int jobs;        /* -j N: tracks at once; 0 for the number of processors */
    int quiet;       /* -q: no progress line */
    int force;       /* export --force: replace LRC files that differ */
    int uslt;        /* import --uslt: also the lyrics as LRC text (USLT) */
    int lines;       /* import --lines: one SYLT item per lyrics line */
    char **args;     /* the file and folder names, in their order */
    int nargs;
} Options;

/* Reads the options of program from argv (wherever they stand; "--" ends
 * them).  -h and --help print the usage text, --version the version line;
 * no argument at all, an unknown option, an option the program or the form
 * (single track or -r) does not take, or a bad -j value print the usage
 * text as a usage error.  Returns the exit status when the program is done,
 * -1 when it should go on with o filled in. */
int read_options(int argc, char *argv[], int program, void (*usage)(void), const char *version,
                 Options *o);

/* The whole of main for program: the options, then the tracks of the
 * folders named (-r, batch.h), or the one track named, with its notes and
 * its message ("Done", "Created output file ..."), on standard output.
 * Returns the exit status. */
int tool_main(int program, int argc, char *argv[], void (*usage)(void), const char *version);

/* What a run on one track holds; run_close releases all of it. */
typedef struct ToolRun {
    Track track;       /* the track, read (and for import rewritten) */
    FILE *lrc;         /* import: the LRC file, read */
    char *mp3name;     /* the track's name as completed */
    char *lrcname;     /* the LRC file's name as completed */
} ToolRun;

/* Releases everything run holds (a replacement not done is given up), for
 * the next track or for main to return status. */
int run_close(ToolRun *run, int status);

/* Outcomes of the work on one track. */
enum {
    OUT_DONE = 0,      /* imported, or exported */
    OUT_UNCHANGED,     /* nothing to write: the file holds it already */
    OUT_SKIPPED,       /* no LRC file (import), no SYLT frame (export) */
    OUT_KEPT,          /* export: an LRC file that differs is kept */
    OUT_FAILED,
    OUT_WRITTEN        /* batch import: the new copy written, not yet in
                          place: commit_one finishes it (or run_close gives
                          it up) */
};

/* How one track is handled. */
typedef struct Job {
    const char *track;     /* the track's name as given (import: completed
                              with ".mp3" by the single-track form) */
    const char *lrc;       /* the LRC file's name; import: null when the
                              track has none (skipped) */
    int announce;          /* single track: say which LRC file is read */
    int verbose;           /* single track: print the notes as they come */
    int batch;             /* batch: unchanged and kept files are left alone,
                              the folders are synced by the batch once at its
                              end, not after every file, and an import stops
                              at OUT_WRITTEN */
} Job;

/* Imports job->lrc into the track, or exports the track's SYLT frame to
 * job->lrc, with the options o.  Returns an outcome; for OUT_FAILED,
 * *message holds the single-track form's message for it (malloc'd, no
 * line feed; null when memory ran out). */
int import_one(ToolRun *run, const Job *job, const Options *o, char **message);
int export_one(ToolRun *run, const Job *job, const Options *o, char **message);

/* Syncs and puts in place the new copy an import left OUT_WRITTEN:
 * OUT_DONE, or OUT_FAILED with *message as import_one gives it. */
int commit_one(ToolRun *run, const Job *job, char **message);

/* The message of program for a track result other than TRACK_OK (or one of
 * the CLI_ results), malloc'd, without line feed: name is the file it is
 * about as the user named it (completed). */
enum {
    CLI_LRCREAD = TRACK_REPLACE + 1,   /* reading the LRC file failed */
    CLI_LRCINVALID,                    /* no lyrics line, or no memory */
    CLI_CONVERT,                       /* no memory for the new frame */
    CLI_NOMEM                          /* no memory at all */
};
char *track_message(int program, int result, const char *name, const Track *t);

#endif
