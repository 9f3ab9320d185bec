// Track documents: open, save, save as, close, leaving the program, and
// the LRC import and export.
#include "lyrasilframecode.h"

#include <wx/filedlg.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>

#include "notices.h"
#include "tablecells.h"
#include "trackio.h"

// The LRC file proposed for the open track: its name with the extension
// "lrc" ("/music/song.mp3" proposes "/music/song.lrc").
static wxString ProposedLrcName(const wxString& trackPath)
{
    wxFileName name(trackPath);
    name.SetExt("lrc");
    return name.GetFullName();
}

// --- Opening ----------------------------------------------------------------

void LyrasilFrameCode::OnOpen(wxCommandEvent&)
{
    Apply(transport.Stop(Now()));
    RestoreTableView();
    if (!CheckSaveTrack())
        return;
    wxFileDialog dialog(this, "Open file...", trackFolder, wxEmptyString, "MP3 tracks|*.mp3;|All files|*",
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK)
        return;
    OpenTrack(dialog.GetPath());
}

bool LyrasilFrameCode::OpenTrack(const wxString& path)
{
    // A file that cannot be read (or a folder, a FIFO, a device) never
    // becomes the open track: it could not be saved either.
    TrackResult probe = ProbeTrack(path);
    if (probe.status != TrackStatus::Ok) {
        ShowNotice(TrackNotice(TrackOp::Load, probe));
        return false;
    }
    // Read before anything changes, so that a file replaced since the probe
    // by one that cannot be read leaves the open track as it was.
    LoadResult r = LoadTrackRows(path);
    if (r.status == TrackStatus::OpenFailed || r.status == TrackStatus::NotRegular) {
        ShowNotice(TrackNotice(TrackOp::Load, r));
        return false;
    }
    Apply(transport.Stop(Now()));
    if (!mediaCtrl->Load(path)) {
        ShowNotice(OpenForPlaybackFailedNotice());
        return false;
    }
    Apply(transport.Open());
    trackFolder = wxPathOnly(path);
    SetStatusText(wxEmptyString, 0);
    ClearHighlight();
    ShowEdit(doc.Open(path, r.rows, r.payload));
    if (r.status != TrackStatus::Ok)
        ShowNotice(TrackNotice(TrackOp::Load, r));
    AdjustTitle();
    return true;
}

void LyrasilFrameCode::ReloadMedia()
{
    if (!doc.HasTrack())
        return;
    mediaCtrl->Load(doc.Path());
    Apply(transport.Reload());
}

// --- Saving -----------------------------------------------------------------

bool LyrasilFrameCode::SaveTrack(bool saveAs)
{
    grid->HideCellEditControl();

    wxString dest = doc.Path();
    if (!doc.HasTrack() || saveAs) {
        wxFileDialog dialog(this, "Save file...", trackFolder, wxFileName(doc.Path()).GetFullName(),
                            "MP3 tracks|*.mp3|All files|*", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        if (dialog.ShowModal() != wxID_OK)
            return false;
        dest = dialog.GetPath();
        // The open track under another name (or through a link) is a plain
        // save: copying a file onto itself would destroy it.
        if (doc.HasTrack() && SameTrackFile(dest, doc.Path()))
            dest = doc.Path();
    }

    SaveText text = ComposeSaveText(doc.ReadRows());
    if (!text.ok) {
        ShowNotice(InvalidStampNotice(text.badStamp));
        return false;
    }

    // A table saved while no track is open goes into the chosen track.
    const wxString source = doc.HasTrack() ? doc.Path() : dest;
    // The media control lets go of the track while it is replaced.
    Apply(transport.Stop(Now()));
    mediaCtrl->Stop();
    // Rows as they were loaded keep the frame as it was, with whatever its
    // writer put in it that the table does not show.
    const std::string* kept = doc.KeptPayload();
    TrackResult r = SaveTrackFile(source, dest, text.text, kept, options.uslt);
    if (r.status != TrackStatus::Ok) {
        ReloadMedia();
        ShowNotice(TrackNotice(TrackOp::Save, r));
        return false;
    }
    const bool moved = dest != doc.Path();
    doc.Saved(dest, kept != nullptr);
    if (moved) {
        trackFolder = wxPathOnly(dest);
        AdjustTitle();
    }
    ReloadMedia();
    if (text.emptyStamps > 0)
        ShowNotice(EmptyStampsNotice());
    return true;
}

bool LyrasilFrameCode::CheckSaveTrack()
{
    CommitCellEditor();
    if (!doc.Modified())
        return true;
    // No Cancel button, but Escape or closing the box cancels: the command
    // does not go on and the table stays as it is.
    switch (ShowNotice(UnsavedChangesQuestion())) {
    case wxYES:
        return SaveTrack(false);
    case wxNO:
        return true;
    default:
        return false;
    }
}

void LyrasilFrameCode::OnSave(wxCommandEvent&)
{
    CommitCellEditor();
    if (VerifyTrackOpened())
        SaveTrack(false);
}

void LyrasilFrameCode::OnSaveAs(wxCommandEvent&)
{
    CommitCellEditor();
    if (VerifyTrackOpened())
        SaveTrack(true);
}

// --- Closing ----------------------------------------------------------------

void LyrasilFrameCode::OnClose(wxCommandEvent&)
{
    CommitCellEditor();
    RestoreTableView();
    Apply(transport.Stop(Now()));
    if (!CheckSaveTrack())
        return;
    trackFolder.clear();
    ClearHighlight();
    ShowEdit(doc.Close());
    AdjustTitle();
    Apply(transport.Close());
    SetStatusText(wxEmptyString, 0);
}

void LyrasilFrameCode::OnFrameClose(wxCloseEvent& event)
{
    if (!CheckSaveTrack()) {
        if (event.CanVeto())
            event.Veto();
        return;
    }
    // The timer stops before anything is torn down.
    updateTimer->Stop();
    options.frameWidth = GetSize().GetWidth();
    options.frameHeight = GetSize().GetHeight();
    options.Save(settings);
    event.Skip();
}

void LyrasilFrameCode::OnExit(wxCommandEvent&)
{
    Close(true);
}

// --- LRC files ----------------------------------------------------------------

void LyrasilFrameCode::OnImport(wxCommandEvent&)
{
    RestoreTableView();
    if (!VerifyTrackOpened())
        return;
    CommitCellEditor();
    wxFileDialog dialog(this, "Import file...", trackFolder, ProposedLrcName(doc.Path()), "LRC files|*.lrc|All files|*",
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK)
        return;
    ImportResult r = ImportLrcRows(dialog.GetPath());
    if (r.status != TrackStatus::Ok) {
        ShowNotice(TrackNotice(TrackOp::Import, r));
        return;
    }
    ShowEdit(doc.Replace(r.rows));
    if (r.skipped > 0)
        ShowNotice(SkippedLinesNotice(r.skipped));
}

void LyrasilFrameCode::OnExport(wxCommandEvent&)
{
    CommitCellEditor();
    RestoreTableView();
    if (!VerifyTrackOpened())
        return;
    if (doc.Modified() && ShowNotice(UnsavedExportQuestion()) != wxYES)
        return;
    wxFileDialog dialog(this, "Export file...", trackFolder, ProposedLrcName(doc.Path()), "LRC files|*.lrc|All files|*",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return;
    TrackResult r = ExportLrcFile(doc.Path(), dialog.GetPath());
    if (r.status != TrackStatus::Ok)
        ShowNotice(TrackNotice(TrackOp::Export, r));
}
