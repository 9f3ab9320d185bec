// Layout layer of the main window: creates every widget, arranges them and
// connects each user event to a virtual handler that only passes the event
// on.  The behaviour lives in LyrasilFrameCode, which overrides the handlers.
#ifndef LYRASIL_LYRASILFRAME_H
#define LYRASIL_LYRASILFRAME_H

#include <wx/bmpbuttn.h>
#include <wx/frame.h>
#include <wx/grid.h>
#include <wx/menu.h>
#include <wx/slider.h>
#include <wx/statline.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

// Command and window identifiers; the standard file and help commands use
// the toolkit's stock ids.
enum {
    ID_IMPORT = 1000,
    ID_EXPORT = 1001,
    ID_CLEARTABLE = 1002,
    ID_VERIFYTABLE = 1003,
    ID_VIEWTOOLBAR = 1004,
    ID_SYNCTIMER = 1005,
    ID_HIGHLIGHTTIME = 1006,
    ID_TEXTWINDOW = 1007,
    ID_LYRICSFONT = 1008,
    ID_PLAY = 1009,
    ID_PAUSE = 1010,
    ID_SLIDER = 1011,
    ID_MEDIACTRL = 1100,
    ID_TIMER = 1101,
    ID_GRID_INSERT = 1103,
    ID_GRID_DELETE = 1104,
    ID_GRID_DELTIMESTAMPS = 1105,
    ID_GRID_OFFSETTIMESTAMPS = 1106,
    ID_STAMPEARLIER = 1200,
    ID_STAMPLATER = 1201,
    ID_STAMPEARLIER_FINE = 1202,
    ID_STAMPLATER_FINE = 1203,
    ID_PLAYPAUSE = 1204,
    ID_PLAYFROMROW = 1205,
    ID_SPEED100 = 1206,
    ID_SPEED75 = 1207,
    ID_SPEED50 = 1208,
    ID_STAMPLEAD = 1209,
    ID_USLT = 1210,
    ID_TIPS = 5019
};

class LyrasilFrame : public wxFrame {
public:
    LyrasilFrame(wxWindow* parent, wxWindowID id, const wxString& title,
                 const wxPoint& pos, const wxSize& size, long style);
    ~LyrasilFrame() override;

protected:
    wxMenuBar* menuBar;
    wxMenu* fileMenu;
    wxMenu* editMenu;
    wxMenu* playbackMenu;
    wxMenu* optionsMenu;
    wxMenu* helpMenu;
    wxToolBar* toolBar;
    wxToolBarToolBase* openTool;
    wxToolBarToolBase* saveTool;
    wxToolBarToolBase* importTool;
    wxToolBarToolBase* exportTool;
    wxGrid* grid;
    wxTextCtrl* lyricsView;
    wxStaticLine* separatorLine;
    wxBitmapButton* playButton;
    wxBitmapButton* pauseButton;
    wxSlider* positionSlider;
    wxTextCtrl* positionText;
    wxStatusBar* statusBar;

    // Event handlers, overridden by LyrasilFrameCode; each only skips.
    virtual void OnFrameClose(wxCloseEvent& event) { event.Skip(); }
    virtual void OnSave(wxCommandEvent& event) { event.Skip(); }
    virtual void OnSaveAs(wxCommandEvent& event) { event.Skip(); }
    virtual void OnClose(wxCommandEvent& event) { event.Skip(); }
    virtual void OnImport(wxCommandEvent& event) { event.Skip(); }
    virtual void OnExport(wxCommandEvent& event) { event.Skip(); }
    virtual void OnExit(wxCommandEvent& event) { event.Skip(); }
    virtual void OnClearTable(wxCommandEvent& event) { event.Skip(); }
    virtual void OnVerifyTable(wxCommandEvent& event) { event.Skip(); }
    virtual void OnViewToolbar(wxCommandEvent& event) { event.Skip(); }
    virtual void OnSyncTimer(wxCommandEvent& event) { event.Skip(); }
    virtual void OnHighlightTime(wxCommandEvent& event) { event.Skip(); }
    virtual void OnTextWindowSelect(wxCommandEvent& event) { event.Skip(); }
    virtual void OnLyricsFont(wxCommandEvent& event) { event.Skip(); }
    virtual void OnHelp(wxCommandEvent& event) { event.Skip(); }
    virtual void OnTips(wxCommandEvent& event) { event.Skip(); }
    virtual void OnAbout(wxCommandEvent& event) { event.Skip(); }
    virtual void OnOpen(wxCommandEvent& event) { event.Skip(); }
    virtual void OnCellChange(wxGridEvent& event) { event.Skip(); }
    virtual void OnCellRightClick(wxGridEvent& event) { event.Skip(); }
    virtual void OnCloseLyrics(wxMouseEvent& event) { event.Skip(); }
    virtual void OnPlay(wxCommandEvent& event) { event.Skip(); }
    virtual void OnPause(wxCommandEvent& event) { event.Skip(); }
    virtual void OnScrollChanged(wxScrollEvent& event) { event.Skip(); }
    virtual void OnSeekTrack(wxScrollEvent& event) { event.Skip(); }
    virtual void OnUndo(wxCommandEvent& event) { event.Skip(); }
    virtual void OnRedo(wxCommandEvent& event) { event.Skip(); }
    virtual void OnNudge(wxCommandEvent& event) { event.Skip(); }
    virtual void OnPlayPause(wxCommandEvent& event) { event.Skip(); }
    virtual void OnPlayFromRow(wxCommandEvent& event) { event.Skip(); }
    virtual void OnSpeed(wxCommandEvent& event) { event.Skip(); }
    virtual void OnStampLead(wxCommandEvent& event) { event.Skip(); }
    virtual void OnUslt(wxCommandEvent& event) { event.Skip(); }

private:
    // The text column fills the table's width whatever the window's size
    // and the time column's: no empty area at the right.
    void FitTextColumn(wxSizeEvent& event);
    void OnColumnSized(wxGridSizeEvent& event);

    void CreateMenus();
    void CreateTools();
    void CreateWidgets();
};

#endif
