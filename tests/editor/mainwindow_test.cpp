// The main window as the application opens it: menus, toolbar, table, views,
// transport row, timer, title and event connections.
#include "guitest.h"

#include <wx/mediactrl.h>
#include <wx/modalhook.h>

#include "lyrasilapp.h"
#include "lyrasilframecode.h"

namespace {

// Reads the window's protected update timer: a pointer to member formed
// through a derived class is a legal way in.
struct FramePeek : LyrasilFrameCode {
    static wxTimer* Timer(LyrasilFrameCode* f) { return f->*(&FramePeek::updateTimer); }
};

using MainWindowTest = WindowTest;

struct MenuRow {
    int menu;
    const char* label; // nullptr: separator
    int id;
    wxItemKind kind;
    const char* help;
};

const MenuRow kMenuRows[] = {
    {0, "&Open\tCtrl+O", wxID_OPEN, wxITEM_NORMAL, "Open an MP3 track to edit its SYLT frame"},
    {0, "&Save\tCtrl+S", wxID_SAVE, wxITEM_NORMAL, "Save the MP3 track (save the new SYLT frame)"},
    {0, "Save &as...\tCtrl+Shift+S", wxID_SAVEAS, wxITEM_NORMAL,
     "Save the track (with modified SYLT frame) under a different filename"},
    {0, "C&lose", wxID_CLOSE, wxITEM_NORMAL, "Close the MP3 track"},
    {0, nullptr, 0, wxITEM_SEPARATOR, ""},
    {0, "&Import SYLT from LRC", 1000, wxITEM_NORMAL, "Read an LRC file and list it in the table"},
    {0, "&Export SYLT to LRC...", 1001, wxITEM_NORMAL,
     "Export the SYLT data (as it currently exists in the track) to an LRC file"},
    {0, nullptr, 0, wxITEM_SEPARATOR, ""},
    {0, "Exit\tAlt+F4", wxID_EXIT, wxITEM_NORMAL, "Quit the program"},
    {1, "&Undo\tCtrl+Z", wxID_UNDO, wxITEM_NORMAL, "Undo the last change of the table"},
    {1, "&Redo\tCtrl+Y", wxID_REDO, wxITEM_NORMAL, "Redo the change last undone (also Ctrl+Shift+Z)"},
    {1, nullptr, 0, wxITEM_SEPARATOR, ""},
    {1, "Stamp &earlier\tAlt+Left", 1200, wxITEM_NORMAL,
     "Move the time-stamp of the cursor's row, or of the selected rows, 0.10 s earlier (with Shift: 0.01 s)"},
    {1, "Stamp &later\tAlt+Right", 1201, wxITEM_NORMAL,
     "Move the time-stamp of the cursor's row, or of the selected rows, 0.10 s later (with Shift: 0.01 s)"},
    {1, nullptr, 0, wxITEM_SEPARATOR, ""},
    {1, "Clear complete table", 1002, wxITEM_NORMAL, "Erase the complete table"},
    {1, "&Verify SYLT table", 1003, wxITEM_NORMAL, "Check that the SYLT data is correct"},
    {2, "&Play/Pause\tCtrl+P", 1204, wxITEM_NORMAL, "Play the track, or pause it"},
    {2, "Play from current &row\tCtrl+R", 1205, wxITEM_NORMAL,
     "Play from 2 seconds before the time-stamp of the cursor's row"},
    {2, nullptr, 0, wxITEM_SEPARATOR, ""},
    {2, "&Speed", wxID_ANY, wxITEM_NORMAL, "Slow the track down for fast lyrics"},
    {5, "100%", 1206, wxITEM_RADIO, "Play at the track's own speed"},
    {5, "75%", 1207, wxITEM_RADIO, "Play at three quarters of the speed"},
    {5, "50%", 1208, wxITEM_RADIO, "Play at half the speed"},
    {3, "View &Toolbar", 1004, wxITEM_CHECK, "Show or hide the toolbar"},
    {3, "Use &Stopwatch timer", 1005, wxITEM_CHECK,
     "Use a stopwatch to set the time points (instead of using the media positions)"},
    {3, "Highlight duration...", 1006, wxITEM_NORMAL, "Set the duration of the text highlighting"},
    {3, "Stamp l&ead time...", 1209, wxITEM_NORMAL, "Set the time taken off each time-stamp of the space bar"},
    {3, "Also save lyrics as LRC text (USLT)", 1210, wxITEM_CHECK,
     "Also store the lyrics as LRC text in a USLT frame, for players that read no SYLT frame"},
    {3, nullptr, 0, wxITEM_SEPARATOR, ""},
    {3, "&Lyrics view while playing", 1007, wxITEM_CHECK,
     "When playing the track, show the text/lyrics according to its formatting and hide the time stamps"},
    {3, "Lyrics view font...", 1008, wxITEM_NORMAL, "Select the font to use for the lyrics view"},
    {4, "&User Guide\tF1", wxID_HELP, wxITEM_NORMAL, "Open the manual"},
    {4, "&Tips...", 5019, wxITEM_NORMAL, "Show the \"tip of the day\" dialog"},
    {4, "&About", wxID_ABOUT, wxITEM_NORMAL, "Display version information, web-site link and copyright"},
};

TEST_F(MainWindowTest, MenusHaveTheirLabelsAcceleratorsKindsHelpTextsAndIds)
{
    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_TRUE(bar != nullptr);
    const char* titles[] = {"&File", "&Edit", "&Playback", "&Options", "&Help"};
    ASSERT_EQ(5u, bar->GetMenuCount());
    for (int m = 0; m < 5; ++m)
        EXPECT_EQ(wxString(titles[m]), bar->GetMenuLabel(m));

    // Menu 5 is Playback > Speed.
    wxMenuItem* speed = bar->GetMenu(2)->FindItemByPosition(3);
    ASSERT_TRUE(speed != nullptr && speed->IsSubMenu());
    wxMenu* menus[] = {bar->GetMenu(0), bar->GetMenu(1), bar->GetMenu(2), bar->GetMenu(3), bar->GetMenu(4),
                       speed->GetSubMenu()};
    size_t position[6] = {0, 0, 0, 0, 0, 0};
    for (const MenuRow& row : kMenuRows) {
        wxMenu* menu = menus[row.menu];
        SCOPED_TRACE(row.label ? row.label : "separator");
        wxMenuItem* item = menu->FindItemByPosition(position[row.menu]++);
        ASSERT_TRUE(item != nullptr);
        EXPECT_EQ(row.kind, item->GetKind());
        if (!row.label)
            continue;
        EXPECT_EQ(wxString(row.label), item->GetItemLabel());
        if (row.id != wxID_ANY) {
            EXPECT_EQ(row.id, item->GetId());
        }
        EXPECT_EQ(wxString(row.help), item->GetHelp());
        // Nothing to undo or redo in a new window.
        EXPECT_EQ(row.id != wxID_UNDO && row.id != wxID_REDO, item->IsEnabled());
    }
    for (int m = 0; m < 6; ++m)
        EXPECT_EQ(position[m], menus[m]->GetMenuItemCount()) << "menu " << m << " has extra items";
    EXPECT_TRUE(bar->IsChecked(1206)) << "100% unless the settings say otherwise";
}

TEST_F(MainWindowTest, AcceleratorsAreParsedFromTheLabels)
{
    struct { int id; int flags; int key; } accels[] = {
        {wxID_OPEN, wxACCEL_CTRL, 'O'},
        {wxID_SAVE, wxACCEL_CTRL, 'S'},
        {wxID_SAVEAS, wxACCEL_CTRL | wxACCEL_SHIFT, 'S'},
        {wxID_EXIT, wxACCEL_ALT, WXK_F4},
        {wxID_HELP, wxACCEL_NORMAL, WXK_F1},
        {wxID_UNDO, wxACCEL_CTRL, 'Z'},
        {wxID_REDO, wxACCEL_CTRL, 'Y'},
        {ID_STAMPEARLIER, wxACCEL_ALT, WXK_LEFT},
        {ID_STAMPLATER, wxACCEL_ALT, WXK_RIGHT},
        {ID_PLAYPAUSE, wxACCEL_CTRL, 'P'},
        {ID_PLAYFROMROW, wxACCEL_CTRL, 'R'},
    };
    for (const auto& a : accels) {
        wxMenuItem* item = frame->GetMenuBar()->FindItem(a.id);
        ASSERT_TRUE(item != nullptr);
        wxAcceleratorEntry* entry = item->GetAccel();
        ASSERT_TRUE(entry != nullptr) << "id " << a.id;
        EXPECT_EQ(a.flags, entry->GetFlags()) << "id " << a.id;
        EXPECT_EQ(a.key, entry->GetKeyCode()) << "id " << a.id;
        delete entry;
    }
}

TEST_F(MainWindowTest, EveryCommandReachesAHandler)
{
    // Exit is left out: it closes the window (see the settings tests).
    const int ids[] = {wxID_OPEN, wxID_SAVE, wxID_SAVEAS, wxID_CLOSE, 1000, 1001, 1002, 1003, 1004,
                       1005, 1006, 1007, 1008, wxID_HELP, 5019, wxID_ABOUT, wxID_UNDO, wxID_REDO,
                       1200, 1201, 1202, 1203, 1204, 1205, 1206, 1207, 1208, 1209};
    // The commands' own dialogs are not this test's business: each is
    // dismissed as it opens.
    struct DismissAll : wxModalDialogHook {
        int Enter(wxDialog*) override { return wxID_CANCEL; }
        void Exit(wxDialog*) override {}
    } dismiss;
    dismiss.Register();
    for (int id : ids) {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(frame);
        EXPECT_TRUE(frame->ProcessWindowEvent(event)) << "menu id " << id << " is not handled";
    }
    wxCommandEvent stray(wxEVT_MENU, 4999);
    stray.SetEventObject(frame);
    EXPECT_FALSE(frame->ProcessWindowEvent(stray)) << "an unknown id must find no handler";

    for (int id : {1009, 1010}) {
        wxCommandEvent click(wxEVT_BUTTON, id);
        wxWindow* button = frame->FindWindow(id);
        ASSERT_TRUE(button != nullptr);
        click.SetEventObject(button);
        EXPECT_TRUE(button->ProcessWindowEvent(click)) << "button " << id;
    }
    dismiss.Unregister();
}

TEST_F(MainWindowTest, ToolbarHoldsFourToolsInOrder)
{
    wxToolBar* bar = frame->GetToolBar();
    ASSERT_TRUE(bar != nullptr);
    EXPECT_TRUE(bar->IsShown());
    EXPECT_TRUE(bar->HasFlag(wxTB_HORIZONTAL));
    EXPECT_TRUE(bar->HasFlag(wxTB_FLAT));
    struct { int id; const char* label; const char* tip; } tools[] = {
        {wxID_OPEN, "Open", "Open an MP3 track"},
        {wxID_SAVE, "Save", "Save the updated SYLT frame in the MP3 track"},
        {1000, "Import", "Import the SYLT frame from an LRC file"},
        {1001, "Export", "Export the SYLT frame to an LRC file"},
    };
    ASSERT_EQ(4u, bar->GetToolsCount());
    for (size_t i = 0; i < 4; ++i) {
        const wxToolBarToolBase* tool = bar->GetToolByPos(static_cast<int>(i));
        ASSERT_TRUE(tool != nullptr);
        EXPECT_EQ(tools[i].id, tool->GetId());
        EXPECT_EQ(wxString(tools[i].label), tool->GetLabel());
        EXPECT_EQ(wxString(tools[i].tip), tool->GetShortHelp());
        EXPECT_TRUE(tool->GetLongHelp().empty());
        EXPECT_EQ(wxITEM_NORMAL, tool->GetKind());
        EXPECT_TRUE(tool->IsEnabled());
        EXPECT_EQ(wxSize(48, 48), tool->GetNormalBitmap().GetSize());
    }
}

TEST_F(MainWindowTest, TableHasTwoLabelledColumnsAndOneEntryRow)
{
    wxGrid* grid = nullptr;
    for (wxWindow* child : frame->GetChildren())
        if ((grid = dynamic_cast<wxGrid*>(child)) != nullptr)
            break;
    ASSERT_TRUE(grid != nullptr);
    EXPECT_TRUE(grid->IsShown());
    EXPECT_EQ(1, grid->GetNumberRows());
    EXPECT_EQ(2, grid->GetNumberCols());
    EXPECT_EQ(80, grid->GetColSize(0));
    EXPECT_EQ(wxString("Time"), grid->GetColLabelValue(0));
    EXPECT_EQ(wxString("Text / Lyrics"), grid->GetColLabelValue(1));
    EXPECT_EQ(25, grid->GetColLabelSize());
    EXPECT_EQ(0, grid->GetRowLabelSize());
    int horiz = 0, vert = 0;
    grid->GetColLabelAlignment(&horiz, &vert);
    EXPECT_EQ(wxALIGN_CENTRE, horiz);
    EXPECT_EQ(wxALIGN_CENTRE, vert);
    grid->GetDefaultCellAlignment(&horiz, &vert);
    EXPECT_EQ(wxALIGN_LEFT, horiz);
    EXPECT_EQ(wxALIGN_TOP, vert);
    EXPECT_TRUE(grid->IsEditable());
    EXPECT_TRUE(grid->GridLinesEnabled());
    EXPECT_FALSE(grid->CanDragGridSize());
    EXPECT_FALSE(grid->CanDragRowSize(0));
    EXPECT_TRUE(grid->CanDragColSize(0));
    EXPECT_FALSE(grid->CanDragColSize(1)) << "the text column takes what the time column leaves";
    EXPECT_FALSE(grid->CanDragColMove());
    EXPECT_TRUE(grid->GetCellValue(0, 0).empty());
    EXPECT_TRUE(grid->GetCellValue(0, 1).empty());
}

TEST_F(MainWindowTest, TheTextColumnFillsTheTableAtAnyWindowSize)
{
    wxGrid* grid = Grid();
    auto fills = [grid] {
        return grid->GetColSize(0) + grid->GetColSize(1) == grid->GetClientSize().GetWidth();
    };
    for (wxSize size : {wxSize(900, 600), wxSize(500, 400), wxSize(1000, 300)}) {
        frame->SetSize(size);
        EXPECT_TRUE(PumpUntil(fills, 2000)) << size.GetWidth() << " wide: " << grid->GetColSize(0) << " + "
                                            << grid->GetColSize(1) << " in " << grid->GetClientSize().GetWidth();
    }
    // The time column dragged wider: the text column gives way.
    grid->SetColSize(0, 200);
    wxGridSizeEvent dragged(grid->GetId(), wxEVT_GRID_COL_SIZE, grid, 0);
    grid->GetEventHandler()->ProcessEvent(dragged);
    EXPECT_TRUE(fills());
}

TEST_F(MainWindowTest, LyricsViewIsHiddenAndReadOnly)
{
    wxTextCtrl* view = nullptr;
    for (wxWindow* child : frame->GetChildren()) {
        wxTextCtrl* text = dynamic_cast<wxTextCtrl*>(child);
        if (text && text->IsMultiLine())
            view = text;
    }
    ASSERT_TRUE(view != nullptr);
    EXPECT_FALSE(view->IsShown());
    EXPECT_FALSE(view->IsEditable());
    EXPECT_TRUE(view->HasFlag(wxTE_RICH));
    EXPECT_TRUE(view->HasFlag(wxTE_NO_VSCROLL));
    EXPECT_TRUE(view->GetValue().empty());
}

TEST_F(MainWindowTest, TransportRowIsDisabledUntilATrackIsOpen)
{
    wxWindow* play = frame->FindWindow(1009);
    wxWindow* pause = frame->FindWindow(1010);
    wxSlider* slider = dynamic_cast<wxSlider*>(frame->FindWindow(1011));
    ASSERT_TRUE(play && pause && slider);
    EXPECT_TRUE(dynamic_cast<wxBitmapButton*>(play) != nullptr);
    EXPECT_TRUE(dynamic_cast<wxBitmapButton*>(pause) != nullptr);
    EXPECT_FALSE(play->IsEnabled());
    EXPECT_FALSE(pause->IsEnabled());
    EXPECT_FALSE(slider->IsEnabled());
    EXPECT_EQ(0, slider->GetValue());
    EXPECT_EQ(0, slider->GetMin());
    EXPECT_EQ(100, slider->GetMax());

    wxTextCtrl* position = nullptr;
    for (wxWindow* child : frame->GetChildren()) {
        wxTextCtrl* text = dynamic_cast<wxTextCtrl*>(child);
        if (text && !text->IsMultiLine())
            position = text;
    }
    ASSERT_TRUE(position != nullptr);
    EXPECT_FALSE(position->IsEnabled());
    EXPECT_TRUE(position->GetValue().empty());
    EXPECT_TRUE(position->HasFlag(wxTE_RIGHT));
    EXPECT_GE(position->GetSize().GetWidth(), 70);
    EXPECT_GE(position->GetSize().GetWidth(), position->GetTextExtent("100:00.00").GetWidth() + 16)
        << "a whole time fits";
}

TEST_F(MainWindowTest, MediaControlAndStatusBarExist)
{
    wxWindow* media = wxWindow::FindWindowByName("mediaCtrl", frame);
    ASSERT_TRUE(media != nullptr);
    EXPECT_TRUE(dynamic_cast<wxMediaCtrl*>(media) != nullptr);
    EXPECT_EQ(1100, media->GetId());

    wxStatusBar* status = frame->GetStatusBar();
    ASSERT_TRUE(status != nullptr);
    EXPECT_EQ(1, status->GetFieldsCount());
    EXPECT_TRUE(status->HasFlag(wxST_SIZEGRIP));
}

TEST_F(MainWindowTest, HighlightedMenuItemShowsItsHelpInTheStatusBar)
{
    wxMenuEvent highlight(wxEVT_MENU_HIGHLIGHT, ID_VERIFYTABLE, frame->GetMenuBar()->GetMenu(1));
    highlight.SetEventObject(frame);
    frame->ProcessWindowEvent(highlight);
    EXPECT_EQ(wxString("Check that the SYLT data is correct"), frame->GetStatusBar()->GetStatusText(0));
}

TEST_F(MainWindowTest, TimerTicksEveryTenthOfASecond)
{
    wxTimer* timer = FramePeek::Timer(frame);
    ASSERT_TRUE(timer != nullptr);
    EXPECT_TRUE(timer->IsRunning());
    EXPECT_EQ(100, timer->GetInterval());
    EXPECT_FALSE(timer->IsOneShot());
    EXPECT_EQ(1101, timer->GetId());
    EXPECT_EQ(frame, timer->GetOwner());

    // The ticks really arrive at the frame (the counter passes them on).
    int ticks = 0;
    auto count = [&ticks](wxTimerEvent& event) { ++ticks; event.Skip(); };
    frame->Bind(wxEVT_TIMER, count, ID_TIMER);
    Pump(450);
    EXPECT_TRUE(frame->Unbind(wxEVT_TIMER, count, ID_TIMER));
    EXPECT_GE(ticks, 2);
    EXPECT_LE(ticks, 10);
}

TEST_F(MainWindowTest, TitleAndIcon)
{
    EXPECT_EQ(wxString("Lyrasil"), frame->GetTitle());
    EXPECT_TRUE(frame->GetIcon().IsOk());
    EXPECT_EQ(32, frame->GetIcon().GetWidth());
    EXPECT_TRUE(frame->HasFlag(wxTAB_TRAVERSAL));
    EXPECT_TRUE(frame->HasFlag(wxRESIZE_BORDER));
}

} // namespace
