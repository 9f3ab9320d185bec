// Playback and synchronisation: the transport row and the Playback menu,
// stamping with the space bar, and the highlighting of the current row in
// the table or the lyrics view.  The rules of playback are the transport's
// (logic/transport.h): each handler hands it one input and carries out the
// actions it answers with (Apply).
#include "lyrasilframecode.h"

#include "lyricsfont.h"
#include "notices.h"
#include "stamps.h"
#include "tablecells.h"

namespace {

wxColour ToColour(const Rgb& c)
{
    return wxColour(c.red, c.green, c.blue);
}

// The Speed menu's items, ID_SPEED100 onwards, are the speeds in the order
// of kSpeeds.
const int kSpeedCount = static_cast<int>(sizeof kSpeeds / sizeof *kSpeeds);
static_assert(ID_SPEED75 == ID_SPEED100 + 1 && ID_SPEED50 == ID_SPEED100 + 2, "Speed items in kSpeeds order");

} // namespace

// --- Carrying out the transport's actions ----------------------------------------

long LyrasilFrameCode::Tell() const
{
    return static_cast<long>(mediaCtrl->Tell());
}

long LyrasilFrameCode::SliderMs() const
{
    return static_cast<long>(positionSlider->GetValue()) * 10;
}

void LyrasilFrameCode::Apply(const TransportActions& a, long tellMs)
{
    if (a.mute) {
        savedVolume = mediaCtrl->GetVolume();
        mediaCtrl->SetVolume(0);
    }
    if (a.unmute) {
        savedVolume = RestoredVolume(savedVolume);
        mediaCtrl->SetVolume(savedVolume);
    }
    if (a.stop)
        mediaCtrl->Stop();
    if (a.pause)
        mediaCtrl->Pause();
    if (a.rate)
        mediaCtrl->SetPlaybackRate(transport.Speed() / 100.0);
    if (a.seek >= 0)
        mediaCtrl->Seek(a.seek);
    if (a.play)
        mediaCtrl->Play();
    if (a.lengthKnown)
        ShowLength();
    if (a.atZero)
        ShowPosition(0);
    if (a.unplayable)
        SetStatusText(UnplayableStatusText(), 0);
    if (a.started)
        StartHighlighting(transport.Start());
    if (a.showPosition)
        ShowPosition(transport.Position(Now(), tellMs >= 0 ? tellMs : Tell()));
    if (a.paused)
        PaintHighlight(match.highlightRow, kClearColour, false);
    if (a.matchAt >= 0)
        MatchTimestamp(a.matchAt);

    const Controls c = transport.EnabledControls();
    playButton->Enable(c.play);
    pauseButton->Enable(c.pause);
    positionSlider->Enable(c.slider);
    positionText->Enable(c.position);
    if (!c.position && !c.play) {
        // No track, or none that plays.
        positionSlider->SetValue(0);
        positionText->ChangeValue(wxEmptyString);
    }
}

void LyrasilFrameCode::ShowPosition(long ms)
{
    // ChangeValue: a display, with no text event to send on every tick.
    wxString text = FormatStamp(ms / 10);
    if (positionText->GetValue() != text)
        positionText->ChangeValue(text);
    if (positionSlider->GetValue() != static_cast<int>(ms / 10))
        positionSlider->SetValue(static_cast<int>(ms / 10));
}

void LyrasilFrameCode::ShowLength()
{
    positionSlider->SetRange(0, static_cast<int>(transport.Length() / 10));
    SetStatusText("Track length = " + FormatStamp(transport.Length() / 10), 0);
}

// --- Highlighting -----------------------------------------------------------------

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

void LyrasilFrameCode::ClearHighlight()
{
    // The table's rows outlive a track where the next has as many.
    PaintHighlight(match.highlightRow, kClearColour, false);
    match.highlightRow = -1;
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

void LyrasilFrameCode::StartHighlighting(long startMs)
{
    lyricsSpans.clear();
    lyricsText.clear();
    if (options.textWindow) {
        grid->Hide();
        lyricsView->Show();
        Layout();
        lyricsView->Clear();
        lyricsView->SetFont(LyricsFont(options.lyricsFont));
        LyricsLayout layout = BuildLyricsLayout(doc.ReadRows());
        lyricsView->SetValue(layout.text);
        lyricsSpans = std::move(layout.spans);
        lyricsText = std::move(layout.text);
    }
    StartMatch(match, doc.Times(), startMs);
    if (!options.textWindow)
        grid->MakeCellVisible(match.nextStampRow, 0);
    else if (!lyricsSpans.empty())
        MakeLineVisible(match.nextStampRow, true);
    // Neither button keeps the focus, so that no key can click them.
    if (grid->IsShown())
        grid->SetFocus();
    else
        lyricsView->SetFocus();
}

void LyrasilFrameCode::MatchTimestamp(long ms)
{
    const bool lyrics = options.textWindow && !lyricsSpans.empty();
    const bool tableMode = !options.textWindow;
    TickActions a = MatchTick(match, ms, options.highlightTime, tableMode, doc.Times());
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
}

// --- The transport row and the Playback menu ----------------------------------------

bool LyrasilFrameCode::ReadyToPlay()
{
    CommitCellEditor();
    if (doc.HasTrack())
        return true;
    ShowNotice(PlayWithoutTrackNotice());
    return false;
}

void LyrasilFrameCode::OnPlay(wxCommandEvent&)
{
    if (ReadyToPlay())
        Apply(transport.Play(Now(), SliderMs()));
}

void LyrasilFrameCode::OnPause(wxCommandEvent&)
{
    Apply(transport.Pause(Now()));
}

void LyrasilFrameCode::OnPlayPause(wxCommandEvent&)
{
    if (ReadyToPlay())
        Apply(transport.PlayPause(Now(), SliderMs()));
}

void LyrasilFrameCode::OnPlayFromRow(wxCommandEvent&)
{
    if (ReadyToPlay())
        Apply(transport.PlayFrom(Now(), ReplayStart(doc.Times(), grid->GetGridCursorRow())));
}

void LyrasilFrameCode::ShowSpeed()
{
    for (int i = 0; i < kSpeedCount; ++i)
        if (kSpeeds[i] == options.speed)
            menuBar->Check(ID_SPEED100 + i, true);
}

void LyrasilFrameCode::OnSpeed(wxCommandEvent& event)
{
    const int i = event.GetId() - ID_SPEED100;
    if (i >= 0 && i < kSpeedCount)
        options.speed = kSpeeds[i];
    ShowSpeed();
    Apply(transport.SetSpeed(options.speed, Now()));
}

void LyrasilFrameCode::OnScrollChanged(wxScrollEvent& event)
{
    transport.SliderMoved();
    positionText->SetValue(FormatStamp(event.GetPosition()));
}

void LyrasilFrameCode::OnSeekTrack(wxScrollEvent& event)
{
    OnScrollChanged(event);
}

void LyrasilFrameCode::OnCloseLyrics(wxMouseEvent&)
{
    if (transport.CurrentPhase() != Phase::Playing)
        RestoreTableView();
}

// --- Time ---------------------------------------------------------------------------

void LyrasilFrameCode::OnTimer(wxTimerEvent&)
{
    const long tell = Tell();
    Apply(transport.Tick(Now(), tell, static_cast<long>(mediaCtrl->Length()),
                         mediaCtrl->GetState() == wxMEDIASTATE_STOPPED),
          tell);
}

void LyrasilFrameCode::OnHotKey(wxKeyEvent& event)
{
    // Only the space bar while the track plays, and never while a cell is
    // being typed into: every other key is the table's.
    if (event.GetKeyCode() != WXK_SPACE || !transport.CanStamp() || grid->IsCellEditControlShown()) {
        event.Skip();
        return;
    }
    const int r = grid->GetGridCursorRow() < 0 ? 0 : grid->GetGridCursorRow();
    const long ms = LeadStamp(transport.Position(Now(), Tell()), options.stampLead, transport.Speed());
    size_t next = 0;
    ShowEdit(doc.Stamp(static_cast<size_t>(r), ms / 10, &next));
    PaintHighlight(match.highlightRow, kClearColour, false);
    match.highlightRow = r;
    match.highlightCountdown = options.highlightTime > 0 ? options.highlightTime : 0;
    PaintRowText(grid, r, ToColour(kHighlightColour));
    grid->SetGridCursor(static_cast<int>(next), 0);
    grid->MakeCellVisible(static_cast<int>(next), 0);
    grid->ForceRefresh();
}

// --- The media control -----------------------------------------------------------

void LyrasilFrameCode::OnMediaPlay(wxMediaEvent& event)
{
    Apply(transport.MediaPlay(Now(), Tell(), static_cast<long>(mediaCtrl->Length())));
    event.Skip();
}

void LyrasilFrameCode::OnMediaStop(wxMediaEvent& event)
{
    Apply(transport.MediaStop(static_cast<long>(mediaCtrl->Length())));
    event.Skip();
}

void LyrasilFrameCode::OnMediaFinished(wxMediaEvent& event)
{
    Apply(transport.MediaFinished(Now()));
    event.Skip();
}

void LyrasilFrameCode::OnMediaLoaded(wxMediaEvent&)
{
    // The length is not known yet at this point (0, or even the previous
    // track's): the timer's muted start measures it.
    Apply(transport.MediaLoaded());
}
