// Table editing in the real window: the context menu as it pops up, the
// entry row, clearing, shifting and the verification with its error boxes
// and lyrics preview.
//
// The context menu is the real pop-up: PopupMenu blocks until the menu is
// dismissed (measured under Xvfb), so the tests watch for the menu's
// opening event, note its items and choose one with the keyboard.
#include "guitest.h"

#include <wx/choicdlg.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>

#include "id3build.h"
#include "lyrasilapp.h"
#include "lyrasilframecode.h"
#include "tablecells.h"

namespace {

using Cells = std::vector<std::pair<std::string, std::string>>;

const char kNoTrackCaption[] = "Cannot complete this operation";
const char kNoTrack[] = "No track is currently open.\nPlease open an MP3 track first.";
const char kClear[] = "This operation erases the entire table.\nContinue?";
const char kOffsetPrompt[] = "Enter the time (in seconds) to add to all time-stamps starting with\nthe current row. "
                             "Use a negative number to remove time.";

// The lyrics preview: records its message, lines and size, then is resized
// as a user drags it, and closed.
struct PreviewSeen {
    wxString message;
    std::vector<std::string> lines;
    wxSize size;
};
class ExpectPreview : public wxExpectModalBase<wxSingleChoiceDialog, ExpectPreview> {
public:
    ExpectPreview(PreviewSeen* seen, const wxSize& resizeTo) : m_seen(seen), m_resizeTo(resizeTo) {}

protected:
    int OnInvoked(wxSingleChoiceDialog* dlg) const override
    {
        EXPECT_EQ(wxString("Lyrics preview"), dlg->GetTitle());
        m_seen->message = MessageOf(dlg);
        if (wxListBox* list = FindChild<wxListBox>(dlg))
            for (const wxString& line : list->GetStrings())
                m_seen->lines.push_back(line.utf8_str().data());
        m_seen->size = dlg->GetSize();
        dlg->SetSize(m_resizeTo);
        return wxID_OK;
    }
    wxString GetDefaultDescription() const override { return "lyrics preview"; }

    PreviewSeen* m_seen;
    wxSize m_resizeTo;
};

ExpectMessage ExpectNoTrack()
{
    return ExpectMessage(kNoTrackCaption, kNoTrack, wxOK | wxICON_INFORMATION);
}

struct MenuLine {
    int id;
    std::string label, help;
    bool enabled;
    bool operator==(const MenuLine& o) const
    {
        return id == o.id && label == o.label && help == o.help && enabled == o.enabled;
    }
};

void PrintTo(const MenuLine& m, std::ostream* os)
{
    *os << "{" << m.id << ", \"" << m.label << "\", \"" << m.help << "\", " << m.enabled << "}";
}

class TableTest : public WindowTest {
protected:
    TableTest() { ini = "[Settings]\ntip=-1\n[Position]\npreview=600 450\n"; }

    void OpenTrack()
    {
        wxString path = Scratch("song.mp3");
        WriteFile(path, tagged_track(3));
        wxTEST_DIALOG(Command(wxID_OPEN), ExpectFile("Open file...", path),
                      ExpectNotice("This track has no SYLT frame in its ID3 tag"));
        ASSERT_FALSE(FrameTestAccess::TrackPath(frame).empty());
    }
    bool Modified() { return FrameTestAccess::Modified(frame); }

    // Right-clicks the cell as the user does; once the menu is up, notes
    // its items and chooses the item `choose` with the keyboard (0: closes
    // the menu with Escape).  Returns the items seen.
    std::vector<MenuLine> RightClick(int row, int col, int choose)
    {
        std::vector<MenuLine> seen;
        int opened = 0;
        auto onOpen = [&](wxMenuEvent& e) {
            e.Skip();
            if (!e.IsPopup())
                return;
            ++opened;
            int downs = 0, reachable = 0;
            for (wxMenuItem* item : e.GetMenu()->GetMenuItems()) {
                seen.push_back({item->GetId(), item->GetItemLabelText().utf8_str().data(),
                                item->GetHelp().utf8_str().data(), item->IsEnabled()});
                // The keyboard passes over separators and disabled items.
                if (!item->IsSeparator() && item->IsEnabled() && downs == 0 && ++reachable && item->GetId() == choose)
                    downs = reachable;
            }
            EXPECT_TRUE(choose == 0 || downs > 0) << "item " << choose << " cannot be chosen";
            frame->CallAfter([downs]() {
                wxUIActionSimulator sim;
                for (int i = 0; i < downs; ++i)
                    sim.Char(WXK_DOWN);
                sim.Char(downs > 0 ? WXK_RETURN : WXK_ESCAPE);
            });
        };
        // Should the menu never show its opening, Escape ends the wait.
        wxTimer watchdog;
        watchdog.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            ADD_FAILURE() << "the context menu did not open";
            wxUIActionSimulator().Char(WXK_ESCAPE);
        });
        watchdog.StartOnce(5000);
        frame->Bind(wxEVT_MENU_OPEN, onOpen);
        wxGrid* grid = Grid();
        wxGridEvent click(grid->GetId(), wxEVT_GRID_CELL_RIGHT_CLICK, grid, row, col);
        grid->GetEventHandler()->ProcessEvent(click);
        frame->Unbind(wxEVT_MENU_OPEN, onOpen);
        watchdog.Stop();
        EXPECT_EQ(1, opened);
        EXPECT_EQ(row, FrameTestAccess::ContextRow(frame));
        return seen;
    }
    // Chooses a context-menu item on row with the grid cursor elsewhere.
    void Choose(int row, int id)
    {
        Grid()->SetGridCursor(0, 1);
        RightClick(row, 0, id);
    }
};

TEST_F(TableTest, ContextMenuOffersFourItemsAndNoDeleteOnTheEntryRow)
{
    Load({{"00:01.00", "Hello"}, {"00:02.00", "Bye"}});
    auto expected = [](bool deletable) {
        return std::vector<MenuLine>{
            {ID_GRID_INSERT, "Insert row (above this row)", "Insert a row above this row", true},
            {ID_GRID_DELETE, "Delete row", "Delete this row", deletable},
            {wxID_SEPARATOR, "", "", true},
            {ID_GRID_DELTIMESTAMPS, "Clear time-stamps to end of table",
             "Delete all time-stamps starting with this row", true},
            {ID_GRID_OFFSETTIMESTAMPS, "Add an offset to next time-stamps",
             "Add an offset to all time-stamps starting with this row", true},
        };
    };
    EXPECT_EQ(expected(true), RightClick(0, 0, 0));
    EXPECT_EQ(expected(true), RightClick(1, 1, 0));
    EXPECT_EQ(expected(false), RightClick(2, 1, 0)) << "the entry row";
    EXPECT_FALSE(Modified()) << "a dismissed menu changes nothing";
}

TEST_F(TableTest, InsertAndDeleteActOnTheClickedRow)
{
    OpenTrack();
    Load({{"00:01.00", "A"}, {"00:02.00", "B"}, {"00:03.00", "C"}});
    // A second click connects nothing twice: one command, one row.
    RightClick(1, 0, 0);
    Choose(1, ID_GRID_INSERT);
    EXPECT_EQ((Cells{{"00:01.00", "A"}, {"", ""}, {"00:02.00", "B"}, {"00:03.00", "C"}}), TableRows());
    EXPECT_TRUE(Modified());

    Load(TableRows());
    Choose(2, ID_GRID_DELETE);
    EXPECT_EQ((Cells{{"00:01.00", "A"}, {"", ""}, {"00:03.00", "C"}}), TableRows());
    EXPECT_TRUE(Modified());

    Choose(3, ID_GRID_INSERT); // the entry row: the new row goes above it
    EXPECT_EQ((Cells{{"00:01.00", "A"}, {"", ""}, {"00:03.00", "C"}, {"", ""}}), TableRows());
    EXPECT_EQ(5, Grid()->GetNumberRows());

    // The entry row stays even when its deletion is asked for directly.
    Load(TableRows());
    RightClick(4, 0, 0);
    Command(ID_GRID_DELETE);
    EXPECT_EQ(5, Grid()->GetNumberRows());
    EXPECT_FALSE(Modified());
}

TEST_F(TableTest, StampsAreClearedAndShiftedFromTheClickedRowOn)
{
    OpenTrack();
    const Cells start = {{"00:01.00", "A"}, {"1:5", "B"}, {"00:59.99", " c"}, {"no stamp", "D"}, {"", "E"}};
    const char* invalid = "Invalid time offset (must be in seconds)";
    const struct {
        int row;
        const char* entry; // null: clear the stamps instead
        int answer;
        const char* error;
        bool changed;
        Cells after;
    } cases[] = {
        {2, nullptr, wxID_OK, nullptr, true, {{"00:01.00", "A"}, {"1:5", "B"}, {"", " c"}, {"", "D"}, {"", "E"}}},
        {1, "1.5", wxID_OK, nullptr, true,
         {{"00:01.00", "A"}, {"01:06.50", "B"}, {"01:01.49", " c"}, {"no stamp", "D"}, {"", "E"}}},
        {0, "0", wxID_OK, nullptr, true,
         {{"00:01.00", "A"}, {"01:05.00", "B"}, {"00:59.99", " c"}, {"no stamp", "D"}, {"", "E"}}},
        {0, "-1:00", wxID_OK, nullptr, true,
         {{"00:00.00", "A"}, {"00:05.00", "B"}, {"00:00.00", " c"}, {"no stamp", "D"}, {"", "E"}}},
        {1, "abc", wxID_OK, invalid, false, start},
        {1, "1e300", wxID_OK, invalid, false, start},
        {1, "  ", wxID_OK, nullptr, false, start},
        {1, "5", wxID_CANCEL, nullptr, false, start},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry ? c.entry : "clear");
        Load(start);
        if (c.entry == nullptr) {
            Choose(c.row, ID_GRID_DELTIMESTAMPS);
        } else {
            wxString offered = "?";
            const ExpectEntry entry("Add a time offset", kOffsetPrompt, c.entry, c.answer, &offered);
            if (c.error) {
                wxTEST_DIALOG(Choose(c.row, ID_GRID_OFFSETTIMESTAMPS), entry, ExpectError(c.error));
            } else {
                wxTEST_DIALOG(Choose(c.row, ID_GRID_OFFSETTIMESTAMPS), entry);
            }
            EXPECT_TRUE(offered.empty());
        }
        EXPECT_EQ(c.after, TableRows());
        EXPECT_EQ(c.changed, Modified());
    }
}

TEST_F(TableTest, AnOffsetIsUndoneAndRedoneWhole)
{
    OpenTrack();
    const Cells typed = {{"00:01.00", "A"}, {"00:02.00", "B"}};
    const Cells shifted = {{"00:01.00", "A"}, {"00:03.50", "B"}};
    Load(typed);
    wxTEST_DIALOG(Choose(1, ID_GRID_OFFSETTIMESTAMPS), ExpectEntry("Add a time offset", kOffsetPrompt, "1.5"));
    EXPECT_EQ(shifted, TableRows());
    Command(wxID_UNDO);
    EXPECT_EQ(typed, TableRows());
    EXPECT_FALSE(Modified());
    EXPECT_FALSE(frame->GetMenuBar()->IsEnabled(wxID_UNDO));
    Command(wxID_REDO);
    EXPECT_EQ(shifted, TableRows());
    EXPECT_TRUE(Modified());
}

TEST_F(TableTest, TheKeysNudgeTheCursorsOrTheSelectedRowsStamps)
{
    OpenTrack();
    Load({{"00:00.05", "A"}, {"00:01.00", "B"}, {"", "C"}, {"00:03.00", "D"}});
    Grid()->SetGridCursor(1, 1);
    Key(WXK_LEFT, wxMOD_ALT);
    EXPECT_EQ((Cells{{"00:00.05", "A"}, {"00:00.90", "B"}, {"", "C"}, {"00:03.00", "D"}}), TableRows());
    EXPECT_EQ(1, Grid()->GetGridCursorRow()) << "the cursor stays";

    Grid()->SelectBlock(0, 0, 2, 1);
    Key(WXK_LEFT, wxMOD_ALT);
    EXPECT_EQ((Cells{{"00:00.00", "A"}, {"00:00.80", "B"}, {"", "C"}, {"00:03.00", "D"}}), TableRows())
        << "never below 00:00.00; an empty stamp stays empty";
    Key(WXK_RIGHT, wxMOD_ALT | wxMOD_SHIFT);
    Key(WXK_RIGHT, wxMOD_ALT);
    EXPECT_EQ((Cells{{"00:00.11", "A"}, {"00:00.91", "B"}, {"", "C"}, {"00:03.00", "D"}}), TableRows());
    Key(WXK_LEFT, wxMOD_ALT | wxMOD_SHIFT);
    EXPECT_EQ((Cells{{"00:00.10", "A"}, {"00:00.90", "B"}, {"", "C"}, {"00:03.00", "D"}}), TableRows());
}

TEST_F(TableTest, EditingTheLastRowAppendsOneEntryRow)
{
    OpenTrack();
    const struct {
        int row, col;
        const char* value;
        int rowsAfter;
    } cases[] = {{0, 0, "00:01.00", 2}, {0, 1, "Hello", 2}, {1, 1, "Bye", 3}, {0, 1, "Hi", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        Load(TableRows());
        EditCell(c.row, c.col, c.value);
        EXPECT_EQ(c.rowsAfter, Grid()->GetNumberRows());
        EXPECT_TRUE(Modified());
    }
    EXPECT_EQ((Cells{{"00:01.00", "Hi"}, {"", "Bye"}}), TableRows());
}

TEST_F(TableTest, ClearingAsksFirstWithOrWithoutATrack)
{
    for (bool withTrack : {false, true}) {
        SCOPED_TRACE(withTrack ? "track open" : "no track");
        if (withTrack) {
            Load({}); // no question on opening
            OpenTrack();
        }
        Load({{"00:01.00", "A"}, {"00:02.00", "B"}});
        wxTEST_DIALOG(Command(ID_CLEARTABLE), ExpectQuestion(kClear, wxID_NO));
        EXPECT_EQ(2u, TableRows().size());
        EXPECT_FALSE(Modified());
        wxTEST_DIALOG(Command(ID_CLEARTABLE), ExpectQuestion(kClear, wxID_YES));
        EXPECT_TRUE(TableRows().empty());
        EXPECT_EQ(1, Grid()->GetNumberRows());
        EXPECT_TRUE(Modified());
    }
}

TEST_F(TableTest, VerificationPutsTheCursorOnTheFaultyCell)
{
    const std::string bad5 = "The time-stamp [5] is invalid.\nPlease use the format mm:ss.dd where \"mm\" is the "
                             "number of minutes, \"ss\" the number of seconds and \"dd\" the hundreths of a second.";
    const struct {
        Cells rows;
        std::string message;
        int row, col;
    } cases[] = {
        {{{"00:01.00", "A"}, {"", ""}, {"00:05.00", ""}},
         "No text/lyrics for time-stamp [00:05.00].\n. Remove row or enter text.", 2, 1},
        {{{"", "la la"}}, "No time-stamp for the row with lyrics \"la la\"\n. Remove row or enter a time-stamp.", 0, 0},
        {{{"00:01.00", "A"}, {"5", "x"}}, bad5, 1, 0},
        {{{"00:01.00", "A"}, {"00:01.00", "B"}}, "The time-stamps are not in sorted order.\n", 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Load(c.rows); // no track needed
        Grid()->SetGridCursor(static_cast<int>(c.rows.size()), 1);
        wxTEST_DIALOG(Command(ID_VERIFYTABLE), ExpectError(wxString::FromUTF8(c.message.c_str())));
        EXPECT_EQ(c.row, Grid()->GetGridCursorRow());
        EXPECT_EQ(c.col, Grid()->GetGridCursorCol());
        EXPECT_EQ(c.rows, TableRows()) << "the verification changes no cell";
        EXPECT_FALSE(Modified());
    }
}

TEST_F(TableTest, PreviewShowsTheLyricsAndItsSizeIsKept)
{
    Load({{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"00:03.00", "Next"}, {"", ""}, {"00:04.00", "Hel"},
          {"00:04.20", "_lo"}});
    PreviewSeen seen;
    wxTEST_DIALOG(Command(ID_VERIFYTABLE), ExpectPreview(&seen, wxSize(700, 500)));
    EXPECT_EQ(wxString("Verification completed successfully. No errors were found."), seen.message);
    EXPECT_EQ((std::vector<std::string>{"Hello world", "Next", "Hello"}), seen.lines);
    EXPECT_EQ(wxSize(600, 450), seen.size) << "the size from the settings";
    EXPECT_EQ(700, theApp->options.previewWidth);
    EXPECT_EQ(500, theApp->options.previewHeight);
    EXPECT_FALSE(Modified());

    // An empty table passes with an empty preview.
    Load({});
    PreviewSeen empty;
    wxTEST_DIALOG(Command(ID_VERIFYTABLE), ExpectPreview(&empty, wxSize(700, 500)));
    EXPECT_TRUE(empty.lines.empty());

    CloseWindow();
    EXPECT_NE(std::string::npos, ReadIni().find("preview=700 500\n")) << ReadIni();
}

TEST_F(TableTest, WithoutATrackEveryCommandButClearAndVerifySaysSo)
{
    const Cells rows = {{"00:01.00", "A"}, {"00:02.00", "B"}};
    Load(rows);
    for (int id : {ID_GRID_INSERT, ID_GRID_DELETE, ID_GRID_DELTIMESTAMPS, ID_GRID_OFFSETTIMESTAMPS}) {
        SCOPED_TRACE(id);
        wxTEST_DIALOG(Choose(0, id), ExpectNoTrack());
    }
    for (int id : {int(wxID_SAVE), int(wxID_SAVEAS), int(ID_IMPORT), int(ID_EXPORT)}) {
        SCOPED_TRACE(id);
        wxTEST_DIALOG(Command(id), ExpectNoTrack());
    }
    EXPECT_EQ(rows, TableRows());
    wxTEST_DIALOG(EditCell(2, 1, "typed"), ExpectNoTrack());
    EXPECT_EQ(3, Grid()->GetNumberRows()) << "no entry row appended";
    EXPECT_TRUE(Grid()->GetCellValue(2, 1).empty()) << "the table shows the document, which took nothing";
    EXPECT_FALSE(Modified());
}

} // namespace
