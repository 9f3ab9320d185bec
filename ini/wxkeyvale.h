/*
 * wxkeyvale.h - the INI library (keyvale.h) for wxWidgets strings.
 *
 * A Keyvale binds one INI file.  Every call converts its strings to UTF-8,
 * calls one C function and converts the result back; nothing is cached, so
 * every call opens and scans the file again.  The file therefore holds UTF-8
 * text, and its name reaches fopen as UTF-8 bytes.
 *
 * A bool is stored as the text 1 or 0 and read back by getbool through the
 * first character (1/0, y/n, t/f in either case).  Numbers are stored in
 * decimal; getl also reads hexadecimal with an 0x prefix.  Reads return their
 * defaults when the file or the key is missing; put returns false when the
 * file cannot be created, written or replaced (it is then left as it was).
 */
#ifndef LYRASIL_WXKEYVALE_H
#define LYRASIL_WXKEYVALE_H

#include <wx/string.h>

class Keyvale {
public:
    explicit Keyvale(const wxString& fileName);

    bool getbool(const wxString& section, const wxString& key, bool def) const;
    long getl(const wxString& section, const wxString& key, long def) const;
    // A key present with an empty value gives "", not def.  Values are cut
    // at 511 UTF-8 bytes (at a character boundary).
    wxString gets(const wxString& section, const wxString& key, const wxString& def) const;

    bool put(const wxString& section, const wxString& key, int value) const;
    bool put(const wxString& section, const wxString& key, long value) const;
    bool put(const wxString& section, const wxString& key, bool value) const;
    bool put(const wxString& section, const wxString& key, const wxString& value) const;
    // Without these a string literal would convert to bool, not to wxString.
    bool put(const wxString& section, const wxString& key, const char* value) const;
    bool put(const wxString& section, const wxString& key, const wchar_t* value) const;

private:
    wxString fileName;
};

#endif
