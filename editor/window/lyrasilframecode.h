// Behaviour layer of the main window: overrides the layout layer's
// handlers and owns the media control and the 100 ms update timer.  The
// state lives in two display-free models: the document (the table's rows,
// the path, the undo history; logic/document.h) and the transport
// (playback's phase and length, the stopwatch; logic/transport.h).
//
// Each handler reads the widgets, makes one call into a model or the other
// display-free logic, shows the result (ShowEdit for the document, Apply
// for the transport) and the message it calls for.  The sources are split
// by concern:
//   lyrasilframecode.cpp          construction, the shared helpers
//   lyrasilframecode_doc.cpp      open, save, close, import, export
//   lyrasilframecode_table.cpp    table editing, undo, nudging, verification
//   lyrasilframecode_play.cpp     playback, stamping, highlighting
//   lyrasilframecode_options.cpp  options and help
// and tablecells.cpp is the only code that reads or writes the grid's cells.
#ifndef LYRASIL_LYRASILFRAMECODE_H
#define LYRASIL_LYRASILFRAMECODE_H

#include <string>
#include <vector>

#include <wx/mediactrl.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>

#include "document.h"
#include "helpcmd.h"
#include "lyrasilframe.h"
#include "options.h"
#include "sync.h"
#include "transport.h"

class Keyvale;
struct Notice;

class LyrasilFrameCode : public LyrasilFrame {
public:
    // options, settings and docDir belong to the application and outlive
    // the window; the window changes options in memory and writes them to
    // settings when it closes in an orderly way.
    LyrasilFrameCode(const wxString& title, const wxSize& size, Options& options,
                     const Keyvale& settings, const wxString& docDir);
    ~LyrasilFrameCode() override;

    // Opens a track as File > Open does after its dialog (the command line
    // of the program uses it).  False when nothing was opened.
    bool OpenTrack(const wxString& path);

protected:
    friend struct FrameTestAccess; // the tests read the state no widget shows

    // --- Handlers of the layout layer ---
    void OnFrameClose(wxCloseEvent& event) override;
    void OnSave(wxCommandEvent& event) override;
    void OnSaveAs(wxCommandEvent& event) override;
    void OnClose(wxCommandEvent& event) override;
    void OnImport(wxCommandEvent& event) override;
    void OnExport(wxCommandEvent& event) override;
    void OnExit(wxCommandEvent& event) override;
    void OnClearTable(wxCommandEvent& event) override;
    void OnVerifyTable(wxCommandEvent& event) override;
    void OnViewToolbar(wxCommandEvent& event) override;
    void OnSyncTimer(wxCommandEvent& event) override;
    void OnHighlightTime(wxCommandEvent& event) override;
    void OnTextWindowSelect(wxCommandEvent& event) override;
    void OnLyricsFont(wxCommandEvent& event) override;
    void OnHelp(wxCommandEvent& event) override;
    void OnTips(wxCommandEvent& event) override;
    void OnAbout(wxCommandEvent& event) override;
    void OnOpen(wxCommandEvent& event) override;
    void OnCellChange(wxGridEvent& event) override;
    void OnCellRightClick(wxGridEvent& event) override;
    void OnCloseLyrics(wxMouseEvent& event) override;
    void OnPlay(wxCommandEvent& event) override;
    void OnPause(wxCommandEvent& event) override;
    void OnScrollChanged(wxScrollEvent& event) override;
    void OnSeekTrack(wxScrollEvent& event) override;
    void OnUndo(wxCommandEvent& event) override;
    void OnRedo(wxCommandEvent& event) override;
    void OnNudge(wxCommandEvent& event) override;
    void OnPlayPause(wxCommandEvent& event) override;
    void OnPlayFromRow(wxCommandEvent& event) override;
    void OnSpeed(wxCommandEvent& event) override;
    void OnStampLead(wxCommandEvent& event) override;
    void OnUslt(wxCommandEvent& event) override;

    // --- Handlers connected by this class ---
    void OnTimer(wxTimerEvent& event);
    void OnHotKey(wxKeyEvent& event);
    void OnMediaPlay(wxMediaEvent& event);
    void OnMediaStop(wxMediaEvent& event);
    void OnMediaLoaded(wxMediaEvent& event);
    void OnMediaFinished(wxMediaEvent& event);
    void OnGridInsert(wxCommandEvent& event);
    void OnGridDelete(wxCommandEvent& event);
    void OnGridDelTimestamps(wxCommandEvent& event);
    void OnGridOffsetTimestamps(wxCommandEvent& event);

    // --- Helpers: documents ---
    bool SaveTrack(bool saveAs);
    bool CheckSaveTrack();
    void AdjustTitle();
    bool VerifyTrackOpened();
    // Loads the document's track into the media control again, after a
    // save replaced it.
    void ReloadMedia();

    // --- Helpers: the table ---
    // Saves the cell editor's value into the document, then hides the editor.
    void CommitCellEditor();
    // Shows the table in place of the lyrics view, when it is hidden.
    void RestoreTableView();
    // Shows a change of the document: its rows in the table, the history
    // in the Edit menu, and during playback the next row to highlight.
    void ShowEdit(const Change& change);
    // Shows an undo or redo, with the cursor on the first row it changed.
    void ShowHistoryStep(const Change& change);

    // --- Helpers: playback ---
    // The wall clock the transport measures time by.
    long Now() const { return clock.Time(); }
    long Tell() const;
    // Carries out what the transport asked for; tellMs is the position
    // when the caller has read it already.
    void Apply(const TransportActions& actions, long tellMs = -1);
    void ShowPosition(long ms);
    void ShowLength();
    // The start of a run from startMs: the lyrics view when it is on, the
    // highlighting from that time, the keyboard focus away from the
    // buttons.
    void StartHighlighting(long startMs);
    void MatchTimestamp(long ms);
    // Scrolls the lyrics view to row's line, with two lines above it; a
    // row whose text starts the view scrolls only when forced.
    void MakeLineVisible(int row, bool force);
    // Paints row's share of the highlight: its text cell in the table, or
    // its span in the lyrics view.
    void PaintHighlight(int row, const Rgb& colour, bool inLyricsView);
    void ClearHighlight();   // off the row that has it, for another table
    // Commits the cell editor; false, with the message, when no track is
    // open to play.
    bool ReadyToPlay();
    // The slider's place in milliseconds.
    long SliderMs() const;
    // The check mark of the speed in options.speed.
    void ShowSpeed();

    // Shows a message box for the notice, with this window as parent;
    // returns the button pressed (wxOK, wxYES, wxNO or wxCANCEL).
    int ShowNotice(const Notice& notice);

    Options& options;
    const Keyvale& settings;
    wxString docDir;

    wxMediaCtrl* mediaCtrl;
    wxTimer* updateTimer;
    Document doc;
    Transport transport;
    wxStopWatch clock;
    wxString trackFolder;        // start folder of the file dialogs
    int contextRow;              // row of the table's context menu
    double savedVolume;          // volume while the length is measured
    // The next row to highlight and its time, the row highlighted now and
    // its ticks left (see sync.h).
    MatchState match;
    // Per table row as it stood at Play, where its text lies in lyricsView:
    // start and end (exclusive) as whole positions, both 0 for a row
    // without text; rows added since have none.
    std::vector<std::pair<long, long>> lyricsSpans;
    wxString lyricsText;         // lyricsView's text, as built at Play

    // --- Options and help ---
public:
    // Where Help > User Guide looks for the PDF viewer: the system's places
    // unless a test points the window at files of its own.
    void SetViewerLookup(const ViewerLookup& lookup) { viewerLookup = lookup; }

protected:
    ViewerLookup viewerLookup = SystemViewerLookup();

    // --- Table editing: the context menu ---
    // Connects the context menu's four commands to their handlers on the
    // frame; connecting again has no further effect.
    void ConnectTableMenu();
    void DisconnectTableMenu();
    void BindTableMenu(bool connect);   // the table's context menu commands
};

#endif
