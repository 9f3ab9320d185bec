// Playback and synchronisation: the transport row, the length measurement,
// stamping with the space bar, and the highlighting of the current row in
// the table or the lyrics view.
//
// How the media back end behaves here shapes the length measurement:
// Length() is still 0 when a track reports it has loaded, and a file it
// cannot play reports loaded and then stopped, without ever a length.  So
// a newly opened track is measured by a short muted start from the timer,
// and a stop before any length arrived marks the track as unplayable.
#include "lyrasilframecode.h"

#include "lyricsfont.h"
#include "notices.h"
#include "stamps.h"
#include "tablecells.h"

namespace {

// The longest the muted start may play while waiting for a length.
const long kMeasureLimitMs = 3000;

wxColour ToColour(const Rgb& c)
{
    return wxColour(c.red, c.green, c.blue);
}

} // namespace

// --- Helpers ------------------------------------------------------------------

void LyrasilFrameCode::LoadMedia(const wxString& path)
{
    mediaCtrl->Load(path);
}

void LyrasilFrameCode::ResetStopwatch()
{
    stopwatch.Start(0);
    stopwatch.Pause();
}

void LyrasilFrameCode::RestoreVolume()
{
    if (!muted)
        return;
    savedVolume = RestoredVolume(savedVolume);
    mediaCtrl->SetVolume(savedVolume);
    muted = false;
}

StampCell LyrasilFrameCode::GridStamps()
{
    return [this](int row) { return grid->GetCellValue(row, 0); };
}

void LyrasilFrameCode::InitTrackPosition()
{
    InitTrackPosition(mediaCtrl->Length());
}

void LyrasilFrameCode::InitTrackPosition(wxFileOffset length)
{
    positionSlider->SetValue(0);
    // While a new track is being measured, a length not yet known keeps
    // the measurement going.
    if (length > 0 || trackLength != -1)
        trackLength = length;
    if (trackLength > 0)
        positionSlider->SetRange(0, static_cast<int>(trackLength.GetValue() / 10));
    positionText->SetValue("00:00.00");
    if (trackLength > 0) {
        wxString text;
        MakeTimeStamp(text, static_cast<long>(trackLength.GetValue() / 10));
        SetStatusText("Track length = " + text, 0);
    }
    playButton->Enable(true);
    positionSlider->Enable(true);
    positionText->Enable(true);
}

int LyrasilFrameCode::UpdateTrackPosition()
{
    if (!playing)
        return 0;
    wxString text;
    long t = MakeTimeStamp(text, -1);
    // ChangeValue: a display, with no text event to send on every tick.
    if (positionText->GetValue() != text)
        positionText->ChangeValue(text);
    if (positionSlider->GetValue() != static_cast<int>(t))
        positionSlider->SetValue(static_cast<int>(t));
    return static_cast<int>(t);
}

void LyrasilFrameCode::PaintHighlight(int row, const Rgb& colour, bool inLyricsView)
{
    if (row < 0)
        return;
    if (!inLyricsView) {
        if (row < grid->GetNumberRows()) {
            PaintRowText(grid, row, ToColour(colour));
            RefreshRowText(grid, row);
        }
        return;
    }
    // Rows added since Play have no place in the view.
    if (static_cast<size_t>(row) >= lyricsSpans.size() || lyricsSpans[row].second == 0)
        return;
    lyricsView->SetStyle(lyricsSpans[row].first, lyricsSpans[row].second, wxTextAttr(wxNullColour, ToColour(colour)));
}

void LyrasilFrameCode::MakeLineVisible(int row, bool force)
{
    if (row < 0 || static_cast<size_t>(row) >= lyricsSpans.size())
        return;
    long p = lyricsSpans[row].first;
    if (p == 0 && !force)
        return;
    lyricsView->ShowPosition(ScrollTarget(lyricsText, p));
}

void LyrasilFrameCode::InitTimestampMatch(long ms)
{
    StartMatch(match, GridStamps(), grid->GetNumberRows(), ms);
    if (!options.textWindow)
        grid->MakeCellVisible(match.nextStampRow, 0);
    else if (!lyricsSpans.empty())
        MakeLineVisible(match.nextStampRow, true);
}

void LyrasilFrameCode::FindNextTimestamp(long ms)
{
    FindNextStamp(match, GridStamps(), grid->GetNumberRows(), ms);
}

bool LyrasilFrameCode::MatchTimestamp(long ms)
{
    const bool lyrics = options.textWindow && !lyricsSpans.empty();
    const bool tableMode = !options.textWindow;
    TickActions a = MatchTick(match, ms, options.highlightTime, tableMode, GridStamps(), grid->GetNumberRows());
    if (a.fadeRow >= 0 && (tableMode || lyrics))
        PaintHighlight(a.fadeRow, a.fadeColour, lyrics);
    if (a.cursorRow >= 0 && a.cursorRow < grid->GetNumberRows()) {
        grid->SetGridCursor(a.cursorRow, 0);
        grid->MakeCellVisible(a.cursorRow, 0);
    }
    if (a.clearRow >= 0 && (tableMode || lyrics))
        PaintHighlight(a.clearRow, kClearColour, lyrics);
    if (a.matchRow >= 0) {
        if (tableMode) {
            grid->MakeCellVisible(a.matchRow, 0);
            PaintHighlight(a.matchRow, kHighlightColour, false);
        } else if (lyrics) {
            MakeLineVisible(a.matchRow, false);
            PaintHighlight(a.matchRow, kHighlightColour, true);
        }
    }
    return a.matchRow >= 0;
}

// --- The transport row ----------------------------------------------------------

void LyrasilFrameCode::OnPlay(wxCommandEvent&)
{
    CommitCellEditor();
    if (trackPath.empty()) {
        ShowNotice(PlayWithoutTrackNotice());
        return;
    }
    // Play during the muted start takes over from it: no stop in between.
    measuring = false;
    if (trackLength == -1 || trackLength == 0)
        InitTrackPosition();
    if (trackLength == -1)
        trackLength = 0;
    RestoreVolume();

    lyricsSpans.clear();
    lyricsText.clear();
    if (options.textWindow) {
        grid->Hide();
        lyricsView->Show();
        Layout();
        lyricsView->Clear();
        lyricsView->SetFont(LyricsFont(options.lyricsFont));
        LyricsLayout layout = BuildLyricsLayout(ReadTableRows(grid));
        lyricsView->SetValue(layout.text);
        lyricsSpans = std::move(layout.spans);
        lyricsText = std::move(layout.text);
    }

    long start;
    if (sliderMoved)
        start = 0;
    else if (options.syncTimer)
        start = stopwatch.Time();
    else
        start = static_cast<long>(positionSlider->GetValue()) * 10;
    mediaCtrl->Seek(start);
    playStart = start;
    awaitingPlay = true;
    playAsked.Start();
    mediaCtrl->Play();
    stopwatch.Start(start);

    playing = true;
    sliderMoved = false;
    positionSlider->Enable(false);
    playButton->Enable(false);
    pauseButton->Enable(true);
    InitTimestampMatch(start);
    // Neither button keeps the focus, so that no key can click them.
    if (grid->IsShown())
        grid->SetFocus();
    else
        lyricsView->SetFocus();
}

void LyrasilFrameCode::OnPause(wxCommandEvent&)
{
    awaitingPlay = false;
    mediaCtrl->Pause();
    stopwatch.Pause();
    UpdateTrackPosition();
    playing = false;
    positionSlider->Enable(true);
    playButton->Enable(true);
    pauseButton->Enable(false);
    if (match.highlightRow >= 0 && match.highlightRow < grid->GetNumberRows()) {
        PaintRowText(grid, match.highlightRow, ToColour(kClearColour));
        grid->ForceRefresh();
    }
}

void LyrasilFrameCode::OnScrollChanged(wxScrollEvent& event)
{
    if (options.syncTimer)
        sliderMoved = true;
    positionText->SetValue(FormatStamp(event.GetPosition()));
}

void LyrasilFrameCode::OnSeekTrack(wxScrollEvent& event)
{
    if (trackLength == -1 || trackLength == 0)
        InitTrackPosition();
    OnScrollChanged(event);
}

void LyrasilFrameCode::OnCloseLyrics(wxMouseEvent&)
{
    if (!playing && !grid->IsShown())
        RestoreTableView();
}

// --- Time ---------------------------------------------------------------------------

void LyrasilFrameCode::OnTimer(wxTimerEvent&)
{
    int t = UpdateTrackPosition();
    if (playing && !awaitingPlay)
        MatchTimestamp(static_cast<long>(t) * 10);
    // A Play the back end never began (it stopped at once) ends here.
    if (playing && awaitingPlay && playAsked.Time() > kMeasureLimitMs &&
        mediaCtrl->GetState() == wxMEDIASTATE_STOPPED)
        EndPlayback();
    if (trackLength != -1 || trackPath.empty() || unplayable || !mediaLoaded)
        return;
    if (!measuring) {
        // Until the back end reports that playback began, the muted start
        // is asked for again on every tick.
        savedVolume = mediaCtrl->GetVolume();
        mediaCtrl->SetVolume(0);
        muted = true;
        mediaCtrl->Play();
    } else if (mediaCtrl->Length() > 0 || measureTime.Time() > kMeasureLimitMs) {
        // Tracks without a length header get theirs only while they play,
        // as an estimate; one that gives none keeps the length unknown.
        FinishMeasurement();
    }
}

void LyrasilFrameCode::OnHotKey(wxKeyEvent& event)
{
    // Only the space bar while the track plays, and never while a cell is
    // being typed into: every other key is the table's.
    if (event.GetKeyCode() != WXK_SPACE || mediaCtrl->GetState() != wxMEDIASTATE_PLAYING || !playing ||
        grid->IsCellEditControlShown()) {
        event.Skip();
        return;
    }
    int r = grid->GetGridCursorRow();
    if (r < 0)
        r = 0;
    wxString text;
    long t = MakeTimeStamp(text, -1);
    SetRowStamp(grid, r, text);
    modified = true;
    if (r + 1 >= grid->GetNumberRows()) {
        insertingRow = true;
        grid->InsertRows(r + 1, 1);
        insertingRow = false;
    }
    if (match.highlightRow >= 0 && match.highlightRow < grid->GetNumberRows())
        PaintRowText(grid, match.highlightRow, ToColour(kClearColour));
    match.highlightRow = r;
    match.highlightCountdown = options.highlightTime > 0 ? options.highlightTime : 0;
    PaintRowText(grid, r, ToColour(kHighlightColour));
    grid->SetGridCursor(r + 1, 0);
    grid->MakeCellVisible(r + 1, 0);
    grid->ForceRefresh();
    FindNextTimestamp(t * 10);
}

// --- The media control -----------------------------------------------------------

void LyrasilFrameCode::FinishMeasurement()
{
    // Once stopped, the back end no longer knows the length: read it first.
    wxFileOffset length = mediaCtrl->Length();
    measuring = false;
    mediaCtrl->Stop();
    mediaCtrl->Seek(0);
    RestoreVolume();
    InitTrackPosition(length);
    if (trackLength == -1)
        trackLength = 0; // read again at Play
}

void LyrasilFrameCode::OnMediaPlay(wxMediaEvent& event)
{
    awaitingPlay = false;
    if (muted && !playing && !measuring) {
        // The muted start has begun: finish at once when the length is
        // known, otherwise on a later tick.
        measuring = true;
        measureTime.Start();
        if (mediaCtrl->Length() > 0)
            FinishMeasurement();
    }
    event.Skip();
}

void LyrasilFrameCode::OnMediaStop(wxMediaEvent& event)
{
    if (trackLength == -1 && !measuring && mediaLoaded && !trackPath.empty() && mediaCtrl->Length() <= 0) {
        // Stopped without a length: the back end cannot play this file.
        // The track stays open for its tag; only playing is impossible.
        unplayable = true;
        trackLength = 0;
        RestoreVolume();
        DisableTransport();
        SetStatusText(UnplayableStatusText(), 0);
    } else if (playing && !awaitingPlay) {
        // The end of the track (reported more than once): handled once.
        // A stop that arrives before the back end began to play is an
        // earlier one's, late.
        EndPlayback();
    } else if (!unplayable && !trackPath.empty()) {
        pauseButton->Enable(false);
    }
    event.Skip();
}

void LyrasilFrameCode::StopPlayback()
{
    const bool wasPlaying = playing;
    mediaCtrl->Stop();
    if (wasPlaying)
        EndPlayback();
}

void LyrasilFrameCode::EndPlayback()
{
    stopwatch.Pause();
    UpdateTrackPosition();
    playing = false;
    awaitingPlay = false;
    positionSlider->Enable(true);
    playButton->Enable(true);
    pauseButton->Enable(false);
}

void LyrasilFrameCode::OnMediaLoaded(wxMediaEvent&)
{
    // The length is not known yet at this point (0, or even the previous
    // track's): the timer's muted start measures it.
    mediaLoaded = true;
}
