// Options and help: the toolbar, the stopwatch, the highlight duration, the
// lyrics view and its font; the user guide, the tips and the About box.
#include "lyrasilframecode.h"

void LyrasilFrameCode::OnViewToolbar(wxCommandEvent&) {}
void LyrasilFrameCode::OnSyncTimer(wxCommandEvent&) {}
void LyrasilFrameCode::OnHighlightTime(wxCommandEvent&) {}
void LyrasilFrameCode::OnTextWindowSelect(wxCommandEvent&) {}
void LyrasilFrameCode::OnLyricsFont(wxCommandEvent&) {}
void LyrasilFrameCode::OnHelp(wxCommandEvent&) {}
void LyrasilFrameCode::OnTips(wxCommandEvent&) {}
void LyrasilFrameCode::OnAbout(wxCommandEvent&) {}
