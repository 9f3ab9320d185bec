// Playback in the real window with the real media back end: short silent
// tracks are played (no sound card: the back end plays in real time into
// nothing), the space bar is pressed through the toolkit's input
// simulator, and the table, the lyrics view and the transport row are read.
#include "guitest.h"

#include <wx/mediactrl.h>
#include <wx/slider.h>
#include <wx/uiaction.h>

#include "id3build.h"
#include "lyrasilframecode.h"
#include "stamps.h"

namespace {

class PlaybackTest : public WindowTest {
protected:
    // Opens a silent track of ms with the given SYLT items and waits until
    // its length is measured.
    void OpenTrack(int ms, const std::vector<std::pair<std::string, uint32_t>>& items = {})
    {
        Bytes frames = frame_of(3, "TIT2", text0("Silence"));
        if (!items.empty())
            frames += sylt_frame(3, items);
        wxString path = Scratch("silence.mp3");
        WriteFile(path, make_tag(3, 0, frames) + silent_mp3(ms));
        if (items.empty()) {
            wxTEST_DIALOG(Command(wxID_OPEN), ExpectFile("Open file...", path),
                          ExpectNotice("This track has no SYLT frame in its ID3 tag"));
        } else {
            OpenThroughDialog(path);
        }
        ASSERT_TRUE(PumpUntil([this] { return FrameTestAccess::TrackLength(frame) > 0; }))
            << "the length was never measured";
        Pump(50);
    }
    wxWindow* Play() const { return frame->FindWindow(ID_PLAY); }
    wxWindow* Pause() const { return frame->FindWindow(ID_PAUSE); }
    wxSlider* Slider() const { return dynamic_cast<wxSlider*>(frame->FindWindow(ID_SLIDER)); }
    void Click(int id)
    {
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(frame->FindWindow(id));
        frame->FindWindow(id)->ProcessWindowEvent(click);
    }
    bool Playing() const { return FrameTestAccess::Playing(frame); }
    long Tell() const { return static_cast<long>(FrameTestAccess::Media(frame)->Tell()); }
    void WaitUntilPlaying(long ms)
    {
        ASSERT_TRUE(PumpUntil([&] { return Playing() && Tell() >= ms; })) << "playback never reached " << ms;
    }
    // A key press as the user makes it, on the table.
    void PressSpace()
    {
        Grid()->SetFocus();
        Pump(20);
        wxUIActionSimulator sim;
        sim.Char(WXK_SPACE);
        Pump(30);
    }
    std::string Transport() const
    {
        std::string s;
        s += Play()->IsEnabled() ? 'P' : '-';
        s += Pause()->IsEnabled() ? 'p' : '-';
        s += Slider()->IsEnabled() ? 'S' : '-';
        return s;
    }
    wxTextCtrl* PositionText() const
    {
        for (wxWindow* child : frame->GetChildren()) {
            wxTextCtrl* text = dynamic_cast<wxTextCtrl*>(child);
            if (text && !text->IsMultiLine())
                return text;
        }
        return nullptr;
    }
    wxColour TextCellColour(int row) const { return Grid()->GetCellBackgroundColour(row, 1); }

};

const wxColour kHighlight(192, 192, 255);
const wxColour kWhite(255, 255, 255);

TEST_F(PlaybackTest, TheLengthIsMeasuredMutedAndTheVolumeRestored)
{
    // Twice in one window: the second track's length is its own.
    for (int ms : {2000, 1000}) {
        SCOPED_TRACE(ms);
        OpenTrack(ms);
        long long length = FrameTestAccess::TrackLength(frame);
        EXPECT_NEAR((ms / 24 - 1) * 24, length, 30); // the frames after the Info frame
        EXPECT_EQ(static_cast<int>(length / 10), Slider()->GetMax());
        EXPECT_EQ(0, Slider()->GetValue());
        wxString text;
        EXPECT_EQ("Track length = " + FormatStamp(length / 10), frame->GetStatusBar()->GetStatusText(0));
        // Loading gives full volume; the muted start must give it back.
        EXPECT_DOUBLE_EQ(1.0, FrameTestAccess::Media(frame)->GetVolume());
        EXPECT_FALSE(Playing());
        EXPECT_EQ("P-S", Transport());
        Pump(300);
        EXPECT_EQ(wxMEDIASTATE_STOPPED, FrameTestAccess::Media(frame)->GetState()) << "the muted start ended";
    }
}

TEST_F(PlaybackTest, TheTransportRowFollowsPlayPauseAndTheEndOfTheTrack)
{
    EXPECT_EQ("---", Transport()) << "no track";
    OpenTrack(1200);
    EXPECT_EQ("P-S", Transport()) << "stopped";
    Click(ID_PLAY);
    EXPECT_EQ("-p-", Transport()) << "playing";
    WaitUntilPlaying(300);
    Click(ID_PAUSE);
    EXPECT_EQ("P-S", Transport()) << "paused";
    long paused = Tell();
    Pump(300);
    EXPECT_NEAR(paused, Tell(), 30) << "paused means paused";

    // Commands that stop playback leave the row ready to play again.
    Click(ID_PLAY);
    WaitUntilPlaying(100);
    wxTEST_DIALOG(Command(ID_CLEARTABLE),
                  ExpectQuestion("This operation erases the entire table.\nContinue?", wxID_NO));
    EXPECT_FALSE(Playing());
    EXPECT_EQ("P-S", Transport()) << "after Edit > Clear complete table";

    Click(ID_PLAY);
    ASSERT_TRUE(PumpUntil([&] { return !Playing(); }, 4000)) << "the end of the track was never reported";
    EXPECT_EQ("P-S", Transport()) << "at the end";
    Pump(200);
    EXPECT_EQ("P-S", Transport()) << "a second stop changes nothing";
    EXPECT_GT(Slider()->GetValue(), 100);
}

TEST_F(PlaybackTest, TheSpaceBarStampsTheCursorsRowWhilePlaying)
{
    OpenTrack(2500);
    EditCell(0, 1, "One");
    EditCell(1, 1, "Two");
    ASSERT_EQ(3, Grid()->GetNumberRows());

    // Stopped: the table gets the key, nothing is stamped.
    Grid()->SetGridCursor(0, 0);
    FrameTestAccess::SetModified(frame, false);
    PressSpace();
    Grid()->HideCellEditControl();
    EXPECT_TRUE(Grid()->GetCellValue(0, 0).Strip(wxString::both).empty());

    Grid()->SetGridCursor(0, 0);
    Click(ID_PLAY);
    WaitUntilPlaying(400);
    PressSpace();
    EXPECT_EQ(1, Grid()->GetGridCursorRow());
    EXPECT_TRUE(FrameTestAccess::Modified(frame));
    EXPECT_EQ(kHighlight, TextCellColour(0));
    WaitUntilPlaying(900);
    PressSpace();
    PressSpace(); // the entry row: stamped, and one new row appended
    EXPECT_EQ(4, Grid()->GetNumberRows());
    EXPECT_EQ(3, Grid()->GetGridCursorRow());
    Click(ID_PAUSE);

    int32_t t0 = 0, t1 = 0, t2 = 0;
    ASSERT_TRUE(StampTime(Grid()->GetCellValue(0, 0), &t0));
    ASSERT_TRUE(StampTime(Grid()->GetCellValue(1, 0), &t1));
    ASSERT_TRUE(StampTime(Grid()->GetCellValue(2, 0), &t2));
    EXPECT_GE(t0, 400);
    EXPECT_GE(t1, 900);
    EXPECT_GE(t2, t1);
    EXPECT_LT(t2, 2500);
    EXPECT_EQ(kWhite, TextCellColour(2)) << "pausing clears the highlight";
    EXPECT_TRUE(Grid()->GetCellValue(3, 0).empty());
}

TEST_F(PlaybackTest, RowsAreHighlightedInTheTableAsTheirTimeComesAndFade)
{
    ini = "[Settings]\ntip=-1\nhighlight=3\n";
    TearDown();
    SetUp();
    OpenTrack(1500, {{"\nFirst", 200}, {"\nSecond", 700}});
    Click(ID_PLAY);
    ASSERT_TRUE(PumpUntil([&] { return FrameTestAccess::HighlightRow(frame) == 0; }, 1500));
    EXPECT_EQ(kHighlight, TextCellColour(0));
    ASSERT_TRUE(PumpUntil([&] { return TextCellColour(0) != kHighlight; }, 1000));
    EXPECT_TRUE(TextCellColour(0) == wxColour(224, 224, 255) || TextCellColour(0) == wxColour(240, 240, 255) ||
                TextCellColour(0) == kWhite);
    ASSERT_TRUE(PumpUntil([&] { return FrameTestAccess::HighlightRow(frame) == 1; }, 1500));
    EXPECT_EQ(kWhite, TextCellColour(0));
    EXPECT_EQ(kHighlight, TextCellColour(1));
    ASSERT_TRUE(PumpUntil([&] { return TextCellColour(1) == kWhite; }, 1500)) << "the highlight fades to white";
    EXPECT_EQ(2, Grid()->GetGridCursorRow()) << "the cursor follows the lyrics";
}

TEST_F(PlaybackTest, TheLyricsViewReplacesTheTableWhilePlaying)
{
    ini = "[Settings]\ntip=-1\ntextwindow=1\n";
    TearDown();
    SetUp();
    OpenTrack(1200, {{"\nHello", 100}, {" world", 400}, {"\nNext", 700}});
    Grid()->SetGridCursor(3, 0);
    Click(ID_PLAY);
    EXPECT_FALSE(Grid()->IsShown());
    EXPECT_TRUE(LyricsView()->IsShown());
    EXPECT_EQ(wxString("Hello world\nNext"), LyricsView()->GetValue());
    ASSERT_TRUE(PumpUntil([&] { return FrameTestAccess::HighlightRow(frame) == 1; }, 1500));
    wxTextAttr style;
    ASSERT_TRUE(LyricsView()->GetStyle(7, style)); // inside " world"
    EXPECT_EQ(kHighlight, style.GetBackgroundColour());

    // The space bar still stamps the table's cursor row, with the focus in
    // the view and no table on screen.
    wxUIActionSimulator sim;
    sim.Char(WXK_SPACE);
    Pump(30);
    EXPECT_FALSE(Grid()->GetCellValue(3, 0).empty());
    EXPECT_TRUE(Playing());
    ASSERT_TRUE(PumpUntil([&] { return !Playing(); }, 3000));

    // After playback the view stays until it is double-clicked.
    EXPECT_FALSE(Grid()->IsShown());
    wxMouseEvent dclick(wxEVT_LEFT_DCLICK);
    dclick.SetEventObject(LyricsView());
    LyricsView()->GetEventHandler()->ProcessEvent(dclick);
    EXPECT_TRUE(Grid()->IsShown());
    EXPECT_FALSE(LyricsView()->IsShown());
}

TEST_F(PlaybackTest, TheStopwatchStartsAtZeroForANewTrackAndTheSliderChoosesTheStart)
{
    ini = "[Settings]\ntip=-1\nsynctimer=1\n";
    TearDown();
    SetUp();
    Pump(600); // the window's own age must not count
    OpenTrack(2500);
    EditCell(0, 1, "One");
    Grid()->SetGridCursor(0, 0);
    Click(ID_PLAY);
    WaitUntilPlaying(200);
    PressSpace();
    Click(ID_PAUSE);
    int32_t stamp = 0;
    ASSERT_TRUE(StampTime(Grid()->GetCellValue(0, 0), &stamp));
    EXPECT_LT(stamp, 500) << "the stopwatch began at 0 with the first Play";

    // A moved slider with the stopwatch makes Play start at 0.
    wxScrollEvent moved(wxEVT_SCROLL_CHANGED, ID_SLIDER, 150);
    moved.SetEventObject(Slider());
    Slider()->SetValue(150);
    Slider()->GetEventHandler()->ProcessEvent(moved);
    EXPECT_EQ(wxString("00:01.50"), PositionText()->GetValue());
    Click(ID_PLAY);
    WaitUntilPlaying(0);
    Pump(150);
    EXPECT_LT(Tell(), 600);
    Click(ID_PAUSE);
}

TEST_F(PlaybackTest, TheSliderChoosesWherePlayStarts)
{
    OpenTrack(2500);
    Slider()->SetValue(150);
    wxScrollEvent moved(wxEVT_SCROLL_CHANGED, ID_SLIDER, 150);
    moved.SetEventObject(Slider());
    Slider()->GetEventHandler()->ProcessEvent(moved);
    Click(ID_PLAY);
    WaitUntilPlaying(1500);
    EXPECT_LT(Tell(), 1900) << "playback began at 1.5 s, not at 0";
    Click(ID_PAUSE);
}

TEST_F(PlaybackTest, ATrackTheBackEndCannotPlayStaysOpenForItsTag)
{
    wxString path = Scratch("text.mp3");
    WriteFile(path, make_tag(3, 0, frame_of(3, "TIT2", text0("Not audio"))) + "just some words, no audio\n");
    wxTEST_DIALOG(Command(wxID_OPEN), ExpectFile("Open file...", path),
                  ExpectNotice("This track has no SYLT frame in its ID3 tag"));
    ASSERT_TRUE(PumpUntil([&] { return frame->GetStatusBar()->GetStatusText(0) == "This track cannot be played."; }));
    EXPECT_EQ("---", Transport());
    EXPECT_EQ(wxString("Lyrasil - text.mp3"), frame->GetTitle());
    Pump(500);
    EXPECT_EQ("---", Transport()) << "no endless muted starts";
    EXPECT_EQ(0, FrameTestAccess::TrackLength(frame));
}

} // namespace

