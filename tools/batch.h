/*
 * batch.h - the converters over whole folders (-r).
 *
 * Every argument is a folder, searched recursively in name order without
 * following links to folders (and never twice into the same folder, so
 * loops made with bind mounts end too), or a track.  A track is a regular
 * file, or a link to one, whose extension is ".mp3" in any letter case;
 * its LRC file is the file beside it with the same stem and the extension
 * ".lrc" in any case (".lrc" itself first when there are several).
 *
 * The tracks are handled by worker processes, jobs at once (the core's
 * text buffer is one per process), each track through the same routine as
 * the single-track form (cli.h), so every track gets the same checks,
 * locks and refusals.  What is printed never depends on the number of
 * workers: each failed track gives one line "PATH: MESSAGE" on standard
 * output, in the order of the tracks, and the last line counts the
 * outcomes.  A progress line goes to standard error when it is a terminal,
 * unless quiet.
 *
 * An import writes the new copies of up to GROUP tracks (batch.c), syncs
 * their file systems once (replace_sync_group), then checks and renames
 * each as the single-track form does: one sync of the file system costs
 * less than one per track, and where it reports every write error it
 * stands in for them.
 *
 * SIGINT and SIGTERM stop the batch: every worker finishes the track it is
 * putting in place and gives up the new copies it has not put in place yet
 * (so each track ends old or new, never partial, and no temporary file is
 * left), no new track is begun, the counts so far are printed, and the
 * status is 1.
 */
#ifndef LYRASIL_BATCH_H
#define LYRASIL_BATCH_H

#include "cli.h"

/* Runs program over o->args as described above.  Returns the exit status:
 * STATUS_OK when no track failed and the batch was not stopped. */
int batch_run(int program, const Options *o);

#endif
