// The lyrics view's font, kept in the options as the toolkit's native
// description text.
#ifndef LYRASIL_LYRICSFONT_H
#define LYRASIL_LYRICSFONT_H

#include <wx/font.h>
#include <wx/string.h>

// The font of a stored description; the system's variable-width font when
// it is empty or the toolkit cannot use it.
wxFont LyricsFont(const wxString& description);

#endif
