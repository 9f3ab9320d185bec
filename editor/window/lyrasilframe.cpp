#include "lyrasilframe.h"

#include <wx/settings.h>
#include <wx/sizer.h>

#include "images/export.xpm"
#include "images/import.xpm"
#include "images/open.xpm"
#include "images/pause.xpm"
#include "images/play.xpm"
#include "images/save.xpm"

LyrasilFrame::LyrasilFrame(wxWindow* parent, wxWindowID id, const wxString& title,
                           const wxPoint& pos, const wxSize& size, long style)
    : wxFrame(parent, id, title, pos, size, style)
{
    SetSizeHints(wxDefaultSize, wxDefaultSize);
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));

    CreateMenus();
    CreateTools();
    CreateWidgets();
    statusBar = CreateStatusBar(1, wxST_SIZEGRIP, wxID_ANY);

    // A tool shares its id, and so its connection, with its menu item: a
    // tool click is a menu selection.
    Connect(wxEVT_CLOSE_WINDOW, wxCloseEventHandler(LyrasilFrame::OnFrameClose));
    Connect(wxID_OPEN, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnOpen));
    Connect(wxID_SAVE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnSave));
    Connect(wxID_SAVEAS, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnSaveAs));
    Connect(wxID_CLOSE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnClose));
    Connect(ID_IMPORT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnImport));
    Connect(ID_EXPORT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnExport));
    Connect(wxID_EXIT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnExit));
    Connect(ID_CLEARTABLE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnClearTable));
    Connect(ID_VERIFYTABLE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnVerifyTable));
    Connect(ID_VIEWTOOLBAR, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnViewToolbar));
    Connect(ID_SYNCTIMER, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnSyncTimer));
    Connect(ID_HIGHLIGHTTIME, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnHighlightTime));
    Connect(ID_TEXTWINDOW, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnTextWindowSelect));
    Connect(ID_LYRICSFONT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnLyricsFont));
    Connect(wxID_HELP, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnHelp));
    Connect(ID_TIPS, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnTips));
    Connect(wxID_ABOUT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnAbout));
    grid->Connect(wxEVT_GRID_CELL_CHANGED, wxGridEventHandler(LyrasilFrame::OnCellChange), nullptr, this);
    grid->Connect(wxEVT_GRID_CELL_RIGHT_CLICK, wxGridEventHandler(LyrasilFrame::OnCellRightClick), nullptr, this);
    lyricsView->Connect(wxEVT_LEFT_DCLICK, wxMouseEventHandler(LyrasilFrame::OnCloseLyrics), nullptr, this);
    playButton->Connect(wxEVT_COMMAND_BUTTON_CLICKED, wxCommandEventHandler(LyrasilFrame::OnPlay), nullptr, this);
    pauseButton->Connect(wxEVT_COMMAND_BUTTON_CLICKED, wxCommandEventHandler(LyrasilFrame::OnPause), nullptr, this);
    positionSlider->Connect(wxEVT_SCROLL_CHANGED, wxScrollEventHandler(LyrasilFrame::OnScrollChanged), nullptr, this);
    positionSlider->Connect(wxEVT_SCROLL_THUMBTRACK, wxScrollEventHandler(LyrasilFrame::OnSeekTrack), nullptr, this);
    Connect(wxID_UNDO, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnUndo));
    Connect(wxID_REDO, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnRedo));
    Connect(ID_STAMPEARLIER, ID_STAMPLATER_FINE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnNudge));
    Connect(ID_PLAYPAUSE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnPlayPause));
    Connect(ID_PLAYFROMROW, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnPlayFromRow));
    Connect(ID_SPEED100, ID_SPEED50, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnSpeed));
    Connect(ID_STAMPLEAD, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnStampLead));
    Connect(ID_USLT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnUslt));
    grid->Connect(wxEVT_SIZE, wxSizeEventHandler(LyrasilFrame::FitTextColumn), nullptr, this);
    grid->Connect(wxEVT_GRID_COL_SIZE, wxGridSizeEventHandler(LyrasilFrame::OnColumnSized), nullptr, this);
}

LyrasilFrame::~LyrasilFrame()
{
    Disconnect(wxEVT_CLOSE_WINDOW, wxCloseEventHandler(LyrasilFrame::OnFrameClose));
    Disconnect(wxID_OPEN, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnOpen));
    Disconnect(wxID_SAVE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnSave));
    Disconnect(wxID_SAVEAS, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnSaveAs));
    Disconnect(wxID_CLOSE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnClose));
    Disconnect(ID_IMPORT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnImport));
    Disconnect(ID_EXPORT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnExport));
    Disconnect(wxID_EXIT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnExit));
    Disconnect(ID_CLEARTABLE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnClearTable));
    Disconnect(ID_VERIFYTABLE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnVerifyTable));
    Disconnect(ID_VIEWTOOLBAR, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnViewToolbar));
    Disconnect(ID_SYNCTIMER, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnSyncTimer));
    Disconnect(ID_HIGHLIGHTTIME, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnHighlightTime));
    Disconnect(ID_TEXTWINDOW, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnTextWindowSelect));
    Disconnect(ID_LYRICSFONT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnLyricsFont));
    Disconnect(wxID_HELP, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnHelp));
    Disconnect(ID_TIPS, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnTips));
    Disconnect(wxID_ABOUT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnAbout));
    grid->Disconnect(wxEVT_GRID_CELL_CHANGED, wxGridEventHandler(LyrasilFrame::OnCellChange), nullptr, this);
    grid->Disconnect(wxEVT_GRID_CELL_RIGHT_CLICK, wxGridEventHandler(LyrasilFrame::OnCellRightClick), nullptr, this);
    lyricsView->Disconnect(wxEVT_LEFT_DCLICK, wxMouseEventHandler(LyrasilFrame::OnCloseLyrics), nullptr, this);
    playButton->Disconnect(wxEVT_COMMAND_BUTTON_CLICKED, wxCommandEventHandler(LyrasilFrame::OnPlay), nullptr, this);
    pauseButton->Disconnect(wxEVT_COMMAND_BUTTON_CLICKED, wxCommandEventHandler(LyrasilFrame::OnPause), nullptr, this);
    positionSlider->Disconnect(wxEVT_SCROLL_CHANGED, wxScrollEventHandler(LyrasilFrame::OnScrollChanged), nullptr, this);
    positionSlider->Disconnect(wxEVT_SCROLL_THUMBTRACK, wxScrollEventHandler(LyrasilFrame::OnSeekTrack), nullptr, this);
    Disconnect(wxID_UNDO, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnUndo));
    Disconnect(wxID_REDO, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnRedo));
    Disconnect(ID_STAMPEARLIER, ID_STAMPLATER_FINE, wxEVT_COMMAND_MENU_SELECTED,
               wxCommandEventHandler(LyrasilFrame::OnNudge));
    Disconnect(ID_PLAYPAUSE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnPlayPause));
    Disconnect(ID_PLAYFROMROW, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnPlayFromRow));
    Disconnect(ID_SPEED100, ID_SPEED50, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnSpeed));
    Disconnect(ID_STAMPLEAD, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnStampLead));
    Disconnect(ID_USLT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrame::OnUslt));
    grid->Disconnect(wxEVT_SIZE, wxSizeEventHandler(LyrasilFrame::FitTextColumn), nullptr, this);
    grid->Disconnect(wxEVT_GRID_COL_SIZE, wxGridSizeEventHandler(LyrasilFrame::OnColumnSized), nullptr, this);
}

void LyrasilFrame::CreateMenus()
{
    menuBar = new wxMenuBar(0);

    fileMenu = new wxMenu();
    fileMenu->Append(new wxMenuItem(fileMenu, wxID_OPEN, "&Open\tCtrl+O",
                                    "Open an MP3 track to edit its SYLT frame", wxITEM_NORMAL));
    fileMenu->Append(new wxMenuItem(fileMenu, wxID_SAVE, "&Save\tCtrl+S",
                                    "Save the MP3 track (save the new SYLT frame)", wxITEM_NORMAL));
    fileMenu->Append(new wxMenuItem(fileMenu, wxID_SAVEAS, "Save &as...\tCtrl+Shift+S",
                                    "Save the track (with modified SYLT frame) under a different filename",
                                    wxITEM_NORMAL));
    fileMenu->Append(new wxMenuItem(fileMenu, wxID_CLOSE, "C&lose", "Close the MP3 track", wxITEM_NORMAL));
    fileMenu->AppendSeparator();
    fileMenu->Append(new wxMenuItem(fileMenu, ID_IMPORT, "&Import SYLT from LRC",
                                    "Read an LRC file and list it in the table", wxITEM_NORMAL));
    fileMenu->Append(new wxMenuItem(fileMenu, ID_EXPORT, "&Export SYLT to LRC...",
                                    "Export the SYLT data (as it currently exists in the track) to an LRC file",
                                    wxITEM_NORMAL));
    fileMenu->AppendSeparator();
    fileMenu->Append(new wxMenuItem(fileMenu, wxID_EXIT, "Exit\tAlt+F4", "Quit the program", wxITEM_NORMAL));
    menuBar->Append(fileMenu, "&File");

    editMenu = new wxMenu();
    editMenu->Append(new wxMenuItem(editMenu, wxID_UNDO, "&Undo\tCtrl+Z", "Undo the last change of the table",
                                    wxITEM_NORMAL));
    editMenu->Append(new wxMenuItem(editMenu, wxID_REDO, "&Redo\tCtrl+Y",
                                    "Redo the change last undone (also Ctrl+Shift+Z)", wxITEM_NORMAL));
    editMenu->AppendSeparator();
    editMenu->Append(new wxMenuItem(editMenu, ID_STAMPEARLIER, "Stamp &earlier\tAlt+Left",
                                    "Move the time-stamp of the cursor's row, or of the selected rows, 0.10 s "
                                    "earlier (with Shift: 0.01 s)",
                                    wxITEM_NORMAL));
    editMenu->Append(new wxMenuItem(editMenu, ID_STAMPLATER, "Stamp &later\tAlt+Right",
                                    "Move the time-stamp of the cursor's row, or of the selected rows, 0.10 s "
                                    "later (with Shift: 0.01 s)",
                                    wxITEM_NORMAL));
    editMenu->AppendSeparator();
    editMenu->Append(new wxMenuItem(editMenu, ID_CLEARTABLE, "Clear complete table",
                                    "Erase the complete table", wxITEM_NORMAL));
    editMenu->Append(new wxMenuItem(editMenu, ID_VERIFYTABLE, "&Verify SYLT table",
                                    "Check that the SYLT data is correct", wxITEM_NORMAL));
    menuBar->Append(editMenu, "&Edit");

    playbackMenu = new wxMenu();
    playbackMenu->Append(new wxMenuItem(playbackMenu, ID_PLAYPAUSE, "&Play/Pause\tCtrl+P",
                                        "Play the track, or pause it", wxITEM_NORMAL));
    playbackMenu->Append(new wxMenuItem(playbackMenu, ID_PLAYFROMROW, "Play from current &row\tCtrl+R",
                                        "Play from 2 seconds before the time-stamp of the cursor's row",
                                        wxITEM_NORMAL));
    playbackMenu->AppendSeparator();
    wxMenu* speedMenu = new wxMenu();
    speedMenu->Append(new wxMenuItem(speedMenu, ID_SPEED100, "100%", "Play at the track's own speed", wxITEM_RADIO));
    speedMenu->Append(new wxMenuItem(speedMenu, ID_SPEED75, "75%", "Play at three quarters of the speed",
                                     wxITEM_RADIO));
    speedMenu->Append(new wxMenuItem(speedMenu, ID_SPEED50, "50%", "Play at half the speed", wxITEM_RADIO));
    playbackMenu->AppendSubMenu(speedMenu, "&Speed", "Slow the track down for fast lyrics");
    menuBar->Append(playbackMenu, "&Playback");

    optionsMenu = new wxMenu();
    optionsMenu->Append(new wxMenuItem(optionsMenu, ID_VIEWTOOLBAR, "View &Toolbar",
                                       "Show or hide the toolbar", wxITEM_CHECK));
    optionsMenu->Append(new wxMenuItem(optionsMenu, ID_SYNCTIMER, "Use &Stopwatch timer",
                                       "Use a stopwatch to set the time points (instead of using the media positions)",
                                       wxITEM_CHECK));
    optionsMenu->Append(new wxMenuItem(optionsMenu, ID_HIGHLIGHTTIME, "Highlight duration...",
                                       "Set the duration of the text highlighting", wxITEM_NORMAL));
    optionsMenu->Append(new wxMenuItem(optionsMenu, ID_STAMPLEAD, "Stamp l&ead time...",
                                       "Set the time taken off each time-stamp of the space bar", wxITEM_NORMAL));
    optionsMenu->Append(new wxMenuItem(optionsMenu, ID_USLT, "Also save lyrics as LRC text (USLT)",
                                       "Also store the lyrics as LRC text in a USLT frame, for players that "
                                       "read no SYLT frame",
                                       wxITEM_CHECK));
    optionsMenu->AppendSeparator();
    optionsMenu->Append(new wxMenuItem(optionsMenu, ID_TEXTWINDOW, "&Lyrics view while playing",
                                       "When playing the track, show the text/lyrics according to its formatting "
                                       "and hide the time stamps",
                                       wxITEM_CHECK));
    optionsMenu->Append(new wxMenuItem(optionsMenu, ID_LYRICSFONT, "Lyrics view font...",
                                       "Select the font to use for the lyrics view", wxITEM_NORMAL));
    menuBar->Append(optionsMenu, "&Options");

    helpMenu = new wxMenu();
    helpMenu->Append(new wxMenuItem(helpMenu, wxID_HELP, "&User Guide\tF1", "Open the manual", wxITEM_NORMAL));
    helpMenu->Append(new wxMenuItem(helpMenu, ID_TIPS, "&Tips...",
                                    "Show the \"tip of the day\" dialog", wxITEM_NORMAL));
    helpMenu->Append(new wxMenuItem(helpMenu, wxID_ABOUT, "&About",
                                    "Display version information, web-site link and copyright", wxITEM_NORMAL));
    menuBar->Append(helpMenu, "&Help");

    SetMenuBar(menuBar);

    // Keys the frame takes before the focused control: the arrows with Alt
    // would otherwise move the table's cursor (wxGTK gives a key to the
    // focused control before the menus' accelerators), and the keys a menu
    // item cannot show besides its own.
    wxAcceleratorEntry keys[] = {
        wxAcceleratorEntry(wxACCEL_ALT, WXK_LEFT, ID_STAMPEARLIER),
        wxAcceleratorEntry(wxACCEL_ALT, WXK_RIGHT, ID_STAMPLATER),
        wxAcceleratorEntry(wxACCEL_CTRL | wxACCEL_SHIFT, 'Z', wxID_REDO),
        wxAcceleratorEntry(wxACCEL_ALT | wxACCEL_SHIFT, WXK_LEFT, ID_STAMPEARLIER_FINE),
        wxAcceleratorEntry(wxACCEL_ALT | wxACCEL_SHIFT, WXK_RIGHT, ID_STAMPLATER_FINE),
    };
    SetAcceleratorTable(wxAcceleratorTable(WXSIZEOF(keys), keys));
}

void LyrasilFrame::CreateTools()
{
    toolBar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT, wxID_ANY);
    openTool = toolBar->AddTool(wxID_OPEN, "Open", wxBitmap(open_xpm), wxNullBitmap, wxITEM_NORMAL,
                                "Open an MP3 track", wxEmptyString, nullptr);
    saveTool = toolBar->AddTool(wxID_SAVE, "Save", wxBitmap(save_xpm), wxNullBitmap, wxITEM_NORMAL,
                                "Save the updated SYLT frame in the MP3 track", wxEmptyString, nullptr);
    importTool = toolBar->AddTool(ID_IMPORT, "Import", wxBitmap(import_xpm), wxNullBitmap, wxITEM_NORMAL,
                                  "Import the SYLT frame from an LRC file", wxEmptyString, nullptr);
    exportTool = toolBar->AddTool(ID_EXPORT, "Export", wxBitmap(export_xpm), wxNullBitmap, wxITEM_NORMAL,
                                  "Export the SYLT frame to an LRC file", wxEmptyString, nullptr);
    toolBar->Realize();
}

void LyrasilFrame::CreateWidgets()
{
    wxBoxSizer* mainSizer = new wxBoxSizer(wxVERTICAL);

    grid = new wxGrid(this, wxID_ANY, wxDefaultPosition, wxDefaultSize);
    grid->CreateGrid(1, 2, wxGrid::wxGridSelectCells);
    grid->EnableEditing(true);
    grid->EnableGridLines(true);
    grid->EnableDragGridSize(false);
    grid->SetMargins(0, 0);
    grid->SetColSize(0, 80);
    grid->SetColSize(1, 384);
    grid->EnableDragColMove(false);
    grid->EnableDragColSize(true);
    // The text column fills what the time column leaves (FitTextColumn).
    grid->DisableColResize(1);
    grid->SetColLabelSize(25);
    grid->SetColLabelValue(0, "Time");
    grid->SetColLabelValue(1, "Text / Lyrics");
    grid->SetColLabelAlignment(wxALIGN_CENTRE, wxALIGN_CENTRE);
    grid->SetRowLabelSize(0);
    grid->SetRowLabelAlignment(wxALIGN_CENTRE, wxALIGN_CENTRE);
    grid->EnableDragRowSize(false);
    grid->SetDefaultCellAlignment(wxALIGN_LEFT, wxALIGN_TOP);
    mainSizer->Add(grid, 1, wxEXPAND | wxALL, 5);

    lyricsView = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                wxTE_MULTILINE | wxTE_READONLY | wxTE_RICH | wxTE_NO_VSCROLL);
    lyricsView->Hide();
    mainSizer->Add(lyricsView, 1, wxEXPAND | wxALL, 5);

    separatorLine = new wxStaticLine(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLI_HORIZONTAL);
    mainSizer->Add(separatorLine, 0, wxEXPAND | wxALL, 5);

    wxBoxSizer* transportSizer = new wxBoxSizer(wxHORIZONTAL);
    playButton = new wxBitmapButton(this, ID_PLAY, wxBitmap(play_xpm), wxDefaultPosition, wxDefaultSize,
                                    wxBU_AUTODRAW);
    transportSizer->Add(playButton, 0, wxALL, 5);
    pauseButton = new wxBitmapButton(this, ID_PAUSE, wxBitmap(pause_xpm), wxDefaultPosition, wxDefaultSize,
                                     wxBU_AUTODRAW);
    transportSizer->Add(pauseButton, 0, wxALL, 5);
    positionSlider = new wxSlider(this, ID_SLIDER, 0, 0, 100, wxDefaultPosition, wxDefaultSize, wxSL_HORIZONTAL);
    transportSizer->Add(positionSlider, 1, wxALL, 5);
    positionText = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(70, -1), wxTE_RIGHT);
    positionText->SetMaxLength(0);
    // 70 pixels, or wider where the theme's font and frame need more to
    // show a whole time ("100:00.00" for the longest tracks).
    int textWidth = positionText->GetTextExtent("100:00.00").GetWidth() + 24;
    if (textWidth > 70)
        positionText->SetMinSize(wxSize(textWidth, -1));
    transportSizer->Add(positionText, 0, wxALL, 5);
    mainSizer->Add(transportSizer, 0, wxEXPAND, 5);

    SetSizer(mainSizer, true);
    Layout();
}

void LyrasilFrame::FitTextColumn(wxSizeEvent& event)
{
    event.Skip();
    // The client width excludes a vertical scroll bar, so the columns never
    // need a horizontal one.
    int width = grid->GetClientSize().GetWidth() - grid->GetRowLabelSize() - grid->GetColSize(0);
    const int kNarrowest = 40;
    if (width < kNarrowest)
        width = kNarrowest;
    if (grid->GetColSize(1) != width)
        grid->SetColSize(1, width);
}

void LyrasilFrame::OnColumnSized(wxGridSizeEvent& event)
{
    event.Skip();
    wxSizeEvent resized(grid->GetSize(), grid->GetId());
    FitTextColumn(resized);
}
