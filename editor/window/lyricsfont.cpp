#include "lyricsfont.h"

#include <wx/settings.h>

wxFont LyricsFont(const wxString& description)
{
    wxFont system = wxSystemSettings::GetFont(wxSYS_ANSI_VAR_FONT);
    if (description.empty())
        return system;
    wxFont font(system);
    // A description the toolkit cannot use keeps the system font.
    if (font.SetNativeFontInfo(description) && font.IsOk())
        return font;
    return system;
}
