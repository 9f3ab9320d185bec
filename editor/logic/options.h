// The editor's options: the values the settings file "lyrasil.ini" keeps,
// in one record that the application owns for the whole run and hands to
// the main window by reference.  Loading and saving go through Keyvale; no
// window is needed, so the unit tests reach every rule here.
//
// The file's sections and keys, with the defaults of a missing or unusable
// value:
//   [Settings] tip=0  synctimer=0  toolbar=1  textwindow=0  highlight=8
//              lyricsfont=   (empty: the system font)
//              speed=100     (percent: 100, 75 or 50)
//              stamplead=0   (milliseconds, 0 to 1000)
//              uslt=0        (a save also writes the lyrics as LRC text)
//   [Position] frame=  (none: the toolkit's default size)  preview=320 240
// Booleans are judged by their first character, numbers by their leading
// digits; a number beyond int, and a size side outside 1..32767, keeps
// its default.
#ifndef LYRASIL_OPTIONS_H
#define LYRASIL_OPTIONS_H

#include <wx/string.h>

class Keyvale;

struct Options {
    int tipIndex = 0;          // next tip of the day; -1: no tips at start-up
    bool syncTimer = false;    // stamps from the stopwatch, not the media position
    bool showToolbar = true;
    int highlightTime = 8;     // tenths of a second, which are timer ticks
    bool textWindow = false;   // lyrics view while playing
    wxString lyricsFont;       // the toolkit's native font description; empty: system font
    int speed = 100;           // playback speed, percent of the track's own
    int stampLead = 0;         // ms taken off a space-bar stamp
    bool uslt = false;         // a save also writes a USLT frame (the LRC text)
    int previewWidth = 320;    // the verification preview dialog's size
    int previewHeight = 240;
    int frameWidth = -1;       // the main window's size; -1: the toolkit's default
    int frameHeight = -1;

    // Reads every key, in the order of the file written from scratch; a
    // missing file gives the defaults above.
    void Load(const Keyvale& settings);
    // Writes every key in that order, each by one update of the file (an
    // unchanged value leaves the file untouched).  Returns false when any
    // write failed (the file then keeps what it had for that key).
    bool Save(const Keyvale& settings) const;
};

// The highlight duration as the Options menu shows it: tenths as seconds
// with one decimal ("0.8"), always with a point, whatever the locale.
wxString FormatHighlightTime(int tenths);

// Reads an answer to "Duration in seconds": a decimal number in the C
// locale (blanks before it allowed, nothing after it), times ten, truncated
// toward zero.  Returns false, leaving *tenths alone, for anything else:
// empty text, other characters, "inf"/"nan", or a value beyond int.
bool ParseHighlightTime(const wxString& text, int* tenths);

// Reads an answer to the stamp lead's question: a whole number of
// milliseconds from 0 to kMaxStampLeadMs, in the C locale, blanks around it
// allowed (a fraction is cut off: "150.7" is 150).  Returns false, leaving
// *ms alone, for anything else.
bool ParseStampLead(const wxString& text, int* ms);

#endif
