// Playback in the real window with the real media back end: the wiring
// between the window, the transport and the back end.  The rules
// themselves are the transport's unit tests; nothing here depends on how
// fast real playback runs: a test waits only for the back end to get going
// (with a generous limit), drives the highlighting with ticks of its own,
// and checks a stamp against the positions read around the key press.
#include "guitest.h"

#include <algorithm>
#include <functional>

#include <wx/mediactrl.h>
#include <wx/slider.h>
#include <wx/uiaction.h>

#include "id3build.h"
#include "lyrasilapp.h"
#include "lyrasilframecode.h"
#include "notices.h"
#include "stamps.h"

namespace {

const int kPatience = 20000; // ms the back end may take to get going

class PlaybackTest : public WindowTest {
protected:
    // Opens a silent track of ms with the given SYLT items and waits until
    // its length is measured.
    void OpenTrack(int ms, const std::vector<std::pair<std::string, uint32_t>>& items = {}, bool wait = true)
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
        if (wait) {
            ASSERT_TRUE(PumpUntil([this] { return FrameTestAccess::TrackLength(frame) > 0; }, kPatience))
                << "the length was never measured";
        }
    }
    wxWindow* PlayButton() const { return frame->FindWindow(ID_PLAY); }
    wxSlider* Slider() const { return dynamic_cast<wxSlider*>(frame->FindWindow(ID_SLIDER)); }
    wxMediaCtrl* Media() const { return FrameTestAccess::Media(frame); }
    void Click(int id)
    {
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(frame->FindWindow(id));
        frame->FindWindow(id)->ProcessWindowEvent(click);
    }
    bool Playing() const { return FrameTestAccess::Playing(frame); }
    long Tell() const { return static_cast<long>(Media()->Tell()); }
    // Until the back end reports that it plays, and has moved on by ms.
    void WaitUntilRunning(long ms = 0)
    {
        ASSERT_TRUE(PumpUntil([&] { return FrameTestAccess::Running(frame) && Tell() > ms; }, kPatience))
            << "playback never got going";
    }
    // Whether the back end reports PLAY at ms or later after the action
    // (a PLAY of an earlier start may come first, late).
    bool PlaysFrom(const std::function<void()>& action, long ms)
    {
        long seen = -1;
        auto onPlay = [&](wxMediaEvent& e) {
            seen = std::max(seen, Tell());
            e.Skip();
        };
        frame->Bind(wxEVT_MEDIA_PLAY, onPlay, ID_MEDIACTRL);
        action();
        PumpUntil([&] { return seen >= ms; }, kPatience);
        frame->Unbind(wxEVT_MEDIA_PLAY, onPlay, ID_MEDIACTRL);
        return seen >= ms;
    }
    void SendMedia(wxEventType type)
    {
        wxMediaEvent event(type, ID_MEDIACTRL);
        event.SetEventObject(Media());
        frame->ProcessWindowEvent(event);
    }
    int32_t StampMs(int row) const
    {
        int32_t ms = -1;
        EXPECT_TRUE(StampTime(Grid()->GetCellValue(row, 0), &ms)) << "row " << row;
        return ms;
    }
    std::string Transport() const
    {
        std::string s;
        s += PlayButton()->IsEnabled() ? 'P' : '-';
        s += frame->FindWindow(ID_PAUSE)->IsEnabled() ? 'p' : '-';
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
    void Restart(const std::string& settings)
    {
        ini = "[Settings]\ntip=-1\n" + settings;
        TearDown();
        SetUp();
    }
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
        EXPECT_EQ("Track length = " + FormatStamp(length / 10), frame->GetStatusBar()->GetStatusText(0));
        // Loading gives full volume; the muted start must give it back.
        EXPECT_DOUBLE_EQ(1.0, Media()->GetVolume());
        EXPECT_EQ("P-S", Transport());
        EXPECT_TRUE(PumpUntil([&] { return Media()->GetState() == wxMEDIASTATE_STOPPED; }, kPatience))
            << "the muted start ended";
    }
}

TEST_F(PlaybackTest, TheTransportRowFollowsPlayPauseAndTheBackEndsEvents)
{
    EXPECT_EQ("---", Transport()) << "no track";
    OpenTrack(10000);
    Click(ID_PLAY);
    EXPECT_EQ("-p-", Transport()) << "playing";
    WaitUntilRunning();
    Click(ID_PAUSE);
    EXPECT_EQ("P-S", Transport()) << "paused";
    EXPECT_TRUE(PumpUntil([&] { return Media()->GetState() == wxMEDIASTATE_PAUSED; }, kPatience));

    // A command that stops playback leaves the row ready to play again.
    Click(ID_PLAY);
    WaitUntilRunning();
    wxTEST_DIALOG(Command(ID_CLEARTABLE),
                  ExpectQuestion("This operation erases the entire table.\nContinue?", wxID_NO));
    EXPECT_FALSE(Playing());
    EXPECT_EQ("P-S", Transport()) << "after Edit > Clear complete table";

    // The end of the track as the back end reports it: STOP, FINISHED, STOP.
    Click(ID_PLAY);
    WaitUntilRunning();
    SendMedia(wxEVT_MEDIA_STOP);
    EXPECT_TRUE(Playing()) << "a STOP alone may be an earlier one's, late";
    SendMedia(wxEVT_MEDIA_FINISHED);
    EXPECT_EQ("P-S", Transport()) << "at the end";
    SendMedia(wxEVT_MEDIA_STOP);
    EXPECT_EQ("P-S", Transport());
}

TEST_F(PlaybackTest, PlayPressedWhileTheLengthIsMeasuredStartsPlayback)
{
    OpenTrack(10000, {}, false);
    ASSERT_EQ(Phase::Measuring, FrameTestAccess::TransportPhase(frame));
    Click(ID_PLAY);
    WaitUntilRunning();
    EXPECT_EQ("-p-", Transport());
    EXPECT_DOUBLE_EQ(1.0, Media()->GetVolume()) << "with the sound on";
}

// A stamp is the position when the key is handled, less the lead at the
// playback speed; the speed reaches the media control as its rate.
TEST_F(PlaybackTest, StampsLandAtTheTracksTimeWhateverTheSpeedAndLessTheLead)
{
    const struct {
        int speedId, percent;
        const char* lead;
    } cases[] = {{ID_SPEED100, 100, "0"}, {ID_SPEED50, 50, "0"}, {ID_SPEED100, 100, "200"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.percent << "%, lead " << c.lead);
        Command(c.speedId);
        EXPECT_TRUE(frame->GetMenuBar()->IsChecked(c.speedId));
        wxTEST_DIALOG(Command(ID_STAMPLEAD), ExpectEntry(StampLeadPrompt().caption, StampLeadPrompt().text, c.lead));
        const long lead = theApp->options.stampLead * c.percent / 100;
        Load({}); // the last case's table is given up without a question
        OpenTrack(10000);
        EditCell(0, 1, "One");
        Grid()->SetGridCursor(0, 0);
        Click(ID_PLAY);
        WaitUntilRunning(300);
        EXPECT_DOUBLE_EQ(c.percent / 100.0, Media()->GetPlaybackRate());
        Grid()->SetFocus();
        Pump(20);
        long before = Tell();
        wxUIActionSimulator().Char(WXK_SPACE);
        Pump(30);
        long after = Tell();
        int32_t stamp = StampMs(0);
        EXPECT_GE(stamp, before - lead - 10);
        EXPECT_LE(stamp, after - lead);
        EXPECT_EQ(1, Grid()->GetGridCursorRow());
        Key(WXK_SPACE); // the entry row: stamped, and a new one appended
        EXPECT_EQ(3, Grid()->GetNumberRows());
        Click(ID_PAUSE);
    }
    Load({});
    CloseWindow();
    EXPECT_NE(std::string::npos, ReadIni().find("speed=100\nstamplead=200\n")) << ReadIni();
}

TEST_F(PlaybackTest, PlayStartsAtTheSliderOrBeforeTheRowAndTheKeysPlayAndPause)
{
    OpenTrack(10000, {{"\nOne", 1000}, {"\nTwo", 4000}, {"\nThree", 6000}});
    Slider()->SetValue(150);
    wxScrollEvent moved(wxEVT_SCROLL_CHANGED, ID_SLIDER, 150);
    moved.SetEventObject(Slider());
    Slider()->GetEventHandler()->ProcessEvent(moved);
    EXPECT_EQ(wxString("00:01.50"), PositionText()->GetValue());
    EXPECT_TRUE(PlaysFrom([&] { Click(ID_PLAY); }, 1400));

    Grid()->SetGridCursor(2, 1);
    EXPECT_TRUE(PlaysFrom([&] { Key('R', wxMOD_CONTROL); }, 3900)) << "2 s before the row's 00:06.00";
    Key('P', wxMOD_CONTROL);
    EXPECT_EQ(Phase::Paused, FrameTestAccess::TransportPhase(frame));
    Key('P', wxMOD_CONTROL);
    EXPECT_TRUE(Playing());
}

TEST_F(PlaybackTest, TheStopwatchStartsAtZeroForANewTrack)
{
    Restart("synctimer=1\n");
    Pump(600); // the window's own age must not count
    OpenTrack(5000);
    EditCell(0, 1, "One");
    Grid()->SetGridCursor(0, 0);
    // Neither the window's age nor the wait for the length counts: the
    // times shown and stamped are at most the time since Play.
    wxStopWatch sincePlay;
    Click(ID_PLAY);
    int32_t shown = -1;
    ASSERT_TRUE(StampTime(PositionText()->GetValue(), &shown));
    EXPECT_LE(shown, sincePlay.Time());
    Pump(200);
    Key(WXK_SPACE);
    EXPECT_LE(StampMs(0), sincePlay.Time());
    Click(ID_PAUSE);
}

TEST_F(PlaybackTest, RowsAreHighlightedInTheTableAsTheirTimeComesAndFade)
{
    Restart("highlight=3\n");
    OpenTrack(10000, {{"\nFirst", 200}, {"\nSecond", 700}});
    FrameTestAccess::Timer(frame)->Stop(); // the test's ticks only
    Click(ID_PLAY);
    WaitUntilRunning();
    const struct {
        long ms;
        int row;
        wxColour colour;
    } ticks[] = {{200, 0, kHighlight}, {300, 0, wxColour(224, 224, 255)}, {400, 0, wxColour(240, 240, 255)},
                 {500, 0, kWhite},     {700, 1, kHighlight}};
    for (const auto& t : ticks) {
        FrameTestAccess::Tick(frame, t.ms);
        EXPECT_EQ(t.colour, TextCellColour(t.row)) << "at " << t.ms;
    }
    EXPECT_EQ(1, FrameTestAccess::HighlightRow(frame));
    EXPECT_EQ(1, Grid()->GetGridCursorRow()) << "the cursor followed the faded row";
    OpenTrack(10000, {{"\nOther", 200}, {"\nTrack", 700}}, false); // not measured: the test ticks
    EXPECT_EQ(kWhite, TextCellColour(1)) << "the last track's highlight stays behind";
    EXPECT_EQ(0, Slider()->GetValue()) << "nor its place";
}

TEST_F(PlaybackTest, TheLyricsViewReplacesTheTableWhilePlaying)
{
    Restart("textwindow=1\n");
    OpenTrack(10000, {{"\nHello", 100}, {" world", 400}, {"\nNext", 700}});
    Grid()->SetGridCursor(3, 0);
    FrameTestAccess::Timer(frame)->Stop();
    Click(ID_PLAY);
    EXPECT_FALSE(Grid()->IsShown());
    EXPECT_TRUE(LyricsView()->IsShown());
    EXPECT_EQ(wxString("Hello world\nNext"), LyricsView()->GetValue());
    WaitUntilRunning();
    FrameTestAccess::Tick(frame, 100);
    FrameTestAccess::Tick(frame, 400);
    wxTextAttr style;
    ASSERT_TRUE(LyricsView()->GetStyle(7, style)); // inside " world"
    EXPECT_EQ(kHighlight, style.GetBackgroundColour());

    // The space bar still stamps the table's cursor row, with the focus in
    // the view and no table on screen.
    wxUIActionSimulator().Char(WXK_SPACE);
    Pump(30);
    EXPECT_FALSE(Grid()->GetCellValue(3, 0).empty());

    // After playback the view stays until it is double-clicked.
    SendMedia(wxEVT_MEDIA_FINISHED);
    EXPECT_FALSE(Grid()->IsShown());
    wxMouseEvent dclick(wxEVT_LEFT_DCLICK);
    dclick.SetEventObject(LyricsView());
    LyricsView()->GetEventHandler()->ProcessEvent(dclick);
    EXPECT_TRUE(Grid()->IsShown());
    EXPECT_FALSE(LyricsView()->IsShown());
}

TEST_F(PlaybackTest, AStampIsUndoneAndRedoneWithTheKeys)
{
    OpenTrack(10000);
    EditCell(0, 1, "One");
    Grid()->SetGridCursor(0, 0);
    Click(ID_PLAY);
    WaitUntilRunning();
    Key(WXK_SPACE);
    const wxString stamp = Grid()->GetCellValue(0, 0);
    ASSERT_FALSE(stamp.empty());
    wxMenuBar* menus = frame->GetMenuBar();
    EXPECT_FALSE(menus->IsEnabled(wxID_REDO));
    Key('Z', wxMOD_CONTROL);
    EXPECT_TRUE(Grid()->GetCellValue(0, 0).empty());
    EXPECT_EQ(0, Grid()->GetGridCursorRow()) << "the cursor goes to the row undone";
    EXPECT_TRUE(menus->IsEnabled(wxID_REDO));
    Key('Y', wxMOD_CONTROL);
    EXPECT_EQ(stamp, Grid()->GetCellValue(0, 0));
    Key('Z', wxMOD_CONTROL);
    Key('Z', wxMOD_CONTROL);
    EXPECT_TRUE(Grid()->GetCellValue(0, 1).empty());
    EXPECT_FALSE(menus->IsEnabled(wxID_UNDO)) << "back where the track was opened";
    Key('Z', wxMOD_CONTROL | wxMOD_SHIFT);
    EXPECT_EQ(wxString("One"), Grid()->GetCellValue(0, 1));
}

TEST_F(PlaybackTest, ATrackTheBackEndCannotPlayStaysOpenForItsTag)
{
    wxString path = Scratch("text.mp3");
    WriteFile(path, make_tag(3, 0, frame_of(3, "TIT2", text0("Not audio"))) + "just some words, no audio\n");
    wxTEST_DIALOG(Command(wxID_OPEN), ExpectFile("Open file...", path),
                  ExpectNotice("This track has no SYLT frame in its ID3 tag"));
    ASSERT_TRUE(PumpUntil([&] { return frame->GetStatusBar()->GetStatusText(0) == "This track cannot be played."; },
                          kPatience));
    EXPECT_EQ("---", Transport());
    EXPECT_EQ(wxString("Lyrasil - text.mp3"), frame->GetTitle());
    Pump(500);
    EXPECT_EQ("---", Transport()) << "no endless muted starts";
    EXPECT_EQ(0, FrameTestAccess::TrackLength(frame));
}

} // namespace
