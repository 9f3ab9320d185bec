// Playback and synchronisation: the transport row, the length measurement,
// stamping with the space bar, and the highlighting of the current row in
// the table or the lyrics view.
#include "lyrasilframecode.h"

void LyrasilFrameCode::LoadMedia(const wxString& path)
{
    mediaCtrl->Load(path);
}

void LyrasilFrameCode::OnCloseLyrics(wxMouseEvent& event)
{
    event.Skip();
}

void LyrasilFrameCode::OnPlay(wxCommandEvent&) {}
void LyrasilFrameCode::OnPause(wxCommandEvent&) {}

void LyrasilFrameCode::OnScrollChanged(wxScrollEvent& event)
{
    event.Skip();
}

void LyrasilFrameCode::OnSeekTrack(wxScrollEvent& event)
{
    event.Skip();
}

void LyrasilFrameCode::OnTimer(wxTimerEvent&) {}

void LyrasilFrameCode::OnHotKey(wxKeyEvent& event)
{
    // The table's own keys must keep working.
    event.Skip();
}

void LyrasilFrameCode::OnMediaPlay(wxMediaEvent& event)
{
    event.Skip();
}

void LyrasilFrameCode::OnMediaStop(wxMediaEvent& event)
{
    event.Skip();
}

void LyrasilFrameCode::OnMediaLoaded(wxMediaEvent& event)
{
    event.Skip();
}
