// Time-stamps as the table shows them: "mm:ss.dd" (minutes, seconds and
// hundredths; minutes take more digits above 99), read back through the
// core's lrc_timestamp.  Times are milliseconds while calculated and
// hundredths of a second when formatted.
#ifndef LYRASIL_STAMPS_H
#define LYRASIL_STAMPS_H

#include <cstdint>

#include <wx/string.h>

#include "sylt.h"

// "%02d:%02d.%02d" of a time in hundredths: 8345 gives "01:23.45",
// 600000 gives "100:00.00".  Negative times give "00:00.00".
wxString FormatStamp(long long hundredths);

// The time of a table cell's stamp text, read as "[" + stamp + "]" by
// lrc_timestamp (so "1:05" and "00:75.00" are valid, "00:61" is not).
// Returns false, leaving *ms alone, for an empty or invalid stamp; ms may
// be null to validate only.
bool StampTime(const wxString& stamp, int32_t* ms);

// The same check on an already bracketed stamp ("[00:01.00]" or "<...>").
bool BracketedStampValid(const wxString& bracketed);

// Reads a decimal number in the C locale, whatever the process's locale:
// [+-] digits [. digits], with exponent also [eE [+-] digits], at least one
// digit before the exponent, nothing before or after.  The number times
// 10^places, truncated toward zero, goes to *value (so "1.001" with 3
// places is exactly 1001: read digit by digit, no binary fraction).  False,
// leaving *value alone, for other text and for results of more than
// kMaxDecimalDigits digits.  Every number the editor asks for is read here.
const int kMaxDecimalDigits = 18;
bool ParseDecimal(const char* text, int places, bool exponent, int64_t* value);

// --- Shifting time-stamps by an offset ---

enum class OffsetEntry {
    Empty,    // nothing entered: nothing to do
    Invalid,  // neither a number of seconds nor a time-stamp
    Valid,
};

// Reads the answer to "the time (in seconds) to add": white space at both
// ends is ignored; a leading "-" (blanks may follow it) removes time.  The
// rest is a decimal number of seconds in the C locale whatever the
// process's locale (ParseDecimal with an exponent: "1.5", ".5", "2e-3"),
// truncated toward zero to whole milliseconds, or else a time-stamp
// without brackets ("1:30", "01:30.50").  A number whose milliseconds lie
// outside 0..ID3_MAXTIME, the largest time a stamp holds ("1e300", or
// "--5"), is Invalid, as are "inf" and "nan".  *ms receives the signed
// offset when Valid and is left alone otherwise.
OffsetEntry ParseOffsetEntry(const wxString& entry, int64_t* ms);

// The stamp cell's time moved by offsetMs and written as "mm:ss.dd": the
// sum is kept within 0 and ID3_MAXTIME and rounded to the nearest
// hundredth, halves up (the top hundredth that still fits at the upper
// end).  Returns false, leaving *shifted alone, when the cell (white space
// at both ends ignored) is no valid stamp.
bool ShiftStamp(const wxString& cell, int64_t offsetMs, wxString* shifted);

#endif
