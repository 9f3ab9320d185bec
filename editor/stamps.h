// Time-stamps as the table shows them: "mm:ss.dd" (minutes, seconds and
// hundredths; minutes take more digits above 99), read back through the
// core's lrc_timestamp.  Times are milliseconds while calculated and
// hundredths of a second when formatted.
#ifndef LYRASIL_STAMPS_H
#define LYRASIL_STAMPS_H

#include <cstdint>

#include <wx/string.h>

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

#endif
