// The editor's application object: finds the program's folders, restores
// the options from "lyrasil.ini", opens the main window and offers the tip
// of the day.  It keeps the options for the whole run; the main window reads
// and changes them through theApp, and they are written back only when the
// main window closes in an orderly way.
#ifndef LYRASIL_LYRASILAPP_H
#define LYRASIL_LYRASILAPP_H

#include <wx/app.h>
#include <wx/font.h>
#include <wx/gdicmn.h>
#include <wx/string.h>

class Keyvale;

class LyrasilApp : public wxApp {
public:
    LyrasilApp();
    ~LyrasilApp() override;

    bool OnInit() override;

    // Reads every option into the fields below and the main window's
    // initial size into *frameSize (-1 -1: the toolkit's default size).
    void LoadSettings(wxSize* frameSize);
    // Writes every option, and frameSize as the main window's size.
    void SaveSettings(const wxSize& frameSize);

    Keyvale* settings;       // the settings file, userDir + "/lyrasil.ini"
    int tipIndex;            // next tip of the day; -1: no tips at start-up
    wxString exeDir;         // folder of the executable
    wxString docDir;         // tips file and manual
    wxString userDir;        // the user's data folder
    bool syncTimer;          // stamps from the stopwatch, not the media position
    bool showToolbar;
    int highlightTime;       // tenths of a second
    bool textWindow;         // lyrics view while playing
    wxFont lyricsFont;
    int previewWidth;        // the verification preview dialog's size
    int previewHeight;
};

extern LyrasilApp* theApp;

#endif
