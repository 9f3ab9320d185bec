/*
 * lyrasil-export - writes the SYLT frame of an MP3 track to an LRC file,
 * with word stamps; with -r, an LRC file beside each track of a folder.
 * The tracks are only read.
 *
 *   lyrasil-export <mp3-file> [lrc-file]
 *   lyrasil-export [-n] [-j N] [-q] [--force] -r PATH...
 *
 * A track name without an extension gets ".mp3"; the LRC name (the second
 * argument when exactly two are given, otherwise the track's name) always
 * gets ".lrc".  The LRC file is written beside its place under the
 * extension ".lr$" and renamed into place once complete (track.h,
 * replace.h), so a full disk leaves no partial LRC file, and an older LRC
 * file stays as it was.  A read-only LRC file, or one that another program
 * is writing, is left alone.
 */
#include <stdio.h>

#include "cli.h"
#include "lyrasil_version.h"

#define VERSION_LINE "lyrasil-export version " LYRASIL_VERSION " build " LYRASIL_BUILD

static void usage(void)
{
    puts(VERSION_LINE "\n");
    puts("usage: lyrasil-export <mp3-file> [lrc-file]\n"
         "       lyrasil-export [-n] [-j N] [-q] [--force] -r PATH...\n");
    puts("Exports the SYLT frame in an MP3 track to a separate LRC file.\n"
         "The MP3 track is not altered.\n"
         "\n"
         "  -r, --recursive  export every MP3 track in the folders (and tracks) named\n"
         "                   to an LRC file of the same name beside it\n"
         "  -n, --dry-run    report what would be done, change nothing\n"
         "  -j, --jobs N     handle N tracks at once (default: one per processor)\n"
         "  -q, --quiet      no progress line\n"
         "  --force          replace LRC files that hold something else (kept otherwise)");
}

int main(int argc, char *argv[])
{
    return tool_main(FOR_EXPORT, argc, argv, usage, VERSION_LINE);
}
