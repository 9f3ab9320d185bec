// Behaviour layer of the main window: overrides the layout layer's
// handlers, owns the media control and the 100 ms update timer, and holds
// the document and playback state.
#ifndef LYRASIL_LYRASILFRAMECODE_H
#define LYRASIL_LYRASILFRAMECODE_H

#include <wx/dynarray.h>
#include <wx/mediactrl.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>

#include "lyrasilframe.h"

class LyrasilFrameCode : public LyrasilFrame {
public:
    LyrasilFrameCode(const wxString& title, const wxSize& size);
    ~LyrasilFrameCode() override;

protected:
    // Handlers of the layout layer.
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

    // Handlers connected by this class.
    void OnTimer(wxTimerEvent& event);
    void OnHotKey(wxKeyEvent& event);
    void OnMediaPlay(wxMediaEvent& event);
    void OnMediaStop(wxMediaEvent& event);
    void OnMediaLoaded(wxMediaEvent& event);
    void OnGridInsert(wxCommandEvent& event);
    void OnGridDelete(wxCommandEvent& event);
    void OnGridDelTimestamps(wxCommandEvent& event);
    void OnGridOffsetTimestamps(wxCommandEvent& event);

    // Helpers.
    void AdjustTitle();

    wxMediaCtrl* mediaCtrl;
    wxTimer* updateTimer;
    wxString trackPath;          // full path of the open track; empty: none
    wxString trackFolder;        // start folder of the file dialogs
    bool modified;               // the table differs from the track
    bool insertingRow;           // the program itself appends a row
    int contextRow;              // row of the table's context menu
    double savedVolume;          // volume while the length is measured
    wxLongLong trackLength;      // ms; -1: to be measured, 0: none
    bool playing;
    bool sliderMoved;            // slider moved while the stopwatch is used
    wxStopWatch stopwatch;
    long nextStampTime;          // ms of the next row to highlight
    int nextStampRow;
    int highlightRow;            // -1: none
    int highlightCountdown;      // timer ticks
    wxArrayLong lyricsSpans;     // per row, where its text lies in lyricsView
};

#endif
