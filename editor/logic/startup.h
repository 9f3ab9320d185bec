// Start-up rules of the editor that need no display: where the
// documentation lies, how window sizes are kept in the settings file, and
// the window title.  Plain functions on wxString (wx base only), so the unit
// tests reach them without a window.
#ifndef LYRASIL_STARTUP_H
#define LYRASIL_STARTUP_H

#include <wx/string.h>

// Name of the program: window title, settings folder, desktop files.
extern const wxString kProgramName;

// The documentation folder for an executable in exeDir, first match wins:
//   1. the "doc" folder beside exeDir (for /usr/local/bin: /usr/local/doc);
//   2. exeDir + "/doc";
//   3. installedRel resolved against exeDir, when it is not empty and names
//      an existing folder (the install tree's share/doc/... seen from bin/);
//   4. exeDir itself, without a test.
wxString FindDocDir(const wxString& exeDir, const wxString& installedRel);

// A "%d %d" size text (width, one space, height) as stored in the settings.
// The part before the first space gives the width, the part after it the
// height, each by its leading decimal number.  A part that gives no number
// from 1 to kMaxWindowSide keeps that side's default, so a damaged entry can
// never make a window vanish (0 high) or overflow.
const long kMaxWindowSide = 32767;
void ParseSizeText(const wxString& text, int& width, int& height);

// The inverse of ParseSizeText: "%d %d".
wxString FormatSizeText(int width, int height);

// A number read from the settings as an int; values beyond int keep def.
int SettingToInt(long value, int def);

// "Lyrasil" with no track, else "Lyrasil - " and the track's file name
// (the part behind the last "/", all of it when there is none).
wxString MakeWindowTitle(const wxString& trackPath);

// The track named on the command line, made absolute against cwd so that
// the document's folder is a real one.
wxString TrackArgument(const wxString& arg, const wxString& cwd);
// A window size as the settings file can restore it: each side brought
// into 1..kMaxWindowSide.
void ClampWindowSize(int& width, int& height);

#endif
