// Playback without a window: one phase, the track's length, and the
// stopwatch, driven by plain inputs (a track opened or closed, Play, Pause,
// the media back end's events, a timer tick with the position) and
// answering each with an actions record that the window carries out.
//
//   NoTrack ──Open──> Measuring ──length known──> Stopped ──Play──> Playing
//                        │  (muted start)            ^  <──Pause──┘   │
//                        └──stop, no length──> Unplayable     Paused  end: AtEnd
//
// How the media back end behaves shapes the rules (measured on GStreamer):
//  - Load() reports LOADED at once, but Length() is still 0: the length is
//    measured by a short muted start, asked for again on every tick until
//    the back end reports PLAY, then read on the following ticks.  A file
//    it cannot play reports LOADED, then STOP, without ever a length.
//  - PLAY arrives some milliseconds after Play(); until then Tell() still
//    gives the old place, so the position is the start asked for.  A PLAY
//    can also arrive late, an earlier Play()'s (the muted start asks again
//    on every tick): playback has begun only once the back end's position
//    is near the start, at a PLAY or at a tick.  A PLAY far from the start
//    may also be a seek the back end dropped: the start is asked for once
//    more.
//  - A STOP can arrive late, after a later Play(): a STOP is no end.  The
//    end of the track is FINISHED (between two STOPs); a back end that
//    stays stopped while it should play has given up.
//  - Stop() and Load() set the back end's playback rate back to 1, and a
//    Stop() still under way can do so after Play() set the rate: a speed
//    other than 100% is set again once playback has begun.
//  - Play during the measurement is kept and starts playback as soon as the
//    muted start has begun: a press is never lost.
//
// Units: milliseconds of the track's own time, whatever the speed; `now`
// is the window's wall clock in milliseconds.
#ifndef LYRASIL_TRANSPORT_H
#define LYRASIL_TRANSPORT_H

enum class Phase { NoTrack, Measuring, Stopped, Playing, Paused, AtEnd, Unplayable };

// The longest a muted start may play while its length is awaited, and the
// longest the back end may stay stopped while it should play.
const long kMeasureLimitMs = 3000;
const long kGiveUpMs = 5000;
// Where the back end's position is "near" the start of a Play: from a
// little before it (the position lags a seek by some milliseconds) to a
// while after it.
const long kStartSlackMs = 100;
const long kStartWindowMs = 2000;

// The speeds offered, in percent of the track's own speed.
const int kSpeeds[] = {100, 75, 50};
bool IsSpeed(long percent);

// The stamp lead's range, milliseconds.
const long kMaxStampLeadMs = 1000;

// What the window does after an input, in this order.
struct TransportActions {
    bool mute = false;          // note the media's volume, then silence it
    bool unmute = false;        // give the noted volume back (RestoredVolume)
    bool stop = false;          // stop the media
    bool pause = false;         // pause the media
    bool rate = false;          // set the media's playback rate to Speed()
    long seek = -1;             // seek the media here, when 0 or more
    bool play = false;          // start the media
    bool started = false;       // playback runs from Start(): begin the highlighting
    bool ended = false;         // playback ended (Pause, a stop, the end)
    bool paused = false;        // it was a Pause: clear the highlight's colour
    bool atZero = false;        // the position display goes back to 0
    bool lengthKnown = false;   // show Length(): the slider's range, the status bar
    bool unplayable = false;    // say that the track cannot be played
    bool showPosition = false;  // show Position()
    long matchAt = -1;          // highlight the rows up to this time, when 0 or more
};

// Which controls of the transport row are enabled.
struct Controls {
    bool play, pause, slider, position;
    bool operator==(const Controls& o) const
    {
        return play == o.play && pause == o.pause && slider == o.slider && position == o.position;
    }
};

// The time the stopwatch option stamps with: track time that runs from a
// start at the playback speed while playing.
class Stopwatch {
public:
    void Reset();                            // at 0, stopped
    void Start(long trackMs, long now);
    void Pause(long now);
    void SetSpeed(int percent, long now);    // the time so far stays
    long Time(long now) const;

private:
    long base = 0;       // track time when last started or paused
    long since = 0;      // wall time of that start
    bool running = false;
    int speed = 100;
};

// The stamp for a press of the space bar at positionMs: less the lead, the
// time between hearing a syllable and pressing the key.  The lead passes in
// wall time, during which the track moves on at the playback speed, so the
// track time taken off is leadMs x speed / 100.  Never below 0.
long LeadStamp(long positionMs, long leadMs, int speedPercent);

// The volume to give back after the muted length measurement: the one from
// before, or full volume when that was 0.001 or less.
double RestoredVolume(double saved);

class Transport {
public:
    Phase CurrentPhase() const { return phase; }
    Controls EnabledControls() const;
    long Length() const { return length; }
    // Where the start of the last Play was.
    long Start() const { return playStart; }
    int Speed() const { return speed; }
    // The space bar stamps only while playing.
    bool CanStamp() const { return phase == Phase::Playing; }
    // Playing, and the back end has reported that it plays: positions are
    // its own, and rows are highlighted.
    bool Running() const { return phase == Phase::Playing && begun; }

    // The current time: the stopwatch's with the stopwatch option, else the
    // media position tellMs, or the start asked for while the back end has
    // not begun to play.
    long Position(long now, long tellMs) const;

    // --- Options ---
    void UseStopwatch(bool on) { stopwatchOption = on; }
    TransportActions SetSpeed(int percent, long now);

    // --- Inputs ---
    // A track was loaded into the media (Load() succeeded; playback was
    // stopped before).
    TransportActions Open();
    // The track was loaded into the media again (a save replaced its file;
    // playback was stopped before): a measurement under way starts over.
    TransportActions Reload();
    TransportActions Close();
    // sliderMs: where the slider stands.  The start is 0 after the slider
    // was moved with the stopwatch option, the stopwatch's time with it,
    // the slider's place without it.
    TransportActions Play(long now, long sliderMs);
    // Play from startMs (0 at the least).
    TransportActions PlayFrom(long now, long startMs);
    TransportActions Pause(long now);
    // Play when not playing (or about to), Pause when playing.
    TransportActions PlayPause(long now, long sliderMs);
    // A command that stops playback (clearing the table, opening, saving).
    TransportActions Stop(long now);
    void SliderMoved();

    // The back end's events; lengthMs is its Length() at the event.
    TransportActions MediaLoaded();
    TransportActions MediaPlay(long now, long tellMs, long lengthMs);
    TransportActions MediaStop(long lengthMs);
    TransportActions MediaFinished(long now);
    // A timer tick: the back end's position, length and whether it is
    // stopped, read once.
    TransportActions Tick(long now, long tellMs, long lengthMs, bool backEndStopped);

private:
    TransportActions StartAt(long now, long startMs);
    // Ends the muted measurement with the length known (0: none): back to
    // the start with the sound on, or into the Play asked for meanwhile.
    TransportActions FinishMeasurement(long lengthMs);
    // Forgets the track: the phase `to`, no length, the stopwatch at 0.
    void ResetTrack(Phase to);
    TransportActions EndPlayback(long now, Phase to);
    void LearnLength(long lengthMs, TransportActions& a);
    // Playback has begun once the back end's position is near the start.
    void NoteBegun(long tellMs, TransportActions& a);

    Phase phase = Phase::NoTrack;
    long length = 0;             // 0: not known
    int speed = 100;
    bool stopwatchOption = false;
    Stopwatch stopwatch;
    bool sliderMoved = false;    // moved while the stopwatch option is on
    long playStart = 0;

    // Measuring
    bool loaded = false;         // the back end reported LOADED
    bool muted = false;          // the muted start silenced the media
    bool measureBegun = false;   // it reported PLAY
    long measureSince = 0;
    bool playWanted = false;     // Play was pressed meanwhile
    long wantedStart = 0;

    // Playing
    bool begun = false;          // the back end plays from near the start
    bool seekedAgain = false;    // the start was asked for once more
    bool stoppedSeen = false;    // a tick found the back end stopped
    long stoppedSince = 0;
};

#endif
