// Options and help: the toolbar, the stopwatch, the highlight duration, the
// stamp lead, the lyrics view and its font; the user guide, the tips and the About box.
#include "lyrasilframecode.h"

#include <algorithm>

#include <wx/aboutdlg.h>
#include <wx/fontdlg.h>
#include <wx/textdlg.h>
#include <wx/tipdlg.h>
#include <wx/utils.h>

#include "aboutinfo.h"
#include "helpcmd.h"
#include "lyricsfont.h"
#include "notices.h"
#include "startup.h"

void LyrasilFrameCode::OnViewToolbar(wxCommandEvent&)
{
    options.showToolbar = !options.showToolbar;
    menuBar->Check(ID_VIEWTOOLBAR, options.showToolbar);
    toolBar->Show(options.showToolbar);
    Layout();
}

void LyrasilFrameCode::OnSyncTimer(wxCommandEvent&)
{
    // The playback code reads the option whenever it needs the time.
    options.syncTimer = !options.syncTimer;
    menuBar->Check(ID_SYNCTIMER, options.syncTimer);
    transport.UseStopwatch(options.syncTimer);
}

void LyrasilFrameCode::OnUslt(wxCommandEvent&)
{
    // Read by the next save.
    options.uslt = !options.uslt;
    menuBar->Check(ID_USLT, options.uslt);
}

void LyrasilFrameCode::OnHighlightTime(wxCommandEvent&)
{
    wxString answer = wxGetTextFromUser("Duration in seconds", "Highlight duration",
                                        FormatHighlightTime(options.highlightTime), nullptr, wxDefaultCoord,
                                        wxDefaultCoord, true);
    // Cancel gives the empty text, which is no number either.
    int tenths = 0;
    if (ParseHighlightTime(answer, &tenths))
        options.highlightTime = tenths;
}

void LyrasilFrameCode::OnStampLead(wxCommandEvent&)
{
    Notice prompt = StampLeadPrompt();
    wxTextEntryDialog entry(this, prompt.text, prompt.caption, wxString::Format("%d", options.stampLead),
                            prompt.style);
    if (entry.ShowModal() != wxID_OK)
        return;
    int lead = 0;
    if (!ParseStampLead(entry.GetValue(), &lead)) {
        ShowNotice(InvalidStampLeadNotice());
        return;
    }
    options.stampLead = lead;
}

void LyrasilFrameCode::OnTextWindowSelect(wxCommandEvent&)
{
    // Switching the view on takes effect at the next Play.
    options.textWindow = !options.textWindow;
    menuBar->Check(ID_TEXTWINDOW, options.textWindow);
    if (!options.textWindow)
        RestoreTableView();
}

void LyrasilFrameCode::OnLyricsFont(wxCommandEvent&)
{
    wxFont font = wxGetFontFromUser(this, LyricsFont(options.lyricsFont), "Lyrics font");
    // Cancel returns a font that is not Ok.
    if (font.IsOk())
        options.lyricsFont = font.GetNativeFontInfoDesc();
}

void LyrasilFrameCode::OnHelp(wxCommandEvent&)
{
    wxString manual = UserGuidePath(docDir);
    HelpCommand help = FindHelpCommand(manual, viewerLookup);
    if (help.status == HelpStatus::NoManual) {
        ShowNotice(UserGuideMissingNotice(manual));
        return;
    }
    if (help.status == HelpStatus::NoViewer) {
        ShowNotice(NoPdfViewerNotice(manual));
        return;
    }
    // The command is shell text with the path quoted in it; the viewer runs
    // on without the editor waiting for it.
    wxScopedCharBuffer command = help.command.utf8_str();
    const char* argv[] = {"/bin/sh", "-c", command.data(), nullptr};
    wxExecute(argv, wxEXEC_ASYNC);
}

void LyrasilFrameCode::OnTips(wxCommandEvent&)
{
    // With the start-up tips off (-1) the dialog starts at the first tip.
    size_t first = static_cast<size_t>(std::max(options.tipIndex, 0));
    wxTipProvider* tips = wxCreateFileTipProvider(docDir + "/lyrasil.tips", first);
    if (wxShowTip(this, tips, true))
        options.tipIndex = SettingToInt(static_cast<long>(tips->GetCurrentTip()), 0);
    else
        options.tipIndex = -1;
    delete tips;
}

void LyrasilFrameCode::OnAbout(wxCommandEvent&)
{
    wxAboutBox(MakeAboutInfo(docDir));
}
