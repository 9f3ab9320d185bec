#include "lyrasilframecode.h"

#include <wx/msgdlg.h>

#include "images/lyrasil.xpm"
#include "notices.h"
#include "startup.h"
#include "tablecells.h"

LyrasilFrameCode::LyrasilFrameCode(const wxString& title, const wxSize& size, Options& options,
                                   const Keyvale& settings, const wxString& docDir)
    : LyrasilFrame(nullptr, wxID_ANY, title, wxDefaultPosition, size, wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL),
      options(options), settings(settings), docDir(docDir), mediaCtrl(nullptr), updateTimer(nullptr), doc(),
      transport(), clock(), trackFolder(), contextRow(-1), savedVolume(1.0), match(), lyricsSpans(), lyricsText()
{
    SetIcon(wxIcon(lyrasil_xpm));

    mediaCtrl = new wxMediaCtrl(this, ID_MEDIACTRL, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                                wxEmptyString, wxDefaultValidator, "mediaCtrl");
    Connect(ID_MEDIACTRL, wxEVT_MEDIA_PLAY, wxMediaEventHandler(LyrasilFrameCode::OnMediaPlay));
    Connect(ID_MEDIACTRL, wxEVT_MEDIA_STOP, wxMediaEventHandler(LyrasilFrameCode::OnMediaStop));
    Connect(ID_MEDIACTRL, wxEVT_MEDIA_LOADED, wxMediaEventHandler(LyrasilFrameCode::OnMediaLoaded));
    Connect(ID_MEDIACTRL, wxEVT_MEDIA_FINISHED, wxMediaEventHandler(LyrasilFrameCode::OnMediaFinished));

    menuBar->Check(ID_VIEWTOOLBAR, options.showToolbar);
    menuBar->Check(ID_SYNCTIMER, options.syncTimer);
    menuBar->Check(ID_TEXTWINDOW, options.textWindow);
    menuBar->Check(ID_USLT, options.uslt);
    ShowSpeed();
    if (!options.showToolbar) {
        toolBar->Hide();
        Layout();
    }
    transport.UseStopwatch(options.syncTimer);
    transport.SetSpeed(options.speed, Now());
    // Nothing to play and nothing to undo until a track is open.
    Apply(TransportActions());
    ShowEdit(Change());

    // The space bar is taken before any control sees it, whichever has
    // the focus: a focused button would take it as a click, and the lyrics
    // view would swallow it.  OnHotKey passes every other key on.
    Connect(wxEVT_CHAR_HOOK, wxKeyEventHandler(LyrasilFrameCode::OnHotKey));

    updateTimer = new wxTimer(this, ID_TIMER);
    Connect(ID_TIMER, wxEVT_TIMER, wxTimerEventHandler(LyrasilFrameCode::OnTimer));
    updateTimer->Start(100, wxTIMER_CONTINUOUS);
}

LyrasilFrameCode::~LyrasilFrameCode()
{
    Disconnect(ID_MEDIACTRL, wxEVT_MEDIA_PLAY, wxMediaEventHandler(LyrasilFrameCode::OnMediaPlay));
    Disconnect(ID_MEDIACTRL, wxEVT_MEDIA_STOP, wxMediaEventHandler(LyrasilFrameCode::OnMediaStop));
    Disconnect(ID_MEDIACTRL, wxEVT_MEDIA_LOADED, wxMediaEventHandler(LyrasilFrameCode::OnMediaLoaded));
    Disconnect(ID_MEDIACTRL, wxEVT_MEDIA_FINISHED, wxMediaEventHandler(LyrasilFrameCode::OnMediaFinished));
    Disconnect(ID_TIMER, wxEVT_TIMER, wxTimerEventHandler(LyrasilFrameCode::OnTimer));
    Disconnect(wxEVT_CHAR_HOOK, wxKeyEventHandler(LyrasilFrameCode::OnHotKey));
    DisconnectTableMenu();
    // A timer is no window: the toolkit never deletes it, so we do.
    delete updateTimer;
}

// --- Shared helpers ---------------------------------------------------------

void LyrasilFrameCode::CommitCellEditor()
{
    // Saving the editor's value sends the cell's change event, which takes
    // it into the document.
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

void LyrasilFrameCode::ShowEdit(const Change& change)
{
    ShowChange(grid, doc, change);
    menuBar->Enable(wxID_UNDO, doc.CanUndo());
    menuBar->Enable(wxID_REDO, doc.CanRedo());
    if (change.changed && transport.CanStamp())
        FollowEdit(match, doc.Times(), transport.Position(Now(), Tell()));
}

void LyrasilFrameCode::AdjustTitle()
{
    SetTitle(MakeWindowTitle(doc.Path()));
}

bool LyrasilFrameCode::VerifyTrackOpened()
{
    if (doc.HasTrack())
        return true;
    ShowNotice(NoTrackOpenNotice());
    return false;
}

int LyrasilFrameCode::ShowNotice(const Notice& notice)
{
    return wxMessageBox(notice.text, notice.caption, notice.style, this);
}
