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
    StopPlayback();
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
    trackLength = -1;
    mediaLoaded = false;
    unplayable = false;
    measuring = false;
    if (!mediaCtrl->Load(path)) {
        ShowNotice(OpenForPlaybackFailedNotice());
        return false;
    }
    savedVolume = mediaCtrl->GetVolume();
    trackPath = path;
    trackFolder = wxPathOnly(path);
    ResetStopwatch();
    SetStatusText(wxEmptyString, 0);
    LoadTrack();
    AdjustTitle();
    modified = false;
    return true;
}

bool LyrasilFrameCode::LoadTrack()
{
    ClearTable();
    loadedRows.clear();
    loadedPayload.clear();
    LoadResult r = LoadTrackRows(trackPath);
    if (r.status != TrackStatus::Ok) {
        ShowNotice(TrackNotice(TrackOp::Load, r));
        return r.status != TrackStatus::OpenFailed && r.status != TrackStatus::NotRegular;
    }
    FillTable(grid, r.rows);
    loadedRows = std::move(r.rows);
    loadedPayload = std::move(r.payload);
    return true;
}

// --- Saving -----------------------------------------------------------------

bool LyrasilFrameCode::SaveTrack(bool saveAs)
{
    grid->HideCellEditControl();

    wxString dest = trackPath;
    if (trackPath.empty() || saveAs) {
        wxFileDialog dialog(this, "Save file...", trackFolder, wxFileName(trackPath).GetFullName(),
                            "MP3 tracks|*.mp3|All files|*", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        if (dialog.ShowModal() != wxID_OK)
            return false;
        dest = dialog.GetPath();
        // The open track under another name (or through a link) is a plain
        // save: copying a file onto itself would destroy it.
        if (!trackPath.empty() && SameTrackFile(dest, trackPath))
            dest = trackPath;
    }

    Rows rows = ReadTableRows(grid);
    SaveText text = ComposeSaveText(rows);
    if (!text.ok) {
        ShowNotice(InvalidStampNotice(text.badStamp));
        return false;
    }

    // A table saved while no track is open goes into the chosen track.
    const wxString source = trackPath.empty() ? dest : trackPath;
    mediaCtrl->Stop();
    // Rows as they were loaded keep the frame as it was, with whatever its
    // writer put in it that the table does not show.
    const bool unchanged = !loadedPayload.empty() && SameItems(rows, loadedRows);
    TrackResult r = SaveTrackFile(source, dest, text.text, unchanged ? &loadedPayload : nullptr);
    if (r.status != TrackStatus::Ok) {
        if (!trackPath.empty())
            LoadMedia(trackPath);
        ShowNotice(TrackNotice(TrackOp::Save, r));
        return false;
    }
    if (dest != trackPath) {
        trackPath = dest;
        trackFolder = wxPathOnly(dest);
        AdjustTitle();
    }
    LoadMedia(trackPath);
    if (!unchanged) {
        loadedRows.clear();
        loadedPayload.clear();
    }
    if (text.emptyStamps > 0)
        ShowNotice(EmptyStampsNotice());
    modified = false;
    return true;
}

bool LyrasilFrameCode::CheckSaveTrack()
{
    CommitCellEditor();
    if (!modified)
        return true;
    if (ShowNotice(UnsavedChangesQuestion()) == wxYES)
        return SaveTrack(false);
    return true;
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
    StopPlayback();
    RestoreVolume();
    measuring = false;
    trackLength = 0;
    if (!CheckSaveTrack()) {
        // The track stays open: keep it playable too.
        if (!trackPath.empty())
            LoadMedia(trackPath);
        return;
    }
    trackPath.clear();
    trackFolder.clear();
    AdjustTitle();
    ClearTable();
    loadedRows.clear();
    loadedPayload.clear();
    modified = false;
    DisableTransport();
    ResetStopwatch();
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
    wxFileDialog dialog(this, "Import file...", trackFolder, ProposedLrcName(trackPath), "LRC files|*.lrc|All files|*",
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK)
        return;
    ImportResult r = ImportLrcRows(dialog.GetPath());
    if (r.status != TrackStatus::Ok) {
        ShowNotice(TrackNotice(TrackOp::Import, r));
        return;
    }
    FillTable(grid, r.rows);
    modified = true;
    if (r.skipped > 0)
        ShowNotice(SkippedLinesNotice(r.skipped));
}

void LyrasilFrameCode::OnExport(wxCommandEvent&)
{
    CommitCellEditor();
    RestoreTableView();
    if (!VerifyTrackOpened())
        return;
    if (modified && ShowNotice(UnsavedExportQuestion()) != wxYES)
        return;
    wxFileDialog dialog(this, "Export file...", trackFolder, ProposedLrcName(trackPath), "LRC files|*.lrc|All files|*",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return;
    TrackResult r = ExportLrcFile(trackPath, dialog.GetPath());
    if (r.status != TrackStatus::Ok)
        ShowNotice(TrackNotice(TrackOp::Export, r));
}
