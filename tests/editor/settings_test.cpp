// Start-up and settings: the data folder, "lyrasil.ini" read at start and
// written at an orderly close, and the tip of the day.
#include "guitest.h"

#include <wx/filefn.h>

#include "lyrasilapp.h"
#include "lyrasilframecode.h"

namespace {

using SettingsTest = EditorTest;

// The file as written from scratch: one key per line, in this order.
std::string ExpectedIni(int tip, const wxSize& frameSize, const wxString& font = SystemFontText())
{
    return "[Settings]\n"
           "tip=" + std::to_string(tip) + "\n"
           "synctimer=0\n"
           "toolbar=1\n"
           "textwindow=0\n"
           "highlight=8\n"
           "lyricsfont=" + font.utf8_string() + "\n"
           "speed=100\n"
           "stamplead=0\n"
           "uslt=0\n"
           "[Position]\n"
           "frame=" + std::to_string(frameSize.GetWidth()) + " " + std::to_string(frameSize.GetHeight()) + "\n"
           "preview=320 240\n";
}

TEST_F(SettingsTest, FirstStartCreatesTheDataFolderAndWritesEveryKeyAtClose)
{
    ASSERT_FALSE(wxDirExists(DataDir()));
    wxString tip;
    wxTEST_DIALOG(Start(), ExpectTip(true, &tip));
    ASSERT_TRUE(frame != nullptr);
    EXPECT_TRUE(wxDirExists(DataDir()));
    EXPECT_FALSE(wxFileExists(IniPath())) << "nothing is written before the close";
    EXPECT_EQ(wxString("First tip of the test file."), tip);

    // The defaults.
    EXPECT_FALSE(theApp->options.syncTimer);
    EXPECT_TRUE(theApp->options.showToolbar);
    EXPECT_FALSE(theApp->options.textWindow);
    EXPECT_EQ(8, theApp->options.highlightTime);
    EXPECT_EQ(SystemFontText(), theApp->options.lyricsFont);
    EXPECT_EQ(320, theApp->options.previewWidth);
    EXPECT_EQ(240, theApp->options.previewHeight);
    // The comment line counts as a line: the next tip is line 2.
    EXPECT_EQ(2, theApp->options.tipIndex);

    // No stored size: a first window wide enough for the table.
    wxSize size = frame->GetSize();
    EXPECT_EQ(wxSize(640, 480), size);
    CloseWindow();
    EXPECT_EQ(ExpectedIni(2, size), ReadIni());
}

TEST_F(SettingsTest, SecondStartRestoresEveryOptionAndTheWindowSize)
{
    const std::string ini = "[Settings]\n"
                            "tip=-1\n"
                            "synctimer=1\n"
                            "toolbar=0\n"
                            "textwindow=1\n"
                            "highlight=15\n"
                            "lyricsfont=Serif Bold 14\n"
                            "speed=50\n"
                            "stamplead=250\n"
                            "uslt=1\n"
                            "[Position]\n"
                            "frame=800 600\n"
                            "preview=500 400\n";
    WriteIni(ini);
    StartQuietly(); // tip=-1: no tip dialog
    ASSERT_TRUE(frame != nullptr);

    EXPECT_TRUE(theApp->options.syncTimer);
    EXPECT_FALSE(theApp->options.showToolbar);
    EXPECT_TRUE(theApp->options.textWindow);
    EXPECT_EQ(15, theApp->options.highlightTime);
    EXPECT_EQ(wxString("Serif Bold 14"), theApp->options.lyricsFont);
    EXPECT_EQ(50, theApp->options.speed);
    EXPECT_EQ(250, theApp->options.stampLead);
    EXPECT_TRUE(theApp->options.uslt);
    EXPECT_TRUE(frame->GetMenuBar()->IsChecked(ID_USLT));
    EXPECT_EQ(500, theApp->options.previewWidth);
    EXPECT_EQ(400, theApp->options.previewHeight);
    EXPECT_EQ(wxSize(800, 600), frame->GetSize());

    wxMenuBar* bar = frame->GetMenuBar();
    EXPECT_FALSE(bar->IsChecked(ID_VIEWTOOLBAR));
    EXPECT_TRUE(bar->IsChecked(ID_SYNCTIMER));
    EXPECT_TRUE(bar->IsChecked(ID_TEXTWINDOW));
    EXPECT_TRUE(bar->IsChecked(ID_SPEED50));
    EXPECT_FALSE(frame->GetToolBar()->IsShown());

    CloseWindow();
    EXPECT_EQ(ini, ReadIni()) << "an unchanged run writes the file back as it was";
}

TEST_F(SettingsTest, CheckMarksFollowTheDefaults)
{
    WriteIni("[Settings]\ntip=-1\n");
    StartQuietly();
    ASSERT_TRUE(frame != nullptr);
    wxMenuBar* bar = frame->GetMenuBar();
    EXPECT_TRUE(bar->IsChecked(ID_VIEWTOOLBAR));
    EXPECT_FALSE(bar->IsChecked(ID_SYNCTIMER));
    EXPECT_FALSE(bar->IsChecked(ID_TEXTWINDOW));
    EXPECT_TRUE(frame->GetToolBar()->IsShown());
}

TEST_F(SettingsTest, ClearingTheTipBoxStoresMinusOneAndLaterStartsShowNoTip)
{
    WriteIni("[Settings]\ntip=3\n");
    wxString tip;
    wxTEST_DIALOG(Start(), ExpectTip(false, &tip));
    EXPECT_EQ(wxString("Third tip of the test file."), tip);
    EXPECT_EQ(-1, theApp->options.tipIndex);
    CloseWindow();
    EXPECT_NE(std::string::npos, ReadIni().find("tip=-1\n"));

    StartQuietly(); // a tip dialog here fails the test
    ASSERT_TRUE(frame != nullptr);
    CloseWindow();
}

TEST_F(SettingsTest, TipsContinueWhereTheLastRunStopped)
{
    WriteIni("[Settings]\ntip=2\n");
    wxString tip;
    wxTEST_DIALOG(Start(), ExpectTip(true, &tip));
    EXPECT_EQ(wxString("Second tip of the test file."), tip);
    EXPECT_EQ(3, theApp->options.tipIndex);
}

TEST_F(SettingsTest, ExitClosesTheWindowAndSavesLikeClosingIt)
{
    WriteIni("[Settings]\ntip=-1\n");
    StartQuietly();
    ASSERT_TRUE(frame != nullptr);
    wxSize size = frame->GetSize();
    wxCommandEvent exitCommand(wxEVT_MENU, wxID_EXIT);
    exitCommand.SetEventObject(frame);
    frame->ProcessWindowEvent(exitCommand);
    Pump();
    EXPECT_EQ(0u, wxTopLevelWindows.GetCount());
    frame = nullptr;
    EXPECT_EQ(ExpectedIni(-1, size), ReadIni());
}

TEST_F(SettingsTest, DefaultWindowSizeIsWrittenBackAndRestored)
{
    WriteIni("[Settings]\ntip=-1\n");
    StartQuietly();
    wxSize first = frame->GetSize();
    EXPECT_GT(first.GetWidth(), 0);
    EXPECT_GT(first.GetHeight(), 0);
    CloseWindow();
    StartQuietly();
    EXPECT_EQ(first, frame->GetSize());
}

// The rules for malformed values are the options record's (see the unit
// tests); the font needs the toolkit, so its fallback is checked here.
TEST_F(SettingsTest, UnusableFontDescriptionsGiveTheSystemFont)
{
    WriteIni("[Settings]\ntip=-1\n");
    StartQuietly();
    ASSERT_TRUE(frame != nullptr);
    for (const char* ini : {"[Settings]\nlyricsfont=\n", "[Settings]\nlyricsfont=,,,\n"}) {
        SCOPED_TRACE(ini);
        WriteIni(ini);
        wxSize size;
        theApp->LoadSettings(&size);
        EXPECT_EQ(SystemFontText(), theApp->options.lyricsFont);
    }
}

TEST_F(SettingsTest, ADataFolderThatCannotBeMadeGivesDefaultsAndNoFile)
{
    wxString missing = home + "/no/such/home";
    setenv("HOME", missing.utf8_str().data(), 1);
    wxTEST_DIALOG(Start(), ExpectTip(true, nullptr));
    ASSERT_TRUE(frame != nullptr);
    EXPECT_TRUE(theApp->options.showToolbar);
    EXPECT_EQ(8, theApp->options.highlightTime);
    CloseWindow();
    // Only the last level is ever made (the desktop libraries may make the
    // home folder itself for their caches).
    EXPECT_FALSE(wxDirExists(missing + "/.lyrasil"));
}

} // namespace
