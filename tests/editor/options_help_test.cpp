// The Options and Help menus in the real window: the check items, the
// highlight duration, the lyrics view switch, the lyrics font, the tips,
// the user guide with a stand-in viewer, the About box's contents, and
// every option reaching the settings file at close.
#include "guitest.h"

#include <memory>

#include <sys/stat.h>

#include <wx/filename.h>
#include <wx/fontdlg.h>

#include "aboutinfo.h"
#include "helpcmd.h"
#include "lyrasilapp.h"
#include "lyrasilframecode.h"
#include "notices.h"
#include "wxkeyvale.h"

namespace {

// "Lyrics view font...": records the font it starts from and chooses font.
class ExpectFont : public wxExpectModalBase<wxFontDialog, ExpectFont> {
public:
    ExpectFont(const wxFont& font, wxString* initial) : m_font(font), m_initial(initial) {}

protected:
    int OnInvoked(wxFontDialog* dlg) const override
    {
        EXPECT_EQ(wxString("Lyrics font"), dlg->GetTitle());
        *m_initial = dlg->GetFontData().GetInitialFont().GetNativeFontInfoDesc();
        dlg->GetFontData().SetChosenFont(m_font);
        return wxID_OK;
    }
    wxString GetDefaultDescription() const override { return "font dialog"; }

    wxFont m_font;
    wxString* m_initial;
};

class OptionsHelpTest : public EditorTest {
protected:
    void StartWith(const std::string& ini)
    {
        WriteIni(ini);
        StartQuietly();
        ASSERT_TRUE(frame != nullptr);
    }
    bool Checked(int id) const { return frame->GetMenuBar()->IsChecked(id); }
    Options& Opts() const { return theApp->options; }
};

TEST_F(OptionsHelpTest, CheckItemsToggleTheirOptionAndMark)
{
    // From the defaults, and from the opposite values in the settings file.
    for (const char* ini : {"[Settings]\ntip=-1\n", "[Settings]\ntip=-1\ntoolbar=0\nsynctimer=1\ntextwindow=1\n"}) {
        StartWith(ini);
        struct Item {
            int id;
            bool* option;
        } items[] = {{ID_VIEWTOOLBAR, &Opts().showToolbar},
                     {ID_SYNCTIMER, &Opts().syncTimer},
                     {ID_TEXTWINDOW, &Opts().textWindow}};
        int gridTop = Grid()->GetScreenPosition().y;
        for (const Item& item : items) {
            const bool before = *item.option;
            EXPECT_EQ(before, Checked(item.id)) << "id " << item.id << " follows the settings";
            for (bool expected : {!before, before}) {
                Command(item.id);
                Pump();
                EXPECT_EQ(expected, *item.option) << "id " << item.id;
                EXPECT_EQ(expected, Checked(item.id)) << "id " << item.id;
                if (item.id == ID_VIEWTOOLBAR) {
                    EXPECT_EQ(expected, frame->GetToolBar()->IsShown());
                    // The table moves up into the toolbar's place and back.
                    EXPECT_EQ(expected == before, Grid()->GetScreenPosition().y == gridTop);
                }
            }
        }
        CloseWindow();
        wxRemoveFile(IniPath());
    }
}

TEST_F(OptionsHelpTest, HighlightDurationIsAskedInSecondsAndStoredInTenths)
{
    StartWith("[Settings]\ntip=-1\n");
    struct Step {
        const char* answer;
        int id;
        const char* shown; // what the dialog offers
        int stored;        // tenths afterwards
    } steps[] = {
        {"1.25", wxID_OK, "0.8", 12},  // truncated toward zero
        {"abc", wxID_OK, "1.2", 12},   // not a number: nothing stored
        {"2 s", wxID_OK, "1.2", 12},   // something after the number
        {"3", wxID_CANCEL, "1.2", 12}, // Cancel: nothing stored
        {"", wxID_OK, "1.2", 12},
        {"1e10", wxID_OK, "1.2", 12},  // tenths beyond int
        {"1,5", wxID_OK, "1.2", 12},   // the C locale's point only
        {" 0.85", wxID_OK, "1.2", 8},
        {"-0.5", wxID_OK, "0.8", -5},  // stored as given: lasts to the next row
        {"0", wxID_OK, "-0.5", 0},
    };
    for (const Step& s : steps) {
        wxString shown;
        wxTEST_DIALOG(Command(ID_HIGHLIGHTTIME), ExpectEntry("Highlight duration", "Duration in seconds", s.answer, s.id, &shown));
        EXPECT_EQ(wxString(s.shown), shown) << "before answering " << s.answer;
        EXPECT_EQ(s.stored, Opts().highlightTime) << "after answering " << s.answer;
    }
}

TEST_F(OptionsHelpTest, SwitchingTheLyricsViewOffAfterPlaybackBringsTheTableBack)
{
    StartWith("[Settings]\ntip=-1\ntextwindow=1\n");
    // As playback in lyrics-view mode leaves the window.
    Grid()->Hide();
    LyricsView()->Show();
    frame->Layout();

    Command(ID_TEXTWINDOW);
    EXPECT_FALSE(Opts().textWindow);
    EXPECT_TRUE(Grid()->IsShown());
    EXPECT_FALSE(LyricsView()->IsShown());
    wxRect tableRect = Grid()->GetRect();

    // Switching it on again changes nothing until the next Play.
    Command(ID_TEXTWINDOW);
    EXPECT_TRUE(Opts().textWindow);
    EXPECT_TRUE(Grid()->IsShown());
    EXPECT_FALSE(LyricsView()->IsShown());
    EXPECT_EQ(tableRect, Grid()->GetRect());
}

TEST_F(OptionsHelpTest, CancellingTheFontDialogKeepsTheChosenFont)
{
    StartWith("[Settings]\ntip=-1\n");
    wxString initial;
    wxFont serif(wxFontInfo(14).Family(wxFONTFAMILY_ROMAN).Bold());
    ASSERT_TRUE(serif.IsOk());
    wxTEST_DIALOG(Command(ID_LYRICSFONT), ExpectFont(serif, &initial));
    EXPECT_EQ(SystemFontText(), initial);
    EXPECT_EQ(serif.GetNativeFontInfoDesc(), Opts().lyricsFont);

    wxTEST_DIALOG(Command(ID_LYRICSFONT), wxExpectDismissableModal<wxFontDialog>(wxID_CANCEL));
    EXPECT_EQ(serif.GetNativeFontInfoDesc(), Opts().lyricsFont);

    // The next dialog starts from the kept font.
    wxTEST_DIALOG(Command(ID_LYRICSFONT), ExpectFont(serif, &initial));
    EXPECT_EQ(serif.GetNativeFontInfoDesc(), initial);
}

TEST_F(OptionsHelpTest, TipsTurnedOffAtStartAndOnAgainFromTheHelpMenu)
{
    // The test tips file: a comment line, then three tips (lines 1 to 3).
    WriteIni("[Settings]\ntip=1\n");
    wxString tip;
    wxTEST_DIALOG(Start(), ExpectTip(false, &tip));
    EXPECT_EQ(wxString("First tip of the test file."), tip);
    EXPECT_EQ(-1, Opts().tipIndex);

    // Off: the menu still shows the tips, from the first one, and a ticked
    // box turns the start-up tips on again.
    wxTEST_DIALOG(Command(ID_TIPS), ExpectTip(true, &tip));
    EXPECT_EQ(wxString("First tip of the test file."), tip);
    EXPECT_EQ(2, Opts().tipIndex);
    wxTEST_DIALOG(Command(ID_TIPS), ExpectTip(true, &tip));
    EXPECT_EQ(wxString("Second tip of the test file."), tip);
    EXPECT_EQ(3, Opts().tipIndex);
    CloseWindow();

    // The next start continues with the following tip.
    wxTEST_DIALOG(Start(), ExpectTip(false, &tip));
    EXPECT_EQ(wxString("Third tip of the test file."), tip);
    CloseWindow();
    EXPECT_NE(std::string::npos, ReadIni().find("tip=-1\n"));
}

TEST_F(OptionsHelpTest, EveryOptionReachesTheSettingsFileAtClose)
{
    StartWith("[Settings]\ntip=-1\n");
    Command(ID_VIEWTOOLBAR);
    Command(ID_SYNCTIMER);
    Command(ID_TEXTWINDOW);
    wxString shown, initial;
    wxTEST_DIALOG(Command(ID_HIGHLIGHTTIME), ExpectEntry("Highlight duration", "Duration in seconds", "1.5", wxID_OK, &shown));
    wxFont serif(wxFontInfo(14).Family(wxFONTFAMILY_ROMAN).Bold());
    wxTEST_DIALOG(Command(ID_LYRICSFONT), ExpectFont(serif, &initial));
    wxString tip;
    wxTEST_DIALOG(Command(ID_TIPS), ExpectTip(true, &tip));
    Command(ID_SPEED75);
    Command(ID_USLT);
    wxTEST_DIALOG(Command(ID_STAMPLEAD), ExpectEntry(StampLeadPrompt().caption, StampLeadPrompt().text, "120"));
    wxSize size = frame->GetSize();
    CloseWindow();
    EXPECT_EQ("[Settings]\n"
              "tip=2\n"
              "synctimer=1\n"
              "toolbar=0\n"
              "textwindow=1\n"
              "highlight=15\n"
              "lyricsfont=" + std::string(serif.GetNativeFontInfoDesc().utf8_str().data()) + "\n"
              "speed=75\n"
              "stamplead=120\n"
              "uslt=1\n"
              "[Position]\n"
              "frame=" + std::to_string(size.GetWidth()) + " " + std::to_string(size.GetHeight()) + "\n"
              "preview=320 240\n",
              ReadIni());
}

// Help > User Guide on a window of the test's own, whose documentation
// folder has blanks, quotes and "$" in its name, with a stand-in viewer
// that records its arguments.
class UserGuideTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        record = Scratch("argv");
        viewer = Scratch("viewer");
        WriteFile(viewer, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > " +
                              std::string(ShellQuote(record).utf8_str().data()) + ".new && mv " +
                              std::string(ShellQuote(record + ".new").utf8_str().data()) + " " +
                              std::string(ShellQuote(record).utf8_str().data()) + "\n");
        chmod(viewer.utf8_str(), 0755);
        docDir = Scratch("it's my \"docs\" $HOME");
        ASSERT_TRUE(wxFileName::Mkdir(docDir, 0755));
        settings.reset(new Keyvale(Scratch("lyrasil.ini")));
        frame = new LyrasilFrameCode("Lyrasil", wxSize(640, 480), options, *settings, docDir);
        frame->Show();
        lookup.mailcapPath = Scratch("mailcap");
        frame->SetViewerLookup(lookup);
        Pump();
    }

    wxString record, viewer, docDir;
    Options options;
    std::unique_ptr<Keyvale> settings;
    ViewerLookup lookup; // no desktop files, no xdg-open
};

TEST_F(UserGuideTest, HelpStartsTheViewerOnTheManualOrSaysWhyNot)
{
    wxString manual = docDir + "/lyrasil.pdf";
    WriteFile(lookup.mailcapPath, "application/pdf; " + std::string(ShellQuote(viewer).utf8_str().data()) +
                                      " %s; test=test -r %s\n");

    // No manual yet.
    wxTEST_DIALOG(Command(wxID_HELP),
                  ExpectNotice("The user guide \"" + manual + "\" cannot be opened: it is not installed."));

    // The manual, but no usable viewer.
    WriteFile(manual, "%PDF-1.4\n");
    WriteFile(lookup.mailcapPath, "application/pdf; less %s; needsterminal\n");
    wxTEST_DIALOG(Command(wxID_HELP),
                  ExpectNotice("The user guide \"" + manual +
                               "\" cannot be opened: no program for PDF files is registered."));

    // Both: the viewer gets exactly the path, and the editor does not wait.
    WriteFile(lookup.mailcapPath, "application/pdf; " + std::string(ShellQuote(viewer).utf8_str().data()) +
                                      " %s; test=test -r %s\n");
    Pump(100);
    EXPECT_FALSE(wxFileExists(record)) << "nothing was started before";
    Command(wxID_HELP);
    ASSERT_TRUE(PumpUntil([&] { return wxFileExists(record); }));
    EXPECT_EQ(std::string(manual.utf8_str().data()) + '\0', ReadFile(record));
}

TEST_F(UserGuideTest, AboutBoxNamesTheProgramAndLinksTheUserGuide)
{
    wxAboutDialogInfo info = MakeAboutInfo(docDir);
    EXPECT_EQ(wxString("Lyrasil"), info.GetName());
    EXPECT_EQ(wxString("1.1.5099"), info.GetVersion());
    EXPECT_EQ(wxString("A utility to create or change SYLT frames in an ID3 tag of an MP3 track."),
              info.GetDescription());
    EXPECT_EQ(wxString::FromUTF8("Copyright \xC2\xA9 2026 The Lyrasil developers"), info.GetCopyright());
    ASSERT_TRUE(info.HasWebSite());
    EXPECT_EQ(UserGuideUrl(docDir), info.GetWebSiteURL());
    EXPECT_TRUE(info.GetWebSiteURL().StartsWith("file://" + Scratch("it%27s%20my%20%22docs%22%20%24HOME")));
    ASSERT_TRUE(info.HasIcon());
    EXPECT_EQ(48, info.GetIcon().GetWidth());
    EXPECT_EQ(48, info.GetIcon().GetHeight());
}

} // namespace
