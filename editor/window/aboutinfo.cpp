#include "aboutinfo.h"

#include <wx/icon.h>

#include "helpcmd.h"
#include "images/about.xpm"
#include "lyrasil_version.h"
#include "startup.h"

wxAboutDialogInfo MakeAboutInfo(const wxString& docDir)
{
    wxAboutDialogInfo info;
    info.SetName(kProgramName);
    info.SetVersion(LYRASIL_FULL_VERSION);
    info.SetDescription("A utility to create or change SYLT frames in an ID3 tag of an MP3 track.");
    info.SetCopyright(wxString::FromUTF8("Copyright \xC2\xA9 2026 The Lyrasil developers"));
    info.SetIcon(wxIcon(about_xpm));
    // There is no web site: the link opens the installed user guide.
    info.SetWebSite(UserGuideUrl(docDir));
    return info;
}
