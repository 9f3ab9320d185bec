// The user guide's viewer: the shell command that opens the manual with
// the desktop's PDF program, found without a display.
//
// Where the program comes from, first match wins:
//   1. the mailcap file (RFC 1524; "/etc/mailcap" on a desktop): the first
//      entry for "application/pdf" or "application/*" (types compared case
//      blind; a bare "application" counts as "application/*") whose command
//      has a %s, that is marked neither needsterminal nor copiousoutput, and
//      whose test= command, if any, exits with status 0;
//   2. the toolkit's MIME-type manager (the desktop files' MimeType= lines);
//   3. xdg-open, when it is found in the search path.
// The manual's path reaches the command as one single-quoted shell word,
// whatever it holds (blanks, quotes, "$", backquotes), so the command, run
// by /bin/sh -c, opens exactly that file and runs nothing else.
#ifndef LYRASIL_HELPCMD_H
#define LYRASIL_HELPCMD_H

#include <string>
#include <vector>

#include <wx/string.h>

// Where the viewer is looked for.  The window uses SystemViewerLookup();
// tests point it at files of their own.
struct ViewerLookup {
    wxString mailcapPath;      // empty: no mailcap file
    bool useMimeTypes = false; // ask the toolkit's MIME-type manager
    wxString searchPath;       // ':'-separated folders searched for
                               // xdg-open; empty: no xdg-open
    int testTimeoutMs = 3000;  // a test= command running longer fails
};

// "/etc/mailcap", the MIME-type manager, and the PATH of the process.
ViewerLookup SystemViewerLookup();

// --- Mailcap entries ---------------------------------------------------------

struct MailcapEntry {
    wxString type;        // as written, blanks trimmed
    wxString command;     // the view command, still escaped as written
    bool needsTerminal = false;
    bool copiousOutput = false;
    wxString test;        // the test= command; empty: none
};

// The entries of a mailcap file's bytes, in file order.  Lines starting
// with "#" are comments, a line ending in "\" continues on the next one,
// fields are separated by ";" ("\;" is a semicolon inside a field), flag
// names are case blind.  A line without a command field is no entry.  Each
// line is read as UTF-8, or as ISO-8859-1 when it is not valid UTF-8.
std::vector<MailcapEntry> ParseMailcap(const std::string& bytes);

// True when the entry's type covers mimeType ("type/subtype", lower case):
// the same type, "type/*", or the bare "type".
bool MailcapTypeMatches(const wxString& entryType, const wxString& mimeType);

// The entry's command (or test command) with every %s replaced by path as
// one shell word and %t by the MIME type; "\;" and "\%" become ";" and "%",
// %{name} becomes nothing (the manual has no parameters).  A %s already
// inside '...' or "..." quotes of its own takes those quotes' place, so the
// path is never quoted twice.  Returns false, leaving *out alone, when
// requireFile is true and the text has no %s.
bool ExpandMailcapCommand(const wxString& command, const wxString& path, const wxString& mimeType,
                          bool requireFile, wxString* out);

// --- Shell words and paths ---------------------------------------------------

// text as one single-quoted word for /bin/sh: 'text', with each ' written
// as '\''.
wxString ShellQuote(const wxString& text);

// The full path of an executable file named name in one of the
// ':'-separated folders of searchPath (an empty folder is the current
// one); empty when there is none.
wxString FindOnSearchPath(const wxString& name, const wxString& searchPath);

// A file:// URL for an absolute path: bytes other than letters, digits,
// "/" and "-._~" are %-escaped from the path's UTF-8 form.
wxString FileUrl(const wxString& path);

// --- The user guide ------------------------------------------------------------

// The manual in the documentation folder, and its address for the About box.
wxString UserGuidePath(const wxString& docDir);
wxString UserGuideUrl(const wxString& docDir);

enum class HelpStatus { Ok, NoManual, NoViewer };

struct HelpCommand {
    HelpStatus status = HelpStatus::NoViewer;
    wxString command;     // with Ok: the command for /bin/sh -c
};

// The command that opens the manual at manualPath.  NoManual when that is
// not an existing regular file (nothing else is looked at then), NoViewer
// when no source of the lookup gives a usable program.
HelpCommand FindHelpCommand(const wxString& manualPath, const ViewerLookup& lookup);

#endif
