#include "lyrasilapp.h"

#include <sys/stat.h>

#include <wx/filefn.h>
#include <wx/settings.h>
#include <wx/stdpaths.h>
#include <wx/tipdlg.h>

#include "lyricsfont.h"
#include "lyrasilframecode.h"
#include "startup.h"
#include "wxkeyvale.h"

#ifndef LYRASIL_DOCDIR_FROM_BINDIR
#define LYRASIL_DOCDIR_FROM_BINDIR ""
#endif

LyrasilApp* theApp = nullptr;

static const wxSize kFirstStartSize(640, 480);

LyrasilApp::LyrasilApp()
    : settings(nullptr)
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

    LyrasilFrameCode* frame = new LyrasilFrameCode(kProgramName, frameSize, options, *settings, docDir);
    frame->Show(true);

    if (options.tipIndex >= 0) {
        frame->Update();
        wxTipProvider* tips = wxCreateFileTipProvider(docDir + "/lyrasil.tips", options.tipIndex);
        if (wxShowTip(frame, tips, true))
            options.tipIndex = SettingToInt(static_cast<long>(tips->GetCurrentTip()), 0);
        else
            options.tipIndex = -1;
        delete tips;
    }

    // lyrasil [TRACK]: the track opens as File > Open opens it after its
    // dialog (the toolkit has taken its own options out of argv).
    if (argc >= 2)
        frame->OpenTrack(TrackArgument(argv[1], wxGetCwd()));
    return true;
}

void LyrasilApp::LoadSettings(wxSize* frameSize)
{
    options.Load(*settings);
    options.lyricsFont = LyricsFont(options.lyricsFont).GetNativeFontInfoDesc();
    *frameSize = wxSize(options.frameWidth, options.frameHeight);
}
