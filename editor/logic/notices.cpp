#include "notices.h"

#include <cstring>

#include <wx/defs.h>

static const char kError[] = "Error";
static const char kNotice[] = "Notice";
static const long kErrorStyle = wxOK | wxICON_ERROR;
static const long kNoticeStyle = wxOK | wxICON_INFORMATION;
static const long kQuestionStyle = wxYES_NO | wxICON_QUESTION;
static const long kEntryStyle = wxOK | wxCANCEL | wxCENTRE; // a text entry

static wxString Quoted(const wxString& path)
{
    return "\"" + path + "\"";
}

static wxString Reason(int err)
{
    return wxString::FromUTF8(std::strerror(err != 0 ? err : EIO));
}

// What a save that changed nothing says after its reason.
static const char kTrackUnchanged[] = "\nThe track was not changed.";
static const char kFileUnchanged[] = "\nThe file was not changed.";

// The refusals of the replace library that a save and an export share;
// unchanged: what the message ends with.  Empty text for other statuses.
static wxString ReplaceRefusal(const TrackResult& r, const char* unchanged)
{
    switch (r.status) {
    case TrackStatus::Changed:
        return Quoted(r.path) + " was changed by another program while this one was rewriting it;\n"
                                "the other program's version was kept.";
    case TrackStatus::InTheWay:
        return Quoted(r.tempPath) + " is in the way: this program did not make it (it may be left from an "
                                    "interrupted run).\nRemove or rename it and try again." + unchanged;
    case TrackStatus::TempBusy:
        return Quoted(r.path) + " cannot be changed now: its temporary file " + Quoted(r.tempPath) +
               " is in use by another program." + unchanged;
    case TrackStatus::PlantedLink:
        return Quoted(r.path) + " is a link in a folder that others may write; it is not followed." +
               kFileUnchanged;
    default:
        return wxString();
    }
}

// Reading the SYLT frame: notices when a track is loaded, errors when its
// frame is exported.
static Notice ReadingNotice(const wxString& caption, long style, TrackStatus status)
{
    switch (status) {
    case TrackStatus::NoTag:
        return {caption, "This track has no ID3 tag", style};
    case TrackStatus::NoSylt:
        return {caption, "This track has no SYLT frame in its ID3 tag", style};
    case TrackStatus::SyltCompressed:
        return {caption, "The SYLT frame is compressed, which is not supported.", style};
    default:
        return {caption, "This track has an invalid SYLT frame,\nor there is insufficient memory for conversion",
                style};
    }
}

static Notice SaveNotice(const TrackResult& r)
{
    wxString refusal = ReplaceRefusal(r, kTrackUnchanged);
    if (!refusal.empty())
        return {kError, refusal, kErrorStyle};
    switch (r.status) {
    case TrackStatus::OpenFailed:
    case TrackStatus::NotRegular:
        return {kError, "Failed to open file " + Quoted(r.path) + ".", kErrorStyle};
    case TrackStatus::NoMemory:
        return {kError, "Insufficient memory.", kErrorStyle};
    case TrackStatus::ConvertFailed:
        return {kError, "Error converting the data to a SYLT frame", kErrorStyle};
    case TrackStatus::TempFailed:
        return {kError, "Failed to create temporary file " + Quoted(r.tempPath) + ".", kErrorStyle};
    case TrackStatus::NotMp3:
        return {kError, Quoted(r.path) + " is not an MP3 track." + kTrackUnchanged, kErrorStyle};
    case TrackStatus::ReadOnly:
        return {kError, Quoted(r.path) + " is read-only." + kTrackUnchanged, kErrorStyle};
    case TrackStatus::Busy:
        return {kError, Quoted(r.path) + " is being changed by another program." + kTrackUnchanged, kErrorStyle};
    case TrackStatus::TagRefused:
        return {kError, "The ID3 tag of " + Quoted(r.path) + " cannot be copied safely." + kTrackUnchanged,
                kErrorStyle};
    case TrackStatus::TooBig:
        return {kError, "The lyrics would make the ID3 tag of " + Quoted(r.path) + " larger than a tag can be." +
                            kTrackUnchanged, kErrorStyle};
    default:
        return {kError, "Failed to save " + Quoted(r.path) + ": " + Reason(r.err) + "." + kTrackUnchanged,
                kErrorStyle};
    }
}

static Notice ExportNotice(const TrackResult& r)
{
    wxString refusal = ReplaceRefusal(r, kFileUnchanged);
    if (!refusal.empty())
        return {kError, refusal, kErrorStyle};
    switch (r.status) {
    case TrackStatus::OpenFailed:
    case TrackStatus::NotRegular:
        return {kError, "Failure opening the file", kErrorStyle};
    case TrackStatus::NoTag:
    case TrackStatus::NoSylt:
    case TrackStatus::SyltCompressed:
    case TrackStatus::BadSylt:
        return ReadingNotice(kError, kErrorStyle, r.status);
    case TrackStatus::SameFile:
        return {kError, "The output file " + Quoted(r.path) + " is the track itself.", kErrorStyle};
    case TrackStatus::ReadOnly:
        return {kError, Quoted(r.path) + " is read-only.\nThe file was not changed.", kErrorStyle};
    case TrackStatus::Busy:
        return {kError, Quoted(r.path) + " is being changed by another program.\nThe file was not changed.",
                kErrorStyle};
    case TrackStatus::TempFailed:
        return {kError, "Error creating output file " + Quoted(r.path) + ".", kErrorStyle};
    default:
        return {kError, "Error writing output file " + Quoted(r.path) + ": " + Reason(r.err) + ".", kErrorStyle};
    }
}

Notice TrackNotice(TrackOp op, const TrackResult& r)
{
    switch (op) {
    case TrackOp::Load:
        if (r.status == TrackStatus::PlantedLink)
            return {kError, ReplaceRefusal(r, kFileUnchanged), kErrorStyle};
        if (r.status == TrackStatus::OpenFailed || r.status == TrackStatus::NotRegular)
            return {kError, "Failure opening the file", kErrorStyle};
        return ReadingNotice(kNotice, kNoticeStyle, r.status);
    case TrackOp::Save:
        return SaveNotice(r);
    case TrackOp::Import:
        if (r.status == TrackStatus::PlantedLink)
            return {kError, ReplaceRefusal(r, kFileUnchanged), kErrorStyle};
        if (r.status == TrackStatus::LrcInvalid)
            return {kError, "Invalid LRC file, or insufficient memory", kErrorStyle};
        if (r.status == TrackStatus::TooBig)
            return {kError, "The lyrics in " + Quoted(r.path) + " are more than an ID3 tag can hold.", kErrorStyle};
        return {kError, "Error opening LRC file " + Quoted(r.path) + ".", kErrorStyle};
    case TrackOp::Export:
        return ExportNotice(r);
    }
    return {kError, "", kErrorStyle};
}

Notice NoTrackOpenNotice()
{
    return {"Cannot complete this operation", "No track is currently open.\nPlease open an MP3 track first.",
            kNoticeStyle};
}

Notice OpenForPlaybackFailedNotice()
{
    return {kError, "Failure to open the file for playback.", kErrorStyle};
}

Notice InvalidStampNotice(const wxString& bracketedStamp)
{
    // "hundreths": the message as users know it, kept letter for letter.
    return {kError,
            "The time-stamp " + bracketedStamp +
                " is invalid.\nPlease use the format mm:ss.dd where \"mm\" is the number of minutes, \"ss\" the "
                "number of seconds and \"dd\" the hundreths of a second.",
            kErrorStyle};
}

Notice EmptyStampsNotice()
{
    // An error's caption with the information icon: the track was saved.
    return {kError, "There are empty time-stamps in the table.\nAlthough the SYLT frame was saved, it is non-conforming.",
            kNoticeStyle};
}

Notice UnsavedChangesQuestion()
{
    return {"Unsaved changes",
            "The SYLT data was modified since it was last saved.\nDo you wish to save the track first?",
            kQuestionStyle};
}

Notice UnsavedExportQuestion()
{
    return {"Unsaved changes",
            "The SYLT data was modified since it was last saved.\nIf you continue, these changes will not be "
            "exported.\nContinue?",
            kQuestionStyle};
}

Notice SkippedLinesNotice(int lines)
{
    if (lines == 1)
        return {kNotice, "1 line without a readable time-stamp was skipped.", kNoticeStyle};
    return {kNotice, wxString::Format("%d lines without a readable time-stamp were skipped.", lines), kNoticeStyle};
}

Notice PlayWithoutTrackNotice()
{
    return {kError, "No track is currently open.", kErrorStyle};
}

wxString UnplayableStatusText()
{
    return "This track cannot be played.";
}

Notice UserGuideMissingNotice(const wxString& path)
{
    return {kNotice, "The user guide " + Quoted(path) + " cannot be opened: it is not installed.", kNoticeStyle};
}

Notice NoPdfViewerNotice(const wxString& path)
{
    return {kNotice, "The user guide " + Quoted(path) + " cannot be opened: no program for PDF files is registered.",
            kNoticeStyle};
}

// --- Table editing and verification ---

Notice ClearTableQuestion()
{
    return {"Unsaved changes", "This operation erases the entire table.\nContinue?", kQuestionStyle};
}

Notice VerificationNotice(const RowsCheck& check)
{
    const Row& row = check.faulty;
    switch (check.fault) {
    case RowFault::NoText:
        return {kError, "No text/lyrics for time-stamp [" + row.stamp + "].\n. Remove row or enter text.",
                kErrorStyle};
    case RowFault::NoStamp:
        return {kError,
                "No time-stamp for the row with lyrics \"" + row.text + "\"\n. Remove row or enter a time-stamp.",
                kErrorStyle};
    case RowFault::BadStamp:
        return InvalidStampNotice("[" + row.stamp + "]");
    case RowFault::Unsorted:
    case RowFault::None:
        break;
    }
    return {kError, "The time-stamps are not in sorted order.\n", kErrorStyle};
}

Notice PreviewDialogText()
{
    return {"Lyrics preview", "Verification completed successfully. No errors were found.", 0};
}

Notice OffsetPrompt()
{
    return {"Add a time offset",
            "Enter the time (in seconds) to add to all time-stamps starting with\nthe current row. Use a negative "
            "number to remove time.",
            kEntryStyle};
}

Notice InvalidOffsetNotice()
{
    return {kError, "Invalid time offset (must be in seconds)", kErrorStyle};
}

// --- Playback options ---

Notice StampLeadPrompt()
{
    return {"Stamp lead time",
            "Milliseconds to take off each time-stamp of the space bar (0 to 1000),\nthe time between hearing a "
            "syllable and pressing the key:",
            kEntryStyle};
}

Notice InvalidStampLeadNotice()
{
    return {kError, "Invalid stamp lead (must be a whole number of milliseconds from 0 to 1000)", kErrorStyle};
}
