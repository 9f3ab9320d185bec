#include "lyrasilapp.h"

#include <sys/stat.h>

#include <wx/filefn.h>
#include <wx/settings.h>
#include <wx/stdpaths.h>
#include <wx/tipdlg.h>

#include "lyrasilframecode.h"
#include "startup.h"
#include "wxkeyvale.h"

#ifndef LYRASIL_DOCDIR_FROM_BINDIR
#define LYRASIL_DOCDIR_FROM_BINDIR ""
#endif

LyrasilApp* theApp = nullptr;

static const char kSettingsSection[] = "Settings";
static const char kPositionSection[] = "Position";
static const wxSize kFirstStartSize(640, 480);

LyrasilApp::LyrasilApp()
    : settings(nullptr), tipIndex(0), syncTimer(false), showToolbar(true),
      highlightTime(8), textWindow(false), previewWidth(320), previewHeight(240)
{
    // The data folder is named after the program, not after whatever the
    // executable happens to be called (~/.lyrasil).
    SetAppName("lyrasil");
}

LyrasilApp::~LyrasilApp()
{
    delete settings;
    if (theApp == this)
        theApp = nullptr;
}

bool LyrasilApp::OnInit()
{
    theApp = this;

    wxStandardPaths& paths = wxStandardPaths::Get();
    exeDir = wxPathOnly(paths.GetExecutablePath());
    userDir = paths.GetUserDataDir();
    docDir = FindDocDir(exeDir, LYRASIL_DOCDIR_FROM_BINDIR);

    // One level only; when it cannot be made, reads give the defaults and
    // the options are simply not kept.
    if (!wxDirExists(userDir))
        mkdir(userDir.utf8_str(), 0777);

    delete settings;
    settings = new Keyvale(userDir + "/lyrasil.ini");

    wxSize frameSize;
    LoadSettings(&frameSize);
    // No stored size (the first start): the toolkit's default frame is too
    // narrow for the table's two columns, so open at a size that shows them.
    if (frameSize == wxDefaultSize)
        frameSize = kFirstStartSize;

    LyrasilFrameCode* frame = new LyrasilFrameCode(kProgramName, frameSize);
    frame->Show(true);

    if (tipIndex >= 0) {
        frame->Update();
        wxTipProvider* tips = wxCreateFileTipProvider(docDir + "/lyrasil.tips", tipIndex);
        if (wxShowTip(frame, tips, true))
            tipIndex = SettingToInt(static_cast<long>(tips->GetCurrentTip()), 0);
        else
            tipIndex = -1;
        delete tips;
    }
    return true;
}

void LyrasilApp::LoadSettings(wxSize* frameSize)
{
    tipIndex = SettingToInt(settings->getl(kSettingsSection, "tip", 0), 0);
    syncTimer = settings->getbool(kSettingsSection, "synctimer", false);
    showToolbar = settings->getbool(kSettingsSection, "toolbar", true);
    textWindow = settings->getbool(kSettingsSection, "textwindow", false);
    highlightTime = SettingToInt(settings->getl(kSettingsSection, "highlight", 8), 8);

    lyricsFont = wxSystemSettings::GetFont(wxSYS_ANSI_VAR_FONT);
    wxString fontText = settings->gets(kSettingsSection, "lyricsfont", wxEmptyString);
    if (!fontText.empty()) {
        wxFont font(lyricsFont);
        // A description the toolkit cannot use keeps the system font.
        if (font.SetNativeFontInfo(fontText) && font.IsOk())
            lyricsFont = font;
    }

    int width = 320, height = 240;
    ParseSizeText(settings->gets(kPositionSection, "preview", wxEmptyString), width, height);
    previewWidth = width;
    previewHeight = height;

    width = -1;
    height = -1;
    ParseSizeText(settings->gets(kPositionSection, "frame", wxEmptyString), width, height);
    *frameSize = wxSize(width, height);
}

void LyrasilApp::SaveSettings(const wxSize& frameSize)
{
    settings->put(kSettingsSection, "tip", tipIndex);
    settings->put(kSettingsSection, "synctimer", syncTimer);
    settings->put(kSettingsSection, "toolbar", showToolbar);
    settings->put(kSettingsSection, "textwindow", textWindow);
    settings->put(kSettingsSection, "highlight", highlightTime);
    settings->put(kSettingsSection, "lyricsfont", lyricsFont.GetNativeFontInfoDesc());
    settings->put(kPositionSection, "frame", FormatSizeText(frameSize.GetWidth(), frameSize.GetHeight()));
    settings->put(kPositionSection, "preview", FormatSizeText(previewWidth, previewHeight));
}
