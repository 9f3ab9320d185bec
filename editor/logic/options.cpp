#include "options.h"

#include <climits>

#include "stamps.h"
#include "startup.h"
#include "transport.h"
#include "wxkeyvale.h"

static const char kSettings[] = "Settings";
static const char kPosition[] = "Position";

void Options::Load(const Keyvale& settings)
{
    *this = Options();
    tipIndex = SettingToInt(settings.getl(kSettings, "tip", 0), 0);
    syncTimer = settings.getbool(kSettings, "synctimer", false);
    showToolbar = settings.getbool(kSettings, "toolbar", true);
    textWindow = settings.getbool(kSettings, "textwindow", false);
    highlightTime = SettingToInt(settings.getl(kSettings, "highlight", 8), 8);
    lyricsFont = settings.gets(kSettings, "lyricsfont", wxEmptyString);
    long percent = settings.getl(kSettings, "speed", 100);
    speed = IsSpeed(percent) ? static_cast<int>(percent) : 100;
    long lead = settings.getl(kSettings, "stamplead", 0);
    stampLead = lead >= 0 && lead <= kMaxStampLeadMs ? static_cast<int>(lead) : 0;
    uslt = settings.getbool(kSettings, "uslt", false);
    ParseSizeText(settings.gets(kPosition, "preview", wxEmptyString), previewWidth, previewHeight);
    ParseSizeText(settings.gets(kPosition, "frame", wxEmptyString), frameWidth, frameHeight);
}

bool Options::Save(const Keyvale& settings) const
{
    // Every key is written even after a failure, so one bad write costs
    // one value only.
    bool ok = settings.put(kSettings, "tip", tipIndex);
    ok = settings.put(kSettings, "synctimer", syncTimer) && ok;
    ok = settings.put(kSettings, "toolbar", showToolbar) && ok;
    ok = settings.put(kSettings, "textwindow", textWindow) && ok;
    ok = settings.put(kSettings, "highlight", highlightTime) && ok;
    ok = settings.put(kSettings, "lyricsfont", lyricsFont) && ok;
    ok = settings.put(kSettings, "speed", speed) && ok;
    ok = settings.put(kSettings, "stamplead", stampLead) && ok;
    ok = settings.put(kSettings, "uslt", uslt) && ok;
    ok = settings.put(kPosition, "frame", FormatSizeText(frameWidth, frameHeight)) && ok;
    ok = settings.put(kPosition, "preview", FormatSizeText(previewWidth, previewHeight)) && ok;
    return ok;
}

wxString FormatHighlightTime(int tenths)
{
    // Integer arithmetic: no locale can turn the point into a comma.
    long long t = tenths;
    const char* sign = t < 0 ? "-" : "";
    if (t < 0)
        t = -t;
    return wxString::Format("%s%lld.%lld", sign, t / 10, t % 10);
}

// A decimal number with blanks before it (and, when trailing is set, after
// it), times 10^places, within -limit..limit.
static bool ParseAnswer(const wxString& text, int places, bool trailing, int64_t limit, int* out)
{
    wxString answer = text;
    if (trailing)
        answer.Trim(true);
    wxScopedCharBuffer utf8 = answer.utf8_str();
    const char* p = utf8.data();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    int64_t value = 0;
    if (!ParseDecimal(p, places, false, &value) || value > limit || value < -limit)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseHighlightTime(const wxString& text, int* tenths)
{
    return ParseAnswer(text, 1, false, INT_MAX, tenths);
}

bool ParseStampLead(const wxString& text, int* ms)
{
    int value = 0;
    if (!ParseAnswer(text, 0, true, kMaxStampLeadMs, &value) || value < 0)
        return false;
    *ms = value;
    return true;
}
