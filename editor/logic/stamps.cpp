#include "stamps.h"

#include <string>

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

// --- Shifting time-stamps by an offset ---

bool ParseDecimal(const char* p, int places, bool exponent, int64_t* value)
{
    bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    std::string digits;   // the significant digits, leading zeros dropped
    long long scale = 0;  // digits x 10^scale is the number
    bool any = false;
    for (; *p >= '0' && *p <= '9'; ++p, any = true)
        if (!digits.empty() || *p != '0')
            digits += *p;
    if (*p == '.') {
        for (++p; *p >= '0' && *p <= '9'; ++p, any = true) {
            if (!digits.empty() || *p != '0')
                digits += *p;
            --scale;
        }
    }
    if (!any)
        return false;
    if (exponent && (*p == 'e' || *p == 'E')) {
        ++p;
        bool down = *p == '-';
        if (*p == '+' || *p == '-')
            ++p;
        if (!(*p >= '0' && *p <= '9'))
            return false;
        long long e = 0;
        for (; *p >= '0' && *p <= '9'; ++p)
            if (e < 1000000) // far beyond any value either way
                e = e * 10 + (*p - '0');
        scale += down ? -e : e;
    }
    if (*p != '\0')
        return false;
    scale += places;
    if (scale < 0) {
        // Truncation toward zero: the digits below the last place go.
        long long keep = static_cast<long long>(digits.size()) + scale;
        digits.resize(keep > 0 ? static_cast<size_t>(keep) : 0);
    } else if (!digits.empty()) {
        if (static_cast<long long>(digits.size()) + scale > kMaxDecimalDigits)
            return false;
        digits.append(static_cast<size_t>(scale), '0');
    }
    if (digits.size() > static_cast<size_t>(kMaxDecimalDigits))
        return false;
    int64_t v = 0;
    for (char c : digits)
        v = v * 10 + (c - '0');
    *value = negative ? -v : v;
    return true;
}

// A decimal number of seconds as whole milliseconds within 0..ID3_MAXTIME
// ("-0" is 0; any other negative number is no time).
static bool SecondsToMs(const char* p, int64_t* ms)
{
    int64_t value = 0;
    if (!ParseDecimal(p, 3, true, &value) || value < 0 || value > ID3_MAXTIME)
        return false;
    *ms = value;
    return true;
}

OffsetEntry ParseOffsetEntry(const wxString& entry, int64_t* ms)
{
    wxString value = entry;
    value.Trim(true).Trim(false);
    if (value.empty())
        return OffsetEntry::Empty;
    bool negative = value[0] == '-';
    if (negative) {
        value.erase(0, 1);
        value.Trim(true).Trim(false);
    }
    int64_t offset = 0;
    if (!SecondsToMs(value.utf8_str().data(), &offset)) {
        int32_t stampMs = 0;
        if (!StampTime(value, &stampMs))
            return OffsetEntry::Invalid;
        offset = stampMs;
    }
    *ms = negative ? -offset : offset;
    return OffsetEntry::Valid;
}

bool ShiftStamp(const wxString& cell, int64_t offsetMs, wxString* shifted)
{
    wxString stamp = cell;
    stamp.Trim(true).Trim(false);
    const int64_t kTop = ID3_MAXTIME;
    int32_t ms = 0;
    if (!StampTime(stamp, &ms))
        return false;
    // Any offset beyond the whole range clamps alike; the sum cannot wrap.
    if (offsetMs > 2 * kTop)
        offsetMs = 2 * kTop;
    if (offsetMs < -2 * kTop)
        offsetMs = -2 * kTop;
    int64_t t = static_cast<int64_t>(ms) + offsetMs;
    if (t < 0)
        t = 0;
    if (t > kTop)
        t = kTop;
    int64_t hundredths = (t + 5) / 10;
    if (hundredths * 10 > kTop)
        hundredths = kTop / 10; // rounding up would leave the range
    *shifted = FormatStamp(hundredths);
    return true;
}
