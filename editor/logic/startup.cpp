#include "startup.h"

#include <climits>
#include <cstdlib>

#include <wx/filefn.h>

const wxString kProgramName = "Lyrasil";

wxString FindDocDir(const wxString& exeDir, const wxString& installedRel)
{
    wxString beside = exeDir.BeforeLast('/') + "/doc";
    if (wxDirExists(beside))
        return beside;
    wxString inside = exeDir + "/doc";
    if (wxDirExists(inside))
        return inside;
    // An installed editor lives in <prefix>/bin and its documentation in
    // <prefix>/share/doc/<name>; resolving the relative path keeps a
    // relocated install tree working.
    if (!installedRel.empty()) {
        wxString installed = exeDir + "/" + installedRel;
        if (wxDirExists(installed))
            return installed;
    }
    return exeDir;
}

// The leading decimal number of text (blanks and a sign allowed in front),
// or fallback when there is none or it lies outside 1..kMaxWindowSide.
static int ParseSide(const wxString& text, int fallback)
{
    wxScopedCharBuffer utf8 = text.utf8_str();
    const char* start = utf8.data();
    char* end = nullptr;
    long value = std::strtol(start, &end, 10);
    if (end == start || value < 1 || value > kMaxWindowSide)
        return fallback;
    return static_cast<int>(value);
}

void ParseSizeText(const wxString& text, int& width, int& height)
{
    if (text.empty())
        return;
    width = ParseSide(text.BeforeFirst(' '), width);
    height = ParseSide(text.AfterFirst(' '), height);
}

wxString FormatSizeText(int width, int height)
{
    return wxString::Format("%d %d", width, height);
}

int SettingToInt(long value, int def)
{
    if (value < INT_MIN || value > INT_MAX)
        return def;
    return static_cast<int>(value);
}

wxString MakeWindowTitle(const wxString& trackPath)
{
    if (trackPath.empty())
        return kProgramName;
    return kProgramName + " - " + trackPath.AfterLast('/');
}

wxString TrackArgument(const wxString& arg, const wxString& cwd)
{
    if (arg.StartsWith("/") || cwd.empty())
        return arg;
    return cwd.EndsWith("/") ? cwd + arg : cwd + "/" + arg;
}

static int ClampWindowSide(int side)
{
    if (side < 1)
        return 1;
    return side > kMaxWindowSide ? static_cast<int>(kMaxWindowSide) : side;
}

void ClampWindowSize(int& width, int& height)
{
    width = ClampWindowSide(width);
    height = ClampWindowSide(height);
}
