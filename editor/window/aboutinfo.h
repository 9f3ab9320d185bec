// The contents of Help > About, built apart from the box itself so that the
// tests can read them (the toolkit's About box on GTK is modeless and
// cannot be caught).
#ifndef LYRASIL_ABOUTINFO_H
#define LYRASIL_ABOUTINFO_H

#include <wx/aboutdlg.h>
#include <wx/string.h>

// Name, version, description, copyright, the 48 x 48 icon, and as web site
// a file:// link to the user guide in docDir (with an empty description).
wxAboutDialogInfo MakeAboutInfo(const wxString& docDir);

#endif
