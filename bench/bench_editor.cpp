// Benchmarks of the editor in its real window (run under xvfb-run):
//
//   bench_editor documents   opening and saving tracks of 1,000 and 10,000
//                            rows (medians of 5 runs)
//   bench_editor stamping    space presses at known moments during real
//                            playback at 100% and 50% speed, and with a
//                            stamp lead of 200 ms: the stored stamp against
//                            the media position at the press and against
//                            the time since playback began (at the
//                            playback speed); then the editor's CPU use
//                            while a track plays
//
// Prints one table per part.  Run by bench/run-editor.sh.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <wx/grid.h>
#include <wx/mediactrl.h>
#include <wx/stopwatch.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#include "id3build.h"
#include "lyrasilframecode.h"
#include "scratchdir.h"
#include "stamps.h"
#include "sylt.h"
#include "wxkeyvale.h"

// The window's state no widget shows (the class names this as a friend).
struct FrameTestAccess {
    static wxMediaCtrl* Media(LyrasilFrameCode* f) { return f->mediaCtrl; }
    static long long TrackLength(LyrasilFrameCode* f) { return f->transport.Length(); }
    static bool Running(LyrasilFrameCode* f) { return f->transport.Running(); }
    static wxGrid* Grid(LyrasilFrameCode* f) { return f->grid; }
    static wxTimer* Timer(LyrasilFrameCode* f) { return f->updateTimer; }
};

namespace {

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

void Pump(int ms)
{
    wxStopWatch sw;
    do {
        wxYield();
        wxMilliSleep(2);
    } while (sw.Time() < ms);
}

template <class F>
bool PumpUntil(F done, int ms)
{
    wxStopWatch sw;
    while (!done() && sw.Time() < ms)
        Pump(2);
    return done();
}

// A version-2.4 track whose SYLT frame has `rows` items, a new line every
// eighth, built with the core's own conversion.
std::string TrackWithRows(int rows, const std::string& audio)
{
    std::string lrc;
    char stamp[32];
    for (int i = 0; i < rows; ++i) {
        std::snprintf(stamp, sizeof stamp, i % 8 ? "<%02d:%02d.%02d>" : "[%02d:%02d.%02d]", i / 6000, i / 100 % 60,
                      i % 100);
        lrc += stamp;
        lrc += i % 8 ? " word" : "\nLine";
    }
    Id3Tag t{};
    t.version = 4;
    t.lrc = static_cast<char*>(std::malloc(lrc.size() + 1));
    std::copy(lrc.c_str(), lrc.c_str() + lrc.size() + 1, t.lrc);
    lrc_tosylt(&t);
    std::string payload(reinterpret_cast<char*>(t.sylt), static_cast<size_t>(t.syltsize));
    id3_close(&t);
    return make_tag(4, 0, frame4("SYLT", payload)) + audio;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Documents(LyrasilFrameCode* frame, const wxString& dir)
{
    std::printf("| rows | open (median of 5) | save (median of 5) | rows/s open | rows/s save |\n");
    std::printf("|---|---|---|---|---|\n");
    for (int rows : {1000, 10000}) {
        wxString path = dir + wxString::Format("/rows%d.mp3", rows);
        WriteFile(path.utf8_string(), TrackWithRows(rows, silent_mp3(2000)));
        std::vector<double> open, save;
        for (int run = 0; run < 5; ++run) {
            wxStopWatch sw;
            frame->OpenTrack(path);
            open.push_back(sw.TimeInMicro().ToDouble() / 1e6);
            Pump(100);
            wxCommandEvent saveCommand(wxEVT_MENU, wxID_SAVE);
            saveCommand.SetEventObject(frame);
            sw.Start();
            frame->ProcessWindowEvent(saveCommand);
            save.push_back(sw.TimeInMicro().ToDouble() / 1e6);
            Pump(100);
        }
        if (FrameTestAccess::Grid(frame)->GetNumberRows() != rows + 1)
            std::printf("(the table had %d rows)\n", FrameTestAccess::Grid(frame)->GetNumberRows());
        std::printf("| %d | %.3f s | %.3f s | %.0f | %.0f |\n", rows, Median(open), Median(save),
                    rows / Median(open), rows / Median(save));
    }
}

double CpuSeconds()
{
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

void Click(LyrasilFrameCode* frame, int id)
{
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(frame->FindWindow(id));
    frame->FindWindow(id)->ProcessWindowEvent(click);
}

void Command(LyrasilFrameCode* frame, int id)
{
    wxCommandEvent command(wxEVT_MENU, id);
    command.SetEventObject(frame);
    frame->ProcessWindowEvent(command);
}

// CPU while the track plays, without the window's timer, and paused.
void CpuUse(LyrasilFrameCode* frame)
{
    double cpu0 = CpuSeconds();
    wxStopWatch wall;
    Pump(4000);
    double cpu = (CpuSeconds() - cpu0) / (wall.Time() / 1000.0);
    // The media back end's own share: the same playback without the
    // window's timer.
    FrameTestAccess::Timer(frame)->Stop();
    cpu0 = CpuSeconds();
    wall.Start();
    Pump(2000);
    double backend = (CpuSeconds() - cpu0) / (wall.Time() / 1000.0);
    FrameTestAccess::Timer(frame)->Start(100);
    Click(frame, ID_PAUSE);
    cpu0 = CpuSeconds();
    wall.Start();
    Pump(4000);
    double idle = (CpuSeconds() - cpu0) / (wall.Time() / 1000.0);
    std::printf("\nCPU while playing: %.2f %% of one core; without the window's timer %.2f %%; paused %.2f %%\n",
                cpu * 100, backend * 100, idle * 100);
}

struct StampRun {
    int speedId, speed, lead;
};

// One run of presses: a row of the table per comparison.
void StampingRun(LyrasilFrameCode* frame, const wxString& dir, Options& options, const StampRun& run)
{
    const int presses = 24;
    wxString path = dir + "/silence.mp3";
    WriteFile(path.utf8_string(), TrackWithRows(1, silent_mp3(14000))); // a frame: no notice on opening
    Command(frame, run.speedId);
    options.stampLead = run.lead;
    frame->OpenTrack(path);
    if (!PumpUntil([&] { return FrameTestAccess::TrackLength(frame) > 0; }, 10000)) {
        std::printf("the length was never measured\n");
        return;
    }
    wxGrid* grid = FrameTestAccess::Grid(frame);
    wxMediaCtrl* media = FrameTestAccess::Media(frame);
    wxStopWatch sincePlay;
    bool began = false;
    auto onPlay = [&](wxMediaEvent& e) {
        if (!began) {
            sincePlay.Start();
            began = true;
        }
        e.Skip();
    };
    frame->Bind(wxEVT_MEDIA_PLAY, onPlay, ID_MEDIACTRL);
    grid->SetGridCursor(0, 0);
    Click(frame, ID_PLAY);
    PumpUntil([&] { return began && FrameTestAccess::Running(frame); }, 5000);

    // The position when the window handles the key, read just before the
    // editor's own handler reads it.
    long handled = -1;
    auto onKey = [&](wxKeyEvent& e) {
        if (e.GetKeyCode() == WXK_SPACE)
            handled = static_cast<long>(media->Tell());
        e.Skip();
    };
    frame->Bind(wxEVT_CHAR_HOOK, onKey);
    std::vector<double> vsMedia, vsHandled, vsWall, latency;
    wxUIActionSimulator sim;
    for (int i = 0; i < presses; ++i) {
        // Presses at irregular moments, as a singer's syllables come.
        Pump(250 + (i * 37) % 130);
        grid->SetFocus();
        long wall = sincePlay.Time() * run.speed / 100;
        long position = static_cast<long>(media->Tell());
        sim.Char(WXK_SPACE);
        Pump(15);
        int32_t stamp = 0;
        if (!StampTime(grid->GetCellValue(i, 0), &stamp)) {
            std::printf("press %d stamped nothing\n", i);
            continue;
        }
        vsMedia.push_back(stamp - position);
        vsHandled.push_back(stamp - handled);
        latency.push_back(handled - position);
        vsWall.push_back(stamp - wall);
    }
    frame->Unbind(wxEVT_MEDIA_PLAY, onPlay, ID_MEDIACTRL);
    frame->Unbind(wxEVT_CHAR_HOOK, onKey);

    auto abs = [](std::vector<double> v) {
        for (double& x : v)
            x = x < 0 ? -x : x;
        return v;
    };
    auto row = [&](const char* what, const std::vector<double>& v) {
        std::vector<double> a = abs(v);
        std::printf("| %d%% | %d ms | %s | %zu | %+.0f ms | %.0f ms | %+.0f .. %+.0f ms |\n", run.speed, run.lead, what,
                    v.size(), Median(v), *std::max_element(a.begin(), a.end()),
                    *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
    };
    row("media position when the key is handled", vsHandled);
    row("media position when the key is sent", vsMedia);
    row("time since playback began, at the speed", vsWall);
    row("(handled minus sent: the input's own way)", latency);
}

void Stamping(LyrasilFrameCode* frame, const wxString& dir, Options& options)
{
    std::printf("| speed | lead | stamp minus | presses | median | worst (absolute) | range |\n"
                "|---|---|---|---|---|---|---|\n");
    const StampRun runs[] = {{ID_SPEED50, 50, 0}, {ID_SPEED100, 100, 200}, {ID_SPEED100, 100, 0}};
    for (const StampRun& run : runs)
        StampingRun(frame, dir, options, run);
    // The last run's track plays on.
    CpuUse(frame);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string part = argc > 1 ? argv[1] : "";
    if (part != "documents" && part != "stamping") {
        std::fprintf(stderr, "usage: bench_editor documents|stamping   (under xvfb-run)\n");
        return 2;
    }
    setenv("GSETTINGS_BACKEND", "memory", 1);
    wxApp::SetInstance(new BenchApp);
    int one = 1;
    char* args[] = {argv[0], nullptr};
    if (!wxEntryStart(one, args))
        return 2;
    wxTheApp->CallOnInit();
    // Notices would wait for a click: none may appear, so none is shown.
    wxLog::EnableLogging(false);

    ScratchDir scratch("lyrasil-bench");
    wxString dir = wxString::FromUTF8(scratch.path().c_str());
    Options options;
    options.tipIndex = -1;
    Keyvale settings(dir + "/lyrasil.ini");
    auto* frame = new LyrasilFrameCode("Lyrasil", wxSize(720, 480), options, settings, dir);
    frame->Show();
    Pump(300);
    if (part == "documents")
        Documents(frame, dir);
    else
        Stamping(frame, dir, options);
    frame->Destroy();
    Pump(50);
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
