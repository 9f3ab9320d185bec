/*
 * track.h - the one safe way every program reads and rewrites a track:
 * the converters and the editor open, read and rewrite tracks and write
 * LRC files through these functions only.  Plain C, usable from C++;
 * prints nothing: every function returns a result, and the caller picks
 * the message.
 *
 * A track is opened only when it is a regular file (never waiting on a
 * FIFO or a device), read through the core's tag context, and rewritten
 * through the replace library (replace.h): the new copy, new tag first
 * and the old audio after it, goes into a locked temporary file beside
 * the track ("song.mp$" for "song.mp3"), is checked, synced, and renamed
 * over the track in one step.  On every failure the temporary file is
 * removed and the track is byte for byte as it was.  Where the file system
 * can share blocks between the track and its new copy (XFS made with
 * reflink, btrfs, bcachefs), the new tag is padded to the block offset of
 * the old audio, and the copy shares the audio's blocks (sylt.h,
 * blocksize); elsewhere the kernel copies the audio.
 *
 * Life of a Track
 *   zeroed (Track t = {0}) -> track_open -> reading (track_readsylt) or
 *   the caller's new payload in t.tag (lrc_tosylt, id3_setsylt, or none:
 *   a tag without a SYLT frame) -> track_rewrite and/or track_writelrc ->
 *   track_close, which must be called whatever happened (also after a
 *   failed track_open) and releases everything the record holds.
 *
 * Results: TRACK_OK, or why not.  `err` holds errno of the failed call for
 * the results that name one; `replaced` holds the replace library's
 * result (and `out` its names, for messages) after TRACK_REPLACE.
 */
#ifndef LYRASIL_TRACK_H
#define LYRASIL_TRACK_H

#include <stdio.h>
#include <sys/stat.h>

#include "replace.h"
#include "sylt.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    TRACK_OK = 0,
    TRACK_OPEN,       /* the file could not be opened (err; EISDIR for a
                         folder) */
    TRACK_NOTREG,     /* neither a regular file nor a folder: a FIFO, a
                         device, a socket */
    TRACK_VERSION,    /* "ID3" of a version this program does not know */
    TRACK_NOTMP3,     /* what follows the tag is not MPEG audio */
    TRACK_NOTAG,      /* reading: no ID3v2 tag */
    TRACK_NOSYLT,     /* reading: no SYLT frame in the tag */
    TRACK_COMPRESSED, /* reading: the SYLT frame is compressed */
    TRACK_BADSYLT,    /* reading: the SYLT frame cannot be converted */
    TRACK_READ,       /* reading the track failed (err) */
    TRACK_NOMEM,      /* memory ran out */
    TRACK_TAG,        /* the tag cannot be copied faithfully */
    TRACK_TOOBIG,     /* the new SYLT frame would not fit in a tag */
    TRACK_WRITE,      /* writing the temporary file failed (err) */
    TRACK_SAMEFILE,   /* track_writelrc: the LRC file is the track itself */
    TRACK_REPLACE     /* replace_open or replace_commit failed: see
                         `replaced` and `out` (err) */
};

typedef struct Track {
    char *name;        /* the name it was opened under (malloc'd) */
    Id3Tag tag;        /* the context on the track (tag.fp is fp) */
    FILE *fp;          /* the track, open for reading */
    struct stat st;    /* its status when it was opened */
    int hastag;        /* id3_init's result: 0 means a tag will be created */
    Replace out;       /* the file being replaced, while and after writing */
    int replaced;      /* after TRACK_REPLACE: replace_open's or
                          replace_commit's result */
    int err;           /* errno of the failed call, 0 when none applies */
    int replaceflags;  /* flags for replace_open; 0 from track_open (a
                          batch sets REPLACE_NOSYNCDIR and syncs itself) */
} Track;

/* Opens the file called name as a track: a regular file, read with its tag
 * context, whose tag (if any) is of a known version and which holds MPEG
 * audio after it.  Results: TRACK_OK, TRACK_OPEN, TRACK_NOTREG,
 * TRACK_VERSION, TRACK_NOTMP3, TRACK_READ, TRACK_NOMEM; the record is
 * filled as far as it got (t->hastag, t->tag.version, t->st).  With mpeg 0 the
 * version and audio checks are left out: a track that is only read. */
int track_open(Track *t, const char *name, int mpeg);

/* Reads the first SYLT frame of an opened track and converts it into
 * t->tag.lrc (lrc_fromsylt: the inline form with wordstamps, the row form
 * without).  Results: TRACK_OK, TRACK_NOTAG, TRACK_NOSYLT,
 * TRACK_COMPRESSED, TRACK_BADSYLT, TRACK_READ, TRACK_NOMEM. */
int track_readsylt(Track *t, int wordstamps);

/* Adds to the new SYLT payload in t->tag a USLT payload (lrc_touslt)
 * holding the LRC text that lyrasil-export will write for that frame once
 * the track holds it: the track's title, artist and album (the last frame
 * of each, as the new frame finds them), then the lyrics with word stamps.
 * Results: TRACK_OK, TRACK_BADSYLT, TRACK_TOOBIG, TRACK_NOMEM. */
int track_adduslt(Track *t);

/* Writes the new copy of the opened track, with the payload t->tag holds
 * (none: no SYLT frame), and puts it in place of dest: the track itself
 * when dest is null, otherwise another file that takes the new copy (a
 * file there is replaced only when everything succeeded).  The track must
 * still be the file opened (replace.h, source).  Results: TRACK_OK,
 * TRACK_READ, TRACK_WRITE, TRACK_TAG, TRACK_TOOBIG, TRACK_NOMEM,
 * TRACK_REPLACE. */
int track_rewrite(Track *t, const char *dest);

/* track_rewrite in two steps, for a caller that syncs the new copies of
 * many tracks at once (replace_sync_group on t->out) between them:
 * track_write makes the new copy (TRACK_OK: written, not yet synced or in
 * place, the locks held) and track_commit syncs it (unless that group sync
 * stood in for it) and puts it in place.  Their results are
 * track_rewrite's, shared out. */
int track_write(Track *t, const char *dest);
int track_commit(Track *t);

/* Writes an LRC file from t->tag (lrc_write: the title, artist and album
 * lines, then lrc) to the file called lrcname, through a temporary file
 * beside it (".lr$") that takes its place once complete.  A file under
 * that name that is the track itself, by any name or link, is refused.
 * Results: TRACK_OK, TRACK_SAMEFILE, TRACK_WRITE, TRACK_REPLACE. */
int track_writelrc(Track *t, const char *lrcname);

/* Releases everything t holds: a replacement not committed is given up,
 * the context closed, the track's stream closed.  Safe on a zeroed record
 * and twice. */
void track_close(Track *t);

#ifdef __cplusplus
}
#endif

#endif
