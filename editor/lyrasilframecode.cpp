#include "lyrasilframecode.h"

#include "images/lyrasil.xpm"
#include "startup.h"

// The time value of an item without a time.
static const long kNoTime = 2147483647L;

LyrasilFrameCode::LyrasilFrameCode(const wxString& title, const wxSize& size, Options& options,
                                   const Keyvale& settings, const wxString& docDir)
    : LyrasilFrame(nullptr, wxID_ANY, title, wxDefaultPosition, size, wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL),
      options(options), settings(settings), docDir(docDir), mediaCtrl(nullptr), updateTimer(nullptr), trackPath(), trackFolder(), modified(false),
      insertingRow(false), contextRow(-1), savedVolume(1.0), trackLength(0), playing(false),
      sliderMoved(false), stopwatch(), nextStampTime(kNoTime), nextStampRow(-1), highlightRow(-1),
      highlightCountdown(0), lyricsSpans(), unplayable(false)
{
    SetIcon(wxIcon(lyrasil_xpm));

    mediaCtrl = new wxMediaCtrl(this, ID_MEDIACTRL, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                                wxEmptyString, wxDefaultValidator, "mediaCtrl");
    Connect(ID_MEDIACTRL, wxEVT_MEDIA_PLAY, wxMediaEventHandler(LyrasilFrameCode::OnMediaPlay));
    Connect(ID_MEDIACTRL, wxEVT_MEDIA_STOP, wxMediaEventHandler(LyrasilFrameCode::OnMediaStop));
    Connect(ID_MEDIACTRL, wxEVT_MEDIA_LOADED, wxMediaEventHandler(LyrasilFrameCode::OnMediaLoaded));

    // Nothing to play until a track is open.
    playButton->Enable(false);
    pauseButton->Enable(false);
    positionSlider->Enable(false);
    positionText->Enable(false);
    positionText->SetValue(wxEmptyString);

    menuBar->Check(ID_VIEWTOOLBAR, options.showToolbar);
    menuBar->Check(ID_SYNCTIMER, options.syncTimer);
    menuBar->Check(ID_TEXTWINDOW, options.textWindow);
    if (!options.showToolbar) {
        toolBar->Hide();
        Layout();
    }

    Connect(wxEVT_KEY_DOWN, wxKeyEventHandler(LyrasilFrameCode::OnHotKey));

    updateTimer = new wxTimer(this, ID_TIMER);
    Connect(ID_TIMER, wxEVT_TIMER, wxTimerEventHandler(LyrasilFrameCode::OnTimer));
    playing = false;
    updateTimer->Start(100, wxTIMER_CONTINUOUS);
}

LyrasilFrameCode::~LyrasilFrameCode()
{
    Disconnect(ID_MEDIACTRL, wxEVT_MEDIA_PLAY, wxMediaEventHandler(LyrasilFrameCode::OnMediaPlay));
    Disconnect(ID_MEDIACTRL, wxEVT_MEDIA_STOP, wxMediaEventHandler(LyrasilFrameCode::OnMediaStop));
    Disconnect(ID_MEDIACTRL, wxEVT_MEDIA_LOADED, wxMediaEventHandler(LyrasilFrameCode::OnMediaLoaded));
    Disconnect(ID_TIMER, wxEVT_TIMER, wxTimerEventHandler(LyrasilFrameCode::OnTimer));
    Disconnect(wxEVT_KEY_DOWN, wxKeyEventHandler(LyrasilFrameCode::OnHotKey));
    // Not a window: the frame owns it but does not delete it.
    delete updateTimer;
}

// --- Handlers ---------------------------------------------------------------
// Until tracks can be opened, the document, table, playback and option
// commands do nothing; events with a default behaviour (table, mouse,
// slider, keys) are passed on so the widgets keep working.

void LyrasilFrameCode::OnFrameClose(wxCloseEvent& event)
{
    // The timer stops before anything is torn down.
    updateTimer->Stop();
    options.frameWidth = GetSize().GetWidth();
    options.frameHeight = GetSize().GetHeight();
    options.Save(settings);
    event.Skip();
}

void LyrasilFrameCode::OnSave(wxCommandEvent&) {}
void LyrasilFrameCode::OnSaveAs(wxCommandEvent&) {}
void LyrasilFrameCode::OnClose(wxCommandEvent&) {}
void LyrasilFrameCode::OnImport(wxCommandEvent&) {}
void LyrasilFrameCode::OnExport(wxCommandEvent&) {}

void LyrasilFrameCode::OnExit(wxCommandEvent&)
{
    Close(true);
}

void LyrasilFrameCode::OnClearTable(wxCommandEvent&) {}
void LyrasilFrameCode::OnVerifyTable(wxCommandEvent&) {}
void LyrasilFrameCode::OnViewToolbar(wxCommandEvent&) {}
void LyrasilFrameCode::OnSyncTimer(wxCommandEvent&) {}
void LyrasilFrameCode::OnHighlightTime(wxCommandEvent&) {}
void LyrasilFrameCode::OnTextWindowSelect(wxCommandEvent&) {}
void LyrasilFrameCode::OnLyricsFont(wxCommandEvent&) {}
void LyrasilFrameCode::OnHelp(wxCommandEvent&) {}
void LyrasilFrameCode::OnTips(wxCommandEvent&) {}
void LyrasilFrameCode::OnAbout(wxCommandEvent&) {}
void LyrasilFrameCode::OnOpen(wxCommandEvent&) {}

void LyrasilFrameCode::OnCellChange(wxGridEvent& event)
{
    event.Skip();
}

void LyrasilFrameCode::OnCellRightClick(wxGridEvent& event)
{
    event.Skip();
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

void LyrasilFrameCode::OnGridInsert(wxCommandEvent&) {}
void LyrasilFrameCode::OnGridDelete(wxCommandEvent&) {}
void LyrasilFrameCode::OnGridDelTimestamps(wxCommandEvent&) {}
void LyrasilFrameCode::OnGridOffsetTimestamps(wxCommandEvent&) {}

// --- Helpers ----------------------------------------------------------------

void LyrasilFrameCode::AdjustTitle()
{
    SetTitle(MakeWindowTitle(trackPath));
}
