// The editor's application object: finds the program's folders, restores
// the options from "lyrasil.ini", opens the main window and offers the tip
// of the day.  It owns the options for the whole run and hands the main
// window a reference to them; they are written back only when the main
// window closes in an orderly way.
#ifndef LYRASIL_LYRASILAPP_H
#define LYRASIL_LYRASILAPP_H

#include <wx/app.h>
#include <wx/gdicmn.h>
#include <wx/string.h>

#include "options.h"

class Keyvale;

class LyrasilApp : public wxApp {
public:
    LyrasilApp();
    ~LyrasilApp() override;

    bool OnInit() override;

    // Reads every option into `options` and the main window's initial size
    // into *frameSize (-1 -1: the toolkit's default size).  A font
    // description the toolkit cannot use becomes the system font's.
    void LoadSettings(wxSize* frameSize);

    Keyvale* settings;       // the settings file, userDir + "/lyrasil.ini"
    Options options;         // what the settings file keeps; the main window
                             // reads and changes it through a reference
    wxString exeDir;         // folder of the executable
    wxString docDir;         // tips file and manual
    wxString userDir;        // the user's data folder
};

extern LyrasilApp* theApp;


#endif
