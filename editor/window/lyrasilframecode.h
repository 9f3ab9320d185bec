// Behaviour layer of the main window: overrides the layout layer's
// handlers, owns the media control and the 100 ms update timer, and holds
// the document and playback state.
//
// Each handler reads the widgets, makes one call into the display-free
// logic (options, stamps, rows, trackio, notices, sync, helpcmd) and shows
// what the result calls for.  The sources are split by concern:
//   lyrasilframecode.cpp          construction, the shared helpers
//   lyrasilframecode_doc.cpp      open, save, close, import, export
//   lyrasilframecode_table.cpp    table editing and verification
//   lyrasilframecode_play.cpp     playback, stamping, highlighting
//   lyrasilframecode_options.cpp  options and help
// and tablecells.cpp is the only code that reads or writes the grid's cells.
#ifndef LYRASIL_LYRASILFRAMECODE_H
#define LYRASIL_LYRASILFRAMECODE_H

#include <string>
#include <vector>

#include <wx/dynarray.h>
#include <wx/mediactrl.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>

#include "helpcmd.h"
#include "lyrasilframe.h"
#include "options.h"
#include "rows.h"
#include "sync.h"

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

    // --- Handlers connected by this class ---
    void OnTimer(wxTimerEvent& event);
    void OnHotKey(wxKeyEvent& event);
    void OnMediaPlay(wxMediaEvent& event);
    void OnMediaStop(wxMediaEvent& event);
    void OnMediaLoaded(wxMediaEvent& event);
    void OnGridInsert(wxCommandEvent& event);
    void OnGridDelete(wxCommandEvent& event);
    void OnGridDelTimestamps(wxCommandEvent& event);
    void OnGridOffsetTimestamps(wxCommandEvent& event);

    // --- Helpers: documents ---
    bool LoadTrack();
    bool SaveTrack(bool saveAs);
    bool CheckSaveTrack();
    void AdjustTitle();
    bool VerifyTrackOpened();
    // Loads path into the media control and starts the length measurement.
    void LoadMedia(const wxString& path);

    // --- Helpers: the table ---
    // Saves the cell editor's value into its cell, then hides the editor.
    void CommitCellEditor();
    // Shows the table in place of the lyrics view, when it is hidden.
    void RestoreTableView();
    // Empties the table down to its entry row.
    void ClearTable();

    // --- Helpers: playback ---
    long MakeTimeStamp(wxString& out, long hundredths);
    void InitTrackPosition();
    void InitTrackPosition(wxFileOffset length);
    int UpdateTrackPosition();
    void InitTimestampMatch(long ms);
    void FindNextTimestamp(long ms);
    bool MatchTimestamp(long ms);
    // Scrolls the lyrics view to row's line, with two lines above it; a
    // row whose text starts the view scrolls only when forced.
    void MakeLineVisible(int row, bool force);
    // Paints row's share of the highlight: its text cell in the table, or
    // its span in the lyrics view.
    void PaintHighlight(int row, const Rgb& colour, bool inLyricsView);
    // The stamp cells as the highlighting reads them.
    StampCell GridStamps();
    // Puts the transport row into the state of a track that cannot play,
    // or of no track.
    void DisableTransport();
    // A new document's stopwatch: at 0, paused until its first Play.
    void ResetStopwatch();
    // Gives back the sound the length measurement took.
    void RestoreVolume();
    // Ends the length measurement: back to the start, sound on, the
    // transport row ready.
    void FinishMeasurement();
    // The track stopped playing (its end, or the back end gave up).
    void EndPlayback();
    // Stops the media control, and playback with the transport row's
    // state when it was playing (a command that stops it does not wait for
    // the back end's word).
    void StopPlayback();

    // Shows a message box for the notice, with this window as parent;
    // returns the button pressed (wxOK, wxYES or wxNO).
    int ShowNotice(const Notice& notice);

    Options& options;
    const Keyvale& settings;
    wxString docDir;

    wxMediaCtrl* mediaCtrl;
    wxTimer* updateTimer;
    wxString trackPath;          // full path of the open track; empty: none
    wxString trackFolder;        // start folder of the file dialogs
    bool modified;               // the table differs from the track
    Rows loadedRows;             // the table as the track's frame gave it
    std::string loadedPayload;   // and that frame: kept by an unchanged save
    bool insertingRow;           // the program itself appends a row
    int contextRow;              // row of the table's context menu
    double savedVolume;          // volume while the length is measured
    wxLongLong trackLength;      // ms; -1: to be measured, 0: none
    bool playing;
    bool sliderMoved;            // slider moved while the stopwatch is used
    wxStopWatch stopwatch;
    // The next row to highlight and its time, the row highlighted now and
    // its ticks left (see sync.h).
    MatchState match;
    // Per table row as it stood at Play, where its text lies in lyricsView:
    // start and end (exclusive) as whole positions, both 0 for a row
    // without text; rows added since have none.
    std::vector<std::pair<long, long>> lyricsSpans;
    wxString lyricsText;         // lyricsView's text, as built at Play
    bool unplayable;             // the media control stopped without a length
    bool mediaLoaded;            // the open track's load has been reported
    bool muted;                  // the length measurement turned the sound off
    bool measuring;              // the muted start plays; its length is awaited
    wxStopWatch measureTime;     // how long that has gone on
    bool awaitingPlay;           // Play was asked for; the back end has not begun
    long playStart;              // ms where the last Play started
    wxStopWatch playAsked;       // time since Play was asked for

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
};

#endif
