#include "wxkeyvale.h"

#include <cstring>

#include "keyvale.h"

namespace {

// Text read from the file.  A value cut at 511 bytes may end inside a UTF-8
// character, and wxString::FromUTF8 would turn the whole value into "": the
// incomplete character is dropped.  Text that is not UTF-8 otherwise (a file
// edited in Latin-1) is taken as Latin-1 rather than lost.
wxString FromStored(const char* text)
{
    const size_t len = std::strlen(text);
    wxString result = wxString::FromUTF8(text, len);
    if (!result.empty() || len == 0)
        return result;

    size_t start = len;
    while (start > 0 && len - start < 3 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80)
        start--;
    if (start > 0 && static_cast<unsigned char>(text[start - 1]) >= 0xC0) {
        size_t cut = start - 1;
        bool multibyte = false;
        for (size_t i = 0; i < cut; i++)
            multibyte = multibyte || static_cast<unsigned char>(text[i]) >= 0x80;
        result = wxString::FromUTF8(text, cut);
        if (multibyte && !result.empty())
            return result;
    }
    return wxString(text, wxConvISO8859_1, len);
}

} // namespace

Keyvale::Keyvale(const wxString& fileName)
    : fileName(fileName)
{
}

bool Keyvale::getbool(const wxString& section, const wxString& key, bool def) const
{
    return ini_getbool(section.utf8_str(), key.utf8_str(), def ? 1 : 0, fileName.utf8_str()) != 0;
}

long Keyvale::getl(const wxString& section, const wxString& key, long def) const
{
    return ini_getl(section.utf8_str(), key.utf8_str(), def, fileName.utf8_str());
}

wxString Keyvale::gets(const wxString& section, const wxString& key, const wxString& def) const
{
    char buffer[512];
    ini_gets(section.utf8_str(), key.utf8_str(), def.utf8_str(), buffer, sizeof buffer, fileName.utf8_str());
    return FromStored(buffer);
}

bool Keyvale::put(const wxString& section, const wxString& key, int value) const
{
    return put(section, key, static_cast<long>(value));
}

bool Keyvale::put(const wxString& section, const wxString& key, long value) const
{
    return ini_putl(section.utf8_str(), key.utf8_str(), value, fileName.utf8_str()) != 0;
}

bool Keyvale::put(const wxString& section, const wxString& key, bool value) const
{
    return put(section, key, value ? 1L : 0L);
}

bool Keyvale::put(const wxString& section, const wxString& key, const wxString& value) const
{
    return ini_puts(section.utf8_str(), key.utf8_str(), value.utf8_str(), fileName.utf8_str()) != 0;
}

bool Keyvale::put(const wxString& section, const wxString& key, const char* value) const
{
    return put(section, key, wxString::FromUTF8(value));
}

bool Keyvale::put(const wxString& section, const wxString& key, const wchar_t* value) const
{
    return put(section, key, wxString(value));
}
