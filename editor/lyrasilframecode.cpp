#include "lyrasilframecode.h"

#include <wx/msgdlg.h>

#include "images/lyrasil.xpm"
#include "notices.h"
#include "stamps.h"
#include "startup.h"
#include "tablecells.h"

LyrasilFrameCode::LyrasilFrameCode(const wxString& title, const wxSize& size, Options& options,
                                   const Keyvale& settings, const wxString& docDir)
    : LyrasilFrame(nullptr, wxID_ANY, title, wxDefaultPosition, size, wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL),
      options(options), settings(settings), docDir(docDir), mediaCtrl(nullptr), updateTimer(nullptr), trackPath(),
      trackFolder(), modified(false), insertingRow(false), contextRow(-1), savedVolume(1.0), trackLength(0),
      playing(false), sliderMoved(false), stopwatch(), match(), lyricsSpans(), lyricsText(), unplayable(false),
      mediaLoaded(false), muted(false), measuring(false), measureTime(), awaitingPlay(false), playStart(0), playAsked()
{
    SetIcon(wxIcon(lyrasil_xpm));

    mediaCtrl = new wxMediaCtrl(this, ID_MEDIACTRL, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                                wxEmptyString, wxDefaultValidator, "mediaCtrl");
    Connect(ID_MEDIACTRL, wxEVT_MEDIA_PLAY, wxMediaEventHandler(LyrasilFrameCode::OnMediaPlay));
    Connect(ID_MEDIACTRL, wxEVT_MEDIA_STOP, wxMediaEventHandler(LyrasilFrameCode::OnMediaStop));
    Connect(ID_MEDIACTRL, wxEVT_MEDIA_LOADED, wxMediaEventHandler(LyrasilFrameCode::OnMediaLoaded));

    // Nothing to play until a track is open.
    DisableTransport();

    menuBar->Check(ID_VIEWTOOLBAR, options.showToolbar);
    menuBar->Check(ID_SYNCTIMER, options.syncTimer);
    menuBar->Check(ID_TEXTWINDOW, options.textWindow);
    if (!options.showToolbar) {
        toolBar->Hide();
        Layout();
    }

    // The space bar is taken before any control sees it, whichever has
    // the focus: a focused button would take it as a click, and the lyrics
    // view would swallow it.  OnHotKey passes every other key on.
    Connect(wxEVT_CHAR_HOOK, wxKeyEventHandler(LyrasilFrameCode::OnHotKey));

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
    Disconnect(wxEVT_CHAR_HOOK, wxKeyEventHandler(LyrasilFrameCode::OnHotKey));
    DisconnectTableMenu();
    // A timer is no window: the toolkit never deletes it, so we do.
    delete updateTimer;
}

// --- Shared helpers ---------------------------------------------------------

void LyrasilFrameCode::CommitCellEditor()
{
    grid->SaveEditControlValue();
    grid->HideCellEditControl();
}

void LyrasilFrameCode::RestoreTableView()
{
    if (grid->IsShown())
        return;
    grid->Show();
    lyricsView->Hide();
    Layout();
}

void LyrasilFrameCode::ClearTable()
{
    EmptyTable(grid);
}

void LyrasilFrameCode::AdjustTitle()
{
    SetTitle(MakeWindowTitle(trackPath));
}

bool LyrasilFrameCode::VerifyTrackOpened()
{
    if (!trackPath.empty())
        return true;
    ShowNotice(NoTrackOpenNotice());
    return false;
}

int LyrasilFrameCode::ShowNotice(const Notice& notice)
{
    return wxMessageBox(notice.text, notice.caption, notice.style, this);
}

long LyrasilFrameCode::MakeTimeStamp(wxString& out, long hundredths)
{
    if (hundredths == -1) {
        if (options.syncTimer)
            hundredths = stopwatch.Time() / 10;
        else if (awaitingPlay)
            hundredths = playStart / 10; // Tell() still gives the old place
        else
            hundredths = static_cast<long>(static_cast<long long>(mediaCtrl->Tell()) / 10);
    }
    out = FormatStamp(hundredths);
    return hundredths;
}

void LyrasilFrameCode::DisableTransport()
{
    playButton->Enable(false);
    pauseButton->Enable(false);
    positionSlider->Enable(false);
    positionSlider->SetValue(0);
    positionText->Enable(false);
    positionText->SetValue(wxEmptyString);
}
