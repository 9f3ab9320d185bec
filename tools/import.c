/*
 * lyrasil-import - writes an LRC file into an MP3 track as its SYLT frame,
 * keeping every other frame of the ID3 tag and creating a tag when the
 * track has none; with -r, the LRC files beside a whole folder's tracks.
 *
 *   lyrasil-import [--uslt] [--lines] <mp3-file> [lrc-file]
 *   lyrasil-import [-n] [-j N] [-q] [--uslt] [--lines] -r PATH...
 *
 * A track name without an extension gets ".mp3"; the LRC name (the second
 * argument when exactly two are given, otherwise the track's name) always
 * gets ".lrc".
 *
 * The track is never changed in place: the new copy is written to a file
 * beside it with the extension ".mp$", checked, synced, and renamed over
 * the track in one step (track.h, replace.h).  Any failure removes the copy
 * and leaves the track exactly as it was.  A track name that is a symbolic
 * link updates the file the link points to.  A file that is not MPEG audio,
 * a track the user may not write, and a track that another program is
 * changing are refused before anything is written.
 */
#include <stdio.h>

#include "cli.h"
#include "lyrasil_version.h"

#define VERSION_LINE "lyrasil-import version " LYRASIL_VERSION " build " LYRASIL_BUILD

static void usage(void)
{
    puts(VERSION_LINE "\n");
    puts("usage: lyrasil-import [--uslt] [--lines] <mp3-file> [lrc-file]\n"
         "       lyrasil-import [-n] [-j N] [-q] [--uslt] [--lines] -r PATH...\n");
    puts("Imports an LRC file and writes it as a SYLT frame in an MP3 track.\n"
         "Other frames in the ID3 tag are kept intact.\n"
         "An ID3 tag is added to the MP3 track if none exists.\n"
         "\n"
         "  -r, --recursive  import into every MP3 track in the folders (and tracks)\n"
         "                   named, each from the LRC file of the same name beside it\n"
         "  -n, --dry-run    report what would be done, change nothing\n"
         "  -j, --jobs N     handle N tracks at once (default: one per processor)\n"
         "  -q, --quiet      no progress line\n"
         "  --uslt           also store the lyrics as LRC text (USLT frame)\n"
         "  --lines          one SYLT item per lyrics line, word stamps dropped");
}

int main(int argc, char *argv[])
{
    return tool_main(FOR_IMPORT, argc, argv, usage, VERSION_LINE);
}
