// The editor's file work on tracks and LRC files, without a window: each
// operation opens its own files, holds its own tag context on the stack,
// releases everything on every path, leaves the core's text buffer empty,
// and returns what happened.  notices.h turns a result into the message the
// user sees; the window only shows it.
//
// Tracks are never changed in place: a save writes the new track into a
// temporary file beside it (the track's name with the extension ".mp$"),
// under the same lock as the command-line converters, checks every write,
// syncs it and renames it over the track in one step.  On any failure the
// temporary file is removed and the track stays byte for byte as it was.
#ifndef LYRASIL_TRACKIO_H
#define LYRASIL_TRACKIO_H

#include <string>

#include <wx/string.h>

#include "rows.h"

enum class TrackStatus {
    Ok,
    OpenFailed,      // the file could not be opened (err)
    NotRegular,      // a folder, a FIFO or a device: never read or replaced
    NoTag,           // no usable ID3v2 tag
    NoSylt,          // no SYLT frame in the tag
    SyltCompressed,  // the SYLT frame is compressed, which the core cannot read
    BadSylt,         // the SYLT frame cannot be converted (or memory ran out)
    NoMemory,
    ConvertFailed,   // the rows could not be turned into a SYLT frame
    NotMp3,          // what follows the tag is not MPEG audio
    ReadOnly,        // the file to be replaced may not be written
    Busy,            // another program is changing the file right now
    TagRefused,      // the core will not copy this tag faithfully
    TooBig,          // the lyrics would make the tag larger than a tag can be
    TempFailed,      // the temporary file could not be created (err, tempPath)
    WriteFailed,     // writing, syncing or renaming failed (err)
    SameFile,        // export: the LRC file chosen is the track itself
    LrcInvalid,      // import: the LRC file could not be read
    Changed,         // another program changed the file while it was rewritten
    InTheWay,        // something this program did not make stands at tempPath
    TempBusy,        // another program holds the temporary file tempPath
    PlantedLink,     // path is a link in a shared folder that is not followed
};

struct TrackResult {
    TrackStatus status = TrackStatus::Ok;
    int err = 0;         // errno of the failed call, 0 when there is none
    wxString path;       // the file the status is about
    wxString tempPath;   // TempFailed, InTheWay, TempBusy: the temporary file
};

// Whether the track can be opened for reading at all (a regular file the
// user may read): Ok, OpenFailed, NotRegular.
TrackResult ProbeTrack(const wxString& trackPath);

// Loading: the rows of the track's SYLT frame (lrc_fromsylt without word
// stamps).  Ok, OpenFailed, NotRegular, NoTag, NoSylt, SyltCompressed,
// BadSylt; rows only with Ok.
struct LoadResult : TrackResult {
    Rows rows;
    std::string payload;   // the SYLT frame's payload as the track holds it
};
LoadResult LoadTrackRows(const wxString& trackPath);

// Saving: writes a new copy of the track at source, with the SYLT frame
// made from text (inline-form UTF-8, see ComposeSaveText; empty: no SYLT
// frame) or, when payload is given, with that payload as it stands (a
// table saved unchanged keeps another writer's frame byte for byte), to
// dest, which is source for a plain save and the chosen name
// for a save under a new name (a file already there is replaced only when
// everything succeeded).  With uslt, a USLT frame after the SYLT frame
// holds the lyrics as the LRC text an export writes (track_adduslt).  Ok,
// OpenFailed, NotRegular, NotMp3, ReadOnly, Busy, NoMemory, ConvertFailed,
// TagRefused, TooBig, TempFailed, WriteFailed.
TrackResult SaveTrackFile(const wxString& source, const wxString& dest, const std::string& text,
                          const std::string* payload = nullptr, bool uslt = false);

// Whether two names lead to the same file (links followed); false when
// either does not exist.
bool SameTrackFile(const wxString& a, const wxString& b);

// Importing: the rows of an LRC file (lrc_read with word stamps), and how
// many lines without a readable stamp it skipped.  Ok, OpenFailed,
// NotRegular, LrcInvalid, TooBig (more text than a tag can hold).
struct ImportResult : TrackResult {
    Rows rows;
    int skipped = 0;
};
ImportResult ImportLrcRows(const wxString& lrcPath);

// Exporting: the SYLT frame as stored in the track, with its title, artist
// and album, written to lrcPath through a temporary file beside it (".lr$")
// that takes its place only when complete.  Ok, OpenFailed, NotRegular,
// NoTag, NoSylt, SyltCompressed, BadSylt (about the track); SameFile,
// ReadOnly, Busy, TempFailed, WriteFailed (about the LRC file).
TrackResult ExportLrcFile(const wxString& trackPath, const wxString& lrcPath);

#endif
