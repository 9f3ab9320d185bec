#include "trackio.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include "replace.h"
#include "sylt.h"
#include "textbuffer.h"

namespace {

// The file's name as the C library takes it.
std::string Native(const wxString& path)
{
    return std::string(path.utf8_str().data());
}

// Opens a regular file for reading without ever blocking: a FIFO given as
// a track would otherwise hang the window before any check could run.
FILE* OpenRegular(const wxString& path, TrackResult* r, struct stat* st = nullptr)
{
    struct stat local;
    if (st == nullptr)
        st = &local;
    r->path = path;
    FILE* fp = replace_fopen_regular(Native(path).c_str(), st);
    if (fp == nullptr) {
        r->err = errno;
        r->status = errno == EISDIR || errno == EINVAL ? TrackStatus::NotRegular : TrackStatus::OpenFailed;
    }
    return fp;
}

// A tag context with its stream, released on every way out.
struct TagFile {
    Id3Tag tag{};
    FILE* fp = nullptr;
    ~TagFile()
    {
        id3_close(&tag);
        if (fp != nullptr)
            std::fclose(fp);
        txtbuf_Free();
    }
};

// Reads the track's SYLT frame into tf.tag.lrc: the row form, or with
// word stamps the inline form.
TrackStatus ReadSylt(TagFile& tf, int wordstamps)
{
    if (!id3_init(tf.fp, &tf.tag))
        return TrackStatus::NoTag;
    if (!id3_readsylt(&tf.tag))
        return tf.tag.syltcompressed ? TrackStatus::SyltCompressed : TrackStatus::NoSylt;
    if (!lrc_fromsylt(&tf.tag, wordstamps))
        return TrackStatus::BadSylt;
    return TrackStatus::Ok;
}

} // namespace

TrackResult ProbeTrack(const wxString& trackPath)
{
    TrackResult r;
    FILE* fp = OpenRegular(trackPath, &r);
    if (fp != nullptr)
        std::fclose(fp);
    return r;
}

LoadResult LoadTrackRows(const wxString& trackPath)
{
    LoadResult r;
    TagFile tf;
    tf.fp = OpenRegular(trackPath, &r);
    if (tf.fp == nullptr)
        return r;
    r.status = ReadSylt(tf, 0);
    if (r.status == TrackStatus::Ok) {
        r.rows = RowsFromText(tf.tag.lrc != nullptr ? tf.tag.lrc : "");
        MoveBlanksForward(r.rows);
        r.payload.assign(reinterpret_cast<const char*>(tf.tag.sylt), static_cast<size_t>(tf.tag.syltsize));
    }
    return r;
}

ImportResult ImportLrcRows(const wxString& lrcPath)
{
    ImportResult r;
    TagFile tf;
    tf.fp = OpenRegular(lrcPath, &r);
    if (tf.fp == nullptr)
        return r;
    id3_init(nullptr, &tf.tag);
    if (!lrc_read(tf.fp, &tf.tag, 1)) {
        r.status = TrackStatus::LrcInvalid;
        return r;
    }
    r.skipped = tf.tag.skipped;
    if (tf.tag.lrc != nullptr)
        r.rows = RowsFromText(tf.tag.lrc);
    return r;
}

bool SameTrackFile(const wxString& a, const wxString& b)
{
    struct stat sa, sb;
    return stat(Native(a).c_str(), &sa) == 0 && stat(Native(b).c_str(), &sb) == 0 && replace_same_file(&sa, &sb);
}

namespace {

// The replace library's refusals, as the editor reports them.  path is the
// file being replaced.
TrackStatus ReplaceStatus(int code)
{
    switch (code) {
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
    default:
        return TrackStatus::WriteFailed;
    }
}

// A replacement in progress, given up on every way out but a commit.
struct Replacement {
    Replace r{};
    ~Replacement() { replace_free(&r); }
};

TrackResult Failed(TrackStatus status, const wxString& path, int err)
{
    TrackResult r;
    r.status = status;
    r.path = path;
    r.err = err;
    return r;
}

} // namespace

TrackResult SaveTrackFile(const wxString& source, const wxString& dest, const std::string& text,
                          const std::string* payload)
{
    TrackResult result;
    TagFile tf;
    struct stat sourceSt;
    tf.fp = OpenRegular(source, &result, &sourceSt);
    if (tf.fp == nullptr)
        return result;
    id3_init(tf.fp, &tf.tag);
    // Whatever the name says, a WAV or a text file must not get a tag put
    // in front of it.
    errno = 0;
    if (!id3_ismpeg(&tf.tag)) {
        if (ferror(tf.fp))
            return Failed(TrackStatus::WriteFailed, source, errno != 0 ? errno : EIO);
        return Failed(TrackStatus::NotMp3, source, 0);
    }

    if (payload != nullptr && !payload->empty()) {
        tf.tag.sylt = static_cast<unsigned char*>(std::malloc(payload->size()));
        if (tf.tag.sylt == nullptr)
            return Failed(TrackStatus::NoMemory, dest, ENOMEM);
        std::memcpy(tf.tag.sylt, payload->data(), payload->size());
        tf.tag.syltsize = static_cast<int32_t>(payload->size());
    } else if (!text.empty()) {
        tf.tag.lrc = static_cast<char*>(std::malloc(text.size() + 1));
        if (tf.tag.lrc == nullptr)
            return Failed(TrackStatus::NoMemory, dest, ENOMEM);
        std::memcpy(tf.tag.lrc, text.c_str(), text.size() + 1);
        if (!lrc_tosylt(&tf.tag))
            return Failed(TrackStatus::ConvertFailed, dest, 0);
    }

    const bool sameFile = dest == source;
    Replacement out;
    int code = replace_open(&out.r, Native(dest).c_str(), ".mp$", sameFile ? &sourceSt : nullptr, &sourceSt);
    if (code != REPLACE_OK) {
        result = Failed(ReplaceStatus(code), dest, errno);
        if (out.r.tmpname != nullptr)
            result.tempPath = wxString::FromUTF8(out.r.tmpname);
        return result;
    }

    errno = 0;
    bool written = id3_copytag(out.r.fp, &tf.tag) && (tf.tag.sylt == nullptr || id3_writesylt(out.r.fp, &tf.tag)) &&
                   id3_appendmp3(out.r.fp, &tf.tag);
    if (!written) {
        int err = errno;
        if (ferror(out.r.fp) || ferror(tf.fp))
            return Failed(TrackStatus::WriteFailed, dest, err != 0 ? err : EIO);
        // Nothing failed but the core's judgement of the old tag.
        return Failed(TrackStatus::TagRefused, source, 0);
    }
    code = replace_commit(&out.r);
    if (code != REPLACE_OK)
        return Failed(TrackStatus::WriteFailed, dest, errno);
    return result;
}

TrackResult ExportLrcFile(const wxString& trackPath, const wxString& lrcPath)
{
    TrackResult result;
    TagFile tf;
    struct stat trackSt;
    tf.fp = OpenRegular(trackPath, &result, &trackSt);
    if (tf.fp == nullptr)
        return result;
    result.status = ReadSylt(tf, 1);
    if (result.status != TrackStatus::Ok)
        return result;

    // Never write over the track, whatever name (or link) leads to it.
    struct stat lrcSt;
    if (stat(Native(lrcPath).c_str(), &lrcSt) == 0 && replace_same_file(&lrcSt, &trackSt))
        return Failed(TrackStatus::SameFile, lrcPath, 0);

    Replacement out;
    int code = replace_open(&out.r, Native(lrcPath).c_str(), ".lr$", nullptr, &trackSt);
    if (code != REPLACE_OK) {
        TrackStatus status = ReplaceStatus(code);
        // A folder (or anything else that is no file) under the chosen name
        // cannot be created as an LRC file.
        if (status == TrackStatus::OpenFailed || status == TrackStatus::NotRegular)
            status = TrackStatus::TempFailed;
        return Failed(status, lrcPath, errno);
    }
    errno = 0;
    if (!lrc_write(out.r.fp, &tf.tag))
        return Failed(TrackStatus::WriteFailed, lrcPath, errno != 0 ? errno : EIO);
    code = replace_commit(&out.r);
    if (code != REPLACE_OK)
        return Failed(TrackStatus::WriteFailed, lrcPath, errno);
    return result;
}
