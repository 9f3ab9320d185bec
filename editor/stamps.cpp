#include "stamps.h"

#include "sylt.h"

wxString FormatStamp(long long hundredths)
{
    long long h = hundredths < 0 ? 0 : hundredths;
    return wxString::Format("%02lld:%02lld.%02lld", h / 6000, h / 100 % 60, h % 100);
}

bool BracketedStampValid(const wxString& bracketed)
{
    return lrc_timestamp(bracketed.utf8_str().data(), nullptr) != 0;
}

bool StampTime(const wxString& stamp, int32_t* ms)
{
    if (stamp.empty())
        return false;
    int32_t value = 0;
    if (!lrc_timestamp(("[" + stamp + "]").utf8_str().data(), &value))
        return false;
    if (ms != nullptr)
        *ms = value;
    return true;
}
