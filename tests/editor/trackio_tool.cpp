// The editor's file operations as a command, for the tests that need a
// separate process: fault injection (an LD_PRELOAD shim cannot share a
// process with the sanitizers) and the interoperability tests against
// other tag readers.  It calls exactly what the window calls and prints
// the message the window would show.
//
//   lyrasil-trackio load TRACK                rows of the track's SYLT frame
//   lyrasil-trackio save [--uslt] TRACK ROWS [DEST]
//                                             the table in ROWS saved (with
//                                             the lyrics as LRC text too)
//   lyrasil-trackio import LRC                rows of an LRC file
//   lyrasil-trackio export TRACK LRC          the track's frame to LRC
//
// Rows are lines "stamp<TAB>text" in UTF-8.  Exit status 0 on success, 1
// on failure (with the message), 2 for a wrong command line.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include <wx/init.h>

#include "notices.h"
#include "rows.h"
#include "trackio.h"

namespace {

wxString Arg(const char* s)
{
    return wxString::FromUTF8(s);
}

int Fail(TrackOp op, const TrackResult& r)
{
    std::cout << TrackNotice(op, r).text.utf8_str().data() << '\n';
    return 1;
}

// The rows that a load or an import gave, or its failure.
template <class Result>
int PrintRows(TrackOp op, const Result& result)
{
    if (result.status != TrackStatus::Ok)
        return Fail(op, result);
    for (const Row& r : result.rows)
        std::cout << r.stamp.utf8_str().data() << '\t' << r.text.utf8_str().data() << '\n';
    return 0;
}

bool ReadRows(const char* path, Rows* rows)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    for (std::string line; std::getline(in, line);) {
        size_t tab = line.find('\t');
        std::string stamp = tab == std::string::npos ? "" : line.substr(0, tab);
        std::string text = tab == std::string::npos ? line : line.substr(tab + 1);
        rows->push_back(ReadRow(wxString::FromUTF8(stamp.c_str()), wxString::FromUTF8(text.c_str())));
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    wxInitializer init;
    if (!init.IsOk())
        return 2;
    const std::string cmd = argc > 1 ? argv[1] : "";
    // "save --uslt ...": the option Options > Also save lyrics as LRC text.
    const bool uslt = cmd == "save" && argc > 2 && std::strcmp(argv[2], "--uslt") == 0;
    if (uslt) {
        argv[2] = argv[1];
        ++argv;
        --argc;
    }
    if (cmd == "load" && argc == 3)
        return PrintRows(TrackOp::Load, LoadTrackRows(Arg(argv[2])));
    if (cmd == "import" && argc == 3)
        return PrintRows(TrackOp::Import, ImportLrcRows(Arg(argv[2])));
    if (cmd == "save" && (argc == 4 || argc == 5)) {
        Rows rows;
        if (!ReadRows(argv[3], &rows)) {
            std::cout << "cannot read " << argv[3] << '\n';
            return 2;
        }
        SaveText text = ComposeSaveText(rows);
        if (!text.ok) {
            std::cout << InvalidStampNotice(text.badStamp).text.utf8_str().data() << '\n';
            return 1;
        }
        // As the window does: rows as they were loaded keep the frame.
        wxString track = Arg(argv[2]);
        LoadResult loaded = LoadTrackRows(track);
        bool unchanged = loaded.status == TrackStatus::Ok && SameItems(rows, loaded.rows);
        TrackResult r = SaveTrackFile(track, argc == 5 ? Arg(argv[4]) : track, text.text,
                                      unchanged ? &loaded.payload : nullptr, uslt);
        if (r.status != TrackStatus::Ok)
            return Fail(TrackOp::Save, r);
        std::cout << "Done\n";
        return 0;
    }
    if (cmd == "export" && argc == 4) {
        TrackResult r = ExportLrcFile(Arg(argv[2]), Arg(argv[3]));
        if (r.status != TrackStatus::Ok)
            return Fail(TrackOp::Export, r);
        std::cout << "Created output file\n";
        return 0;
    }
    std::cerr << "usage: lyrasil-trackio load TRACK | save [--uslt] TRACK ROWS [DEST] | import LRC | export TRACK LRC\n";
    return 2;
}
