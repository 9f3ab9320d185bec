#include "trackio.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include "replace.h"
#include "sylt.h"
#include "textbuffer.h"
#include "track.h"

namespace {

// The file's name as the C library takes it.
std::string Native(const wxString& path)
{
    return std::string(path.utf8_str().data());
}

// A track record, released on every way out, with the core's text buffer
// left empty.
struct OpenTrack {
    Track t{};
    ~OpenTrack()
    {
        track_close(&t);
        txtbuf_Free();
    }
};

// The editor's status for a result of track.h.  A folder is no track
// (the converters name it as the open's own error).
TrackStatus StatusOf(int result, const Track& t)
{
    switch (result) {
    case TRACK_OK:
        return TrackStatus::Ok;
    case TRACK_OPEN:
        return t.err == EISDIR ? TrackStatus::NotRegular : TrackStatus::OpenFailed;
    case TRACK_NOTREG:
        return TrackStatus::NotRegular;
    case TRACK_NOTMP3:
        return TrackStatus::NotMp3;
    case TRACK_NOTAG:
        return TrackStatus::NoTag;
    case TRACK_NOSYLT:
        return TrackStatus::NoSylt;
    case TRACK_COMPRESSED:
        return TrackStatus::SyltCompressed;
    case TRACK_BADSYLT:
        return TrackStatus::BadSylt;
    case TRACK_NOMEM:
        return TrackStatus::NoMemory;
    case TRACK_VERSION:
    case TRACK_TAG:
        return TrackStatus::TagRefused;
    case TRACK_TOOBIG:
        return TrackStatus::TooBig;
    case TRACK_SAMEFILE:
        return TrackStatus::SameFile;
    case TRACK_REPLACE:
        switch (t.replaced) {
        case REPLACE_NOMEM:
            return TrackStatus::NoMemory;
        case REPLACE_RESOLVE:
            return TrackStatus::OpenFailed;
        case REPLACE_BUSY:
            return TrackStatus::Busy;
        case REPLACE_READONLY:
            return TrackStatus::ReadOnly;
        case REPLACE_NOTREG:
            return TrackStatus::NotRegular;
        case REPLACE_CLASH:
        case REPLACE_CREATE:
            return TrackStatus::TempFailed;
        case REPLACE_CHANGED:
            return TrackStatus::Changed;
        case REPLACE_INWAY:
            return TrackStatus::InTheWay;
        case REPLACE_TEMPBUSY:
            return TrackStatus::TempBusy;
        case REPLACE_LINK:
            return TrackStatus::PlantedLink;
        default:
            return TrackStatus::WriteFailed;
        }
    default: // TRACK_READ, TRACK_WRITE
        return TrackStatus::WriteFailed;
    }
}

// The result of an operation on the file at path that ended with result.
TrackResult Result(int result, const Track& t, const wxString& path)
{
    TrackResult r;
    r.status = StatusOf(result, t);
    r.path = path;
    r.err = t.err;
    if (result == TRACK_REPLACE && t.out.tmpname != nullptr)
        r.tempPath = wxString::FromUTF8(t.out.tmpname);
    // A link not followed is named as the link.
    if (r.status == TrackStatus::PlantedLink && t.out.target != nullptr)
        r.path = wxString::FromUTF8(t.out.target);
    return r;
}

} // namespace

TrackResult ProbeTrack(const wxString& trackPath)
{
    OpenTrack ot;
    return Result(track_open(&ot.t, Native(trackPath).c_str(), 0), ot.t, trackPath);
}

LoadResult LoadTrackRows(const wxString& trackPath)
{
    OpenTrack ot;
    int result = track_open(&ot.t, Native(trackPath).c_str(), 0);
    if (result == TRACK_OK)
        result = track_readsylt(&ot.t, 0);
    LoadResult r;
    static_cast<TrackResult&>(r) = Result(result, ot.t, trackPath);
    if (result == TRACK_OK) {
        const Id3Tag& tag = ot.t.tag;
        r.rows = RowsFromText(tag.lrc != nullptr ? tag.lrc : "");
        MoveBlanksForward(r.rows);
        r.payload.assign(reinterpret_cast<const char*>(tag.sylt), static_cast<size_t>(tag.syltsize));
    }
    return r;
}

ImportResult ImportLrcRows(const wxString& lrcPath)
{
    ImportResult r;
    struct stat st;
    FILE* fp = nullptr;
    char* link = nullptr;
    int result = replace_read_open(Native(lrcPath).c_str(), &fp, &st, &link);
    if (result != REPLACE_OK) {
        r.err = errno;
        r.status = result == REPLACE_LINK ? TrackStatus::PlantedLink
                   : result == REPLACE_NOTREG ? TrackStatus::NotRegular : TrackStatus::OpenFailed;
        r.path = link != nullptr ? wxString::FromUTF8(link) : lrcPath;
        std::free(link);
        return r;
    }
    r.path = lrcPath;
    Id3Tag tag;
    id3_init(nullptr, &tag);
    if (!lrc_read(fp, &tag, 1))
        r.status = tag.reason == ID3_ETOOBIG ? TrackStatus::TooBig : TrackStatus::LrcInvalid;
    else if (tag.lrc != nullptr)
        r.rows = RowsFromText(tag.lrc);
    r.skipped = tag.skipped;
    id3_close(&tag);
    std::fclose(fp);
    return r;
}

bool SameTrackFile(const wxString& a, const wxString& b)
{
    struct stat sa, sb;
    return stat(Native(a).c_str(), &sa) == 0 && stat(Native(b).c_str(), &sb) == 0 && replace_same_file(&sa, &sb);
}

TrackResult SaveTrackFile(const wxString& source, const wxString& dest, const std::string& text,
                          const std::string* payload, bool uslt)
{
    OpenTrack ot;
    Id3Tag& tag = ot.t.tag;
    int result = track_open(&ot.t, Native(source).c_str(), 1);
    if (result != TRACK_OK)
        return Result(result, ot.t, source);

    if (payload != nullptr && !payload->empty()) {
        // A table saved unchanged keeps the frame as the track held it.
        if (!id3_setsylt(&tag, payload->data(), payload->size()))
            return Result(TRACK_NOMEM, ot.t, dest);
    } else if (!text.empty()) {
        tag.lrc = static_cast<char*>(std::malloc(text.size() + 1));
        if (tag.lrc == nullptr)
            return Result(TRACK_NOMEM, ot.t, dest);
        std::memcpy(tag.lrc, text.c_str(), text.size() + 1);
        if (!lrc_tosylt(&tag)) {
            if (tag.reason == ID3_ETOOBIG)
                return Result(TRACK_TOOBIG, ot.t, source);
            TrackResult r;
            r.status = TrackStatus::ConvertFailed;
            r.path = dest;
            return r;
        }
    }
    if (uslt && tag.sylt != nullptr && (result = track_adduslt(&ot.t)) != TRACK_OK)
        return Result(result, ot.t, result == TRACK_TOOBIG ? source : dest);
    result = track_rewrite(&ot.t, dest == source ? nullptr : Native(dest).c_str());
    // The core's judgement of the old tag is about the track read.
    TrackStatus status = StatusOf(result, ot.t);
    return Result(result, ot.t, status == TrackStatus::TagRefused || status == TrackStatus::TooBig ? source : dest);
}

TrackResult ExportLrcFile(const wxString& trackPath, const wxString& lrcPath)
{
    OpenTrack ot;
    int result = track_open(&ot.t, Native(trackPath).c_str(), 0);
    if (result == TRACK_OK)
        result = track_readsylt(&ot.t, 1);
    if (result != TRACK_OK)
        return Result(result, ot.t, trackPath);
    result = track_writelrc(&ot.t, Native(lrcPath).c_str());
    TrackResult r = Result(result, ot.t, lrcPath);
    // A folder (or anything else that is no file) under the chosen name
    // cannot be created as an LRC file.
    if (r.status == TrackStatus::OpenFailed || r.status == TrackStatus::NotRegular)
        r.status = TrackStatus::TempFailed;
    return r;
}
